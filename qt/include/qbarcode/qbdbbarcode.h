/// \file
/// QbDBBarcode: the data-aware barcode control as a Qt widget. Its text is the
/// widget's user property, so a QDataWidgetMapper binds it to a column of any
/// item model and shows each record in it.
#pragma once

#include "qbarcode/qbbarcode.h"

#include <QDataWidgetMapper>
#include <QModelIndex>
#include <QPointer>

namespace qb {

/// The data-aware barcode control as a widget.
///
/// DataSource is the QDataWidgetMapper that moves through the records of a
/// model; DataField names the model's column (by its horizontal header, as
/// QSqlTableModel gives the field names). Setting both maps the widget's
/// BarCode, its user property, to that column: the mapper shows each record's
/// text in it, whatever ReadOnly says.
///
/// BarCode set from code at run time: the record's own text is shown; any
/// other text is written into the record's cell through the mapper's model
/// first, and shown only once the model took it. It is dropped when nothing is
/// bound, when ReadOnly is set or the cell is not editable, and refused (with
/// lastError()) when the control refuses it: a letter for a numeric symbology,
/// a text the symbology cannot encode, or a write the model refuses. While
/// designing (as in Qt Designer), BarCode behaves as QbBarCode's.
class QbDBBarcode : public QbBarCode {
    Q_OBJECT
    QB_QDBBARCODE_PROPERTIES

public:
    /// An unbound widget, with QbBarCode's initial values.
    explicit QbDBBarcode(QWidget* parent = nullptr);
    ~QbDBBarcode() override;

    /// Whether the widget is being designed: its text is then its own.
    bool designing() const { return designing_; }
    /// Marks the widget as being designed (what a form designer does).
    void setDesigning(bool designing) { designing_ = designing; }

    /// The cell of the current record that DataField names, or an invalid
    /// index when nothing is bound.
    QModelIndex cell() const;

private:
    /// The mapper's column (or row, for a vertical mapper) DataField names, or -1.
    int Section() const;
    /// Maps the widget in the mapper to DataField's section (or unmaps it).
    void Rebind();

    QPointer<QDataWidgetMapper> mapper_;
    QString dataField_;
    bool readOnly_ = false;
    bool designing_ = false;
};

} // namespace qb
