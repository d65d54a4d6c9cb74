#include "qbarcode/pdbbarcode.h"

#include <utility>

namespace qb {

QB_IMPLEMENT_COMPONENT(TDBBarcode, TBarCode)

std::vector<TPropInfo> TDBBarcode::Properties()
{
    using C = TDBBarcode;
    return {
        QB_PROP_STRING(C, DataField, DataField, SetDataField, NoDefault),
        QB_PROP_COMPONENT(C, DataSource, DataSource, SetDataSource, TDataSource),
        QB_PROP_BOOL(C, ReadOnly, ReadOnly, SetReadOnly, false),
    };
}

TDBBarcode::TDBBarcode(TComponent* owner) : TBarCode(owner), dataLink_(std::make_unique<TFieldDataLink>())
{
    TControlStyle style = ControlStyle();
    style.Include(csReplicatable);
    SetControlStyle(style);
    dataLink_->Control = this;
    dataLink_->OnDataChange = TNotifyEvent([this](TObject* sender) { DataChange(sender); });
    dataLink_->OnUpdateData = TNotifyEvent([this](TObject* sender) { UpdateData(sender); });
}

TDBBarcode::~TDBBarcode()
{
    dataLink_.reset();
}

const std::string& TDBBarcode::DataField() const
{
    return dataLink_->FieldName();
}

void TDBBarcode::SetDataField(const std::string& value)
{
    dataLink_->SetFieldName(value);
}

TDataSource* TDBBarcode::DataSource() const
{
    return dataLink_->DataSource();
}

void TDBBarcode::SetDataSource(TDataSource* value)
{
    if (!(dataLink_->DataSourceFixed && ComponentState().Contains(csLoading)))
        dataLink_->SetDataSource(value);
    if (value)
        value->FreeNotification(this);
}

bool TDBBarcode::ReadOnly() const
{
    return dataLink_->ReadOnly();
}

void TDBBarcode::SetReadOnly(bool value)
{
    dataLink_->SetReadOnly(value);
}

TField* TDBBarcode::Field() const
{
    return dataLink_->Field();
}

void TDBBarcode::SetBarCode(const std::string& value)
{
    // Only this call passes a data change on: a handler run by its repaint
    // assigns from code.
    const bool following = std::exchange(followingField_, false);
    if (ComponentState().Contains(csDesigning)) {
        TBarCode::SetBarCode(value);
        return;
    }
    TField* field = dataLink_ ? dataLink_->Field() : nullptr;
    // Read-only refuses text from code; the record's own text is always shown.
    if (!field || (!following && (field->ReadOnly() || dataLink_->ReadOnly())))
        return;
    if (field->Text() != value) {
        // A text the control refuses never reaches the field.
        CheckBarCode(value);
        field->SetText(value);
    }
    TBarCode::SetBarCode(value);
}

void TDBBarcode::DataChange(TObject*)
{
    TField* field = dataLink_->Field();
    followingField_ = true;
    try {
        SetBarCode(field ? field->Text() : std::string());
    } catch (...) {
        followingField_ = false;
        throw;
    }
    followingField_ = false;
}

void TDBBarcode::UpdateData(TObject*)
{
    if (TField* field = dataLink_->Field())
        field->SetText(BarCode());
}

void TDBBarcode::Notification(TComponent* component, TOperation operation)
{
    TBarCode::Notification(component, operation);
    if (operation == opRemove && dataLink_ && component && component == dataLink_->DataSource())
        SetDataSource(nullptr);
}

void TDBBarcode::Dispatch(TMessage& message)
{
    if (message.Msg == CM_GETDATALINK) {
        message.Result = reinterpret_cast<std::intptr_t>(dataLink_.get());
        return;
    }
    TBarCode::Dispatch(message);
}

bool TDBBarcode::ExecuteAction(TBasicAction* action)
{
    return TBarCode::ExecuteAction(action) || (dataLink_ && dataLink_->ExecuteAction(action));
}

bool TDBBarcode::UpdateAction(TBasicAction* action)
{
    return TBarCode::UpdateAction(action) || (dataLink_ && dataLink_->UpdateAction(action));
}

void RegisterDBBarcodeClasses()
{
    RegisterBarCodeClasses();
    RegisterDatabaseClasses();
    RegisterClass(TDBBarcode::StaticClassInfo());
}

} // namespace qb
