#include "qbarcode/db.h"

#include <algorithm>

namespace qb {

// ---------------------------------------------------------------------------
// TDataSource

QB_IMPLEMENT_COMPONENT(TDataSource, TComponent)

std::vector<TPropInfo> TDataSource::Properties()
{
    using T = TDataSource;
    return {
        QB_PROP_BOOL(T, AutoEdit, AutoEdit, SetAutoEdit, true),
        QB_PROP_COMPONENT(T, DataSet, DataSet, SetDataSet, TDataSet),
        QB_PROP_BOOL(T, Enabled, Enabled, SetEnabled, true),
    };
}

TDataSource::TDataSource(TComponent* owner) : TComponent(owner) {}

TDataSource::~TDataSource()
{
    SetDataSet(nullptr);
    for (TDataLink* link : links_)
        link->dataSource_ = nullptr;
}

void TDataSource::SetDataSet(TDataSet* value)
{
    if (value == dataSet_)
        return;
    if (dataSet_)
        std::erase(dataSet_->dataSources_, this);
    dataSet_ = value;
    if (dataSet_)
        dataSet_->dataSources_.push_back(this);
    NotifyLinks(deUpdateState, nullptr);
}

void TDataSource::SetEnabled(bool value)
{
    if (value == enabled_)
        return;
    enabled_ = value;
    NotifyLinks(deUpdateState, nullptr);
}

TDataSetState TDataSource::State() const
{
    return enabled_ && dataSet_ ? dataSet_->State() : dsInactive;
}

void TDataSource::Edit()
{
    if (autoEdit_ && State() == dsBrowse)
        dataSet_->Edit();
}

void TDataSource::Notification(TComponent* component, TOperation operation)
{
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == dataSet_)
        SetDataSet(nullptr);
}

void TDataSource::NotifyLinks(TDataEvent event, TField* field)
{
    // A link may leave (or a control free itself) while it is being told.
    std::vector<TDataLink*> links = links_;
    for (TDataLink* link : links)
        if (std::ranges::find(links_, link) != links_.end())
            link->DataEvent(event, field);
    if (event == deFieldChange || event == deRecordChange || event == deDataSetChange || event == deDataSetScroll)
        OnDataChange(this);
}

void TDataSource::RemoveLink(TDataLink* link)
{
    std::erase(links_, link);
}

// ---------------------------------------------------------------------------
// TDataLink

TDataLink::~TDataLink()
{
    if (dataSource_)
        dataSource_->RemoveLink(this);
}

void TDataLink::SetDataSource(TDataSource* value)
{
    if (value == dataSource_)
        return;
    if (DataSourceFixed)
        throw EDatabaseError("DataSource cannot be changed");
    if (dataSource_)
        dataSource_->RemoveLink(this);
    dataSource_ = value;
    if (dataSource_)
        dataSource_->links_.push_back(this);
    UpdateState();
}

TDataSet* TDataLink::DataSet() const
{
    return dataSource_ ? dataSource_->DataSet() : nullptr;
}

void TDataLink::SetReadOnly(bool value)
{
    if (value == readOnly_)
        return;
    readOnly_ = value;
    UpdateState();
}

bool TDataLink::Edit()
{
    if (!readOnly_ && dataSource_)
        dataSource_->Edit();
    return editing_;
}

void TDataLink::UpdateRecord()
{
    updating_ = true;
    try {
        UpdateData();
    } catch (...) {
        updating_ = false;
        throw;
    }
    updating_ = false;
}

void TDataLink::UpdateState()
{
    const bool active = dataSource_ && dataSource_->Enabled() && DataSet() && DataSet()->Active();
    if (active != active_) {
        active_ = active;
        ActiveChanged();
    }
    const bool editing = active_ && !readOnly_ && (DataSet()->State() == dsEdit || DataSet()->State() == dsInsert);
    if (editing != editing_) {
        editing_ = editing;
        EditingChanged();
    }
}

void TDataLink::DataEvent(TDataEvent event, TField* field)
{
    if (event == deUpdateState) {
        UpdateState();
        return;
    }
    if (!active_)
        return;
    switch (event) {
    case deFieldChange:
    case deRecordChange:
        if (!updating_)
            RecordChanged(field);
        break;
    case deDataSetChange:
        DataSetChanged();
        break;
    case deDataSetScroll:
        DataSetScrolled(0);
        break;
    case deLayoutChange:
        LayoutChanged();
        break;
    case deUpdateRecord:
        UpdateRecord();
        break;
    default:
        break;
    }
}

bool TDataLink::ExecuteAction(TBasicAction* action)
{
    if (!action || !action->HandlesTarget(dataSource_))
        return false;
    action->ExecuteTarget(dataSource_);
    return true;
}

bool TDataLink::UpdateAction(TBasicAction* action)
{
    if (!action || !action->HandlesTarget(dataSource_))
        return false;
    action->UpdateTarget(dataSource_);
    return true;
}

// ---------------------------------------------------------------------------
// TFieldDataLink

void TFieldDataLink::SetFieldName(const std::string& value)
{
    if (value == fieldName_)
        return;
    fieldName_ = value;
    UpdateField();
}

bool TFieldDataLink::CanModify() const
{
    return !ReadOnly() && field_ && field_->CanModify();
}

bool TFieldDataLink::Edit()
{
    if (CanModify())
        TDataLink::Edit();
    return Editing();
}

void TFieldDataLink::Reset()
{
    RecordChanged(nullptr);
}

void TFieldDataLink::UpdateField()
{
    TField* field = nullptr;
    if (Active() && !fieldName_.empty()) {
        field = DataSet()->FindField(fieldName_);
        if (!field) {
            SetField(nullptr);
            if (Control && !Control->Name().empty())
                throw EDatabaseError(Format("%s: Field '%s' not found", {Control->Name(), fieldName_}));
            throw EDatabaseError(Format("Field '%s' not found", {fieldName_}));
        }
    }
    SetField(field);
}

void TFieldDataLink::SetField(TField* value)
{
    if (value == field_)
        return;
    field_ = value;
    EditingChanged();
    RecordChanged(nullptr);
}

void TFieldDataLink::ActiveChanged()
{
    UpdateField();
    OnActiveChange(this);
}

void TFieldDataLink::EditingChanged()
{
    OnEditingChange(this);
}

void TFieldDataLink::LayoutChanged()
{
    UpdateField();
}

void TFieldDataLink::RecordChanged(TField* field)
{
    if (field && field != field_)
        return;
    OnDataChange(this);
    modified_ = false;
}

void TFieldDataLink::UpdateData()
{
    if (!modified_)
        return;
    if (field_)
        OnUpdateData(this);
    modified_ = false;
}

// ---------------------------------------------------------------------------
// Dataset actions

QB_IMPLEMENT_CLASS(TDataSetAction, TBasicAction)

std::vector<TPropInfo> TDataSetAction::Properties()
{
    using T = TDataSetAction;
    return {QB_PROP_COMPONENT(T, DataSource, DataSource, SetDataSource, TDataSource)};
}

TDataSetAction::~TDataSetAction() = default;

void TDataSetAction::SetDataSource(TDataSource* value)
{
    if (value == dataSource_)
        return;
    if (dataSource_)
        RemoveFreeNotification(dataSource_);
    dataSource_ = value;
    if (dataSource_)
        FreeNotification(dataSource_);
}

void TDataSetAction::Notification(TComponent* component, TOperation operation)
{
    TBasicAction::Notification(component, operation);
    if (operation == opRemove && component == dataSource_)
        dataSource_ = nullptr;
}

TDataSet* TDataSetAction::TargetDataSet(TObject* target) const
{
    auto* source = dataSource_ ? dataSource_ : dynamic_cast<TDataSource*>(target);
    return source ? source->DataSet() : nullptr;
}

bool TDataSetAction::HandlesTarget(TObject* target)
{
    if (dataSource_)
        return target == dataSource_ && dataSource_->DataSet();
    auto* source = dynamic_cast<TDataSource*>(target);
    return source && source->DataSet();
}

void TDataSetAction::ExecuteTarget(TObject* target)
{
    if (TDataSet* dataSet = TargetDataSet(target))
        Run(*dataSet);
}

void TDataSetAction::UpdateTarget(TObject* target)
{
    TDataSet* dataSet = TargetDataSet(target);
    enabled_ = dataSet && dataSet->Active() && CanRun(*dataSet);
}

namespace {
bool Editing(const TDataSet& d)
{
    return d.State() == dsEdit || d.State() == dsInsert;
}
} // namespace

#define QB_DEFINE_ACTION(Name, RunBody, CanRunExpr)                                                                    \
    QB_IMPLEMENT_COMPONENT(Name, TDataSetAction)                                                                       \
    QB_NO_PROPERTIES(Name)                                                                                             \
    void Name::Run(TDataSet& d)                                                                                        \
    {                                                                                                                  \
        RunBody;                                                                                                       \
    }                                                                                                                  \
    bool Name::CanRun(const TDataSet& d) const                                                                         \
    {                                                                                                                  \
        return CanRunExpr;                                                                                             \
    }

QB_DEFINE_ACTION(TDataSetFirst, d.First(), !d.Bof() && !d.ForwardOnly())
QB_DEFINE_ACTION(TDataSetPrior, d.Prior(), !d.Bof() && !d.ForwardOnly())
QB_DEFINE_ACTION(TDataSetNext, d.Next(), !d.Eof())
QB_DEFINE_ACTION(TDataSetLast, d.Last(), !d.Eof())
QB_DEFINE_ACTION(TDataSetInsert, d.Insert(), d.CanModify())
QB_DEFINE_ACTION(TDataSetDelete, d.Delete(), d.CanModify() && !d.IsEmpty())
QB_DEFINE_ACTION(TDataSetEdit, d.Edit(), d.CanModify() && !Editing(d))
QB_DEFINE_ACTION(TDataSetPost, d.Post(), Editing(d))
QB_DEFINE_ACTION(TDataSetCancel, d.Cancel(), Editing(d))
QB_DEFINE_ACTION(TDataSetRefresh, d.Refresh(), d.Active() && !d.ForwardOnly())
#undef QB_DEFINE_ACTION

void RegisterDatabaseClasses()
{
    for (const TClassInfo* cls :
         {&TDataSource::StaticClassInfo(), &TMemDataSet::StaticClassInfo(), &TSQLiteDataSet::StaticClassInfo(),
          &TDataSetFirst::StaticClassInfo(), &TDataSetPrior::StaticClassInfo(), &TDataSetNext::StaticClassInfo(),
          &TDataSetLast::StaticClassInfo(), &TDataSetInsert::StaticClassInfo(), &TDataSetDelete::StaticClassInfo(),
          &TDataSetEdit::StaticClassInfo(), &TDataSetPost::StaticClassInfo(), &TDataSetCancel::StaticClassInfo(),
          &TDataSetRefresh::StaticClassInfo()})
        RegisterClass(*cls);
}

} // namespace qb
