/// \file
/// TDBBarcode: a TBarCode whose text follows one field of a dataset through a
/// field data link, and which writes text assigned at run time into the field.
#pragma once

#include "qbarcode/db.h"
#include "qbarcode/pbarcode.h"

#include <memory>

namespace qb {

/// The data-aware barcode control.
///
/// At run time the control shows the linked field's text on every data
/// change, read-only or not. Text assigned from code reaches the control only
/// through a linked field that can be written (neither the field nor the link
/// read-only); otherwise it is dropped and the control keeps what it shows. At
/// design time BarCode behaves as in TBarCode. While a form loads, BarCode is
/// read before DataField and DataSource, so at run time the stored text is
/// dropped and the first data change supplies the text.
class TDBBarcode : public TBarCode {
    QB_CLASS(TDBBarcode, TBarCode)
    /// A TBarCode with the replicatable control style and a field data link
    /// that reports data changes to DataChange and asks UpdateData for writes.
    explicit TDBBarcode(TComponent* owner);
    /// Frees the link, then the control.
    ~TDBBarcode() override;

    /// The linked field's name.
    const std::string& DataField() const;
    /// Sets the linked field's name; raises when the open dataset has no such field.
    void SetDataField(const std::string& value);
    /// The data source, or nullptr.
    TDataSource* DataSource() const;
    /// Links the data source (unless the link is fixed while loading) and asks
    /// it to tell this control when it is freed.
    void SetDataSource(TDataSource* value);
    /// The link's read-only flag: while set, text assigned from code is
    /// dropped (data changes are still shown).
    bool ReadOnly() const;
    /// Sets the link's read-only flag.
    void SetReadOnly(bool value);
    /// The link's current field, or nullptr.
    TField* Field() const;
    /// The field data link.
    TFieldDataLink& DataLink() const { return *dataLink_; }

    /// The BarCode writer. At design time: TBarCode's. At run time, with a
    /// field that can be written (or while a data change shows the field's
    /// text): when the value differs from the field's edit text, runs
    /// TBarCode's numeric check and writes the value into the field (a
    /// refused text or write raises and changes neither the field nor the
    /// control), then TBarCode's writer. Otherwise does nothing.
    void SetBarCode(const std::string& value) override;

    /// The link's data-change handler: the field's edit text (or, with no
    /// field, the empty text) through SetBarCode, shown even when the field
    /// or the link is read-only.
    void DataChange(TObject* sender);
    /// The link's update-data handler: writes BarCode into the field as its edit text.
    void UpdateData(TObject* sender);

    /// Clears DataSource when the linked data source is freed.
    void Notification(TComponent* component, TOperation operation) override;
    /// Answers CM_GETDATALINK with the link; everything else as TBarCode.
    void Dispatch(TMessage& message) override;
    /// TBarCode's answer, else the link's.
    bool ExecuteAction(TBasicAction* action) override;
    /// TBarCode's answer, else the link's.
    bool UpdateAction(TBasicAction* action) override;

private:
    std::unique_ptr<TFieldDataLink> dataLink_;
    bool followingField_ = false; // a data change is passing the field's text on
};

/// Registers TDBBarcode (and the database classes) for form files.
void RegisterDBBarcodeClasses();

} // namespace qb
