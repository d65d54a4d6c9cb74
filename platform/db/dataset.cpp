#include "qbarcode/db.h"

#include "rowstore.h"

#include <algorithm>
#include <cctype>
#include <climits>

namespace qb {

namespace {

bool SameName(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b,
                              [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

bool IsEditState(TDataSetState state)
{
    return state == dsEdit || state == dsInsert;
}

} // namespace

TDataSet::TDataSet(TComponent* owner) : TComponent(owner), rows_(std::make_unique<db::RowStore>()) {}

// A derived dataset closes itself in its own destructor, while its Internal*
// overrides still exist; here only the data sources are let go.
TDataSet::~TDataSet()
{
    while (!dataSources_.empty())
        dataSources_.back()->SetDataSet(nullptr);
}

std::string TDataSet::NamedMessage(std::string_view message) const
{
    return Name().empty() ? std::string(message) : Name() + ": " + std::string(message);
}

void TDataSet::CheckActive() const
{
    if (!Active())
        throw EDatabaseError(NamedMessage("Cannot perform this operation on a closed dataset"));
}

void TDataSet::CheckInactive() const
{
    if (Active())
        throw EDatabaseError(NamedMessage("Cannot perform this operation on an open dataset"));
}

void TDataSet::CheckCanModify() const
{
    if (!CanModify())
        throw EDatabaseError(NamedMessage("Cannot modify a read-only dataset"));
}

void TDataSet::CheckBidirectional() const
{
    if (ForwardOnly())
        throw EDatabaseError(NamedMessage("Operation not allowed on a forward-only dataset"));
}

void TDataSet::SetActive(bool value)
{
    if (ComponentState().Contains(csLoading)) {
        streamedActive_ = value;
        return;
    }
    if (value)
        Open();
    else
        Close();
}

void TDataSet::Loaded()
{
    TComponent::Loaded();
    if (streamedActive_)
        Open();
}

void TDataSet::Open()
{
    if (Active())
        return;
    std::vector<FieldDef> defs = InternalOpen();
    try {
        for (const FieldDef& def : defs)
            fields_.push_back(
                std::make_unique<TField>(this, def.name, def.type, static_cast<int>(fields_.size()), def.readOnly));
        state_ = dsBrowse;
        recNo_ = RecordCount() > 0 ? 0 : -1;
        LoadCurrent();
    } catch (...) {
        fields_.clear();
        state_ = dsInactive;
        InternalClose();
        throw;
    }
    bof_ = true;
    eof_ = RecordCount() == 0;
    modified_ = false;
    DataEvent(deUpdateState);
}

void TDataSet::Close()
{
    if (!Active())
        return;
    state_ = dsInactive;
    modified_ = false;
    // Links let go of their fields before the fields are destroyed.
    DataEvent(deUpdateState);
    fields_.clear();
    buffer_.clear();
    oldBuffer_.clear();
    recNo_ = -1;
    windowStart_ = 0;
    bof_ = eof_ = true;
    InternalClose();
}

int TDataSet::RecordCount() const
{
    return Active() ? static_cast<int>(rows_->Size()) : 0;
}

int TDataSet::RecNo() const
{
    return state_ == dsInsert ? 0 : windowStart_ + recNo_ + 1;
}

void TDataSet::BlankBuffer()
{
    buffer_.assign(fields_.size() + static_cast<std::size_t>(HiddenValueCount()), TFieldValue{});
}

void TDataSet::LoadCurrent()
{
    if (recNo_ >= 0)
        rows_->Get(static_cast<std::size_t>(recNo_), buffer_);
    else
        BlankBuffer();
}

// Moves to the first row of the next window, when there is one.
bool TDataSet::LoadNextWindow()
{
    const int held = RecordCount();
    if (!ForwardOnly() || !InternalNextWindow())
        return false;
    windowStart_ += held;
    recNo_ = 0;
    LoadCurrent();
    return true;
}

// Reads windows until the one that holds record `target` (counted from the
// first record read) or the last. When a window cannot be read after others
// were, the data sources hear of the window now held before the error goes on.
void TDataSet::ReadWindowsTo(long long target)
{
    bool read = false;
    try {
        while (target >= windowStart_ + static_cast<long long>(RecordCount()) && LoadNextWindow())
            read = true;
    } catch (...) {
        if (read) {
            bof_ = eof_ = false;
            DataEvent(deDataSetScroll);
        }
        throw;
    }
}

void TDataSet::First()
{
    CheckBrowseMode();
    if (windowStart_ > 0)
        CheckBidirectional();
    recNo_ = RecordCount() > 0 ? 0 : -1;
    LoadCurrent();
    bof_ = true;
    eof_ = RecordCount() == 0;
    DataEvent(deDataSetChange);
}

void TDataSet::Last()
{
    CheckBrowseMode();
    ReadWindowsTo(LLONG_MAX);
    recNo_ = RecordCount() - 1;
    LoadCurrent();
    bof_ = RecordCount() == 0;
    eof_ = true;
    DataEvent(deDataSetChange);
}

int TDataSet::MoveBy(int distance)
{
    CheckBrowseMode();
    if (distance == 0)
        return 0;
    if (distance < 0)
        CheckBidirectional();
    if (RecordCount() == 0) {
        bof_ = eof_ = true;
        return 0;
    }
    // Record numbers from the first record read, so that a move may cross windows.
    const long long from = static_cast<long long>(windowStart_) + recNo_;
    long long target = from + distance;
    ReadWindowsTo(target);
    bof_ = eof_ = false;
    const long long end = windowStart_ + static_cast<long long>(RecordCount());
    if (target >= end) {
        target = end - 1;
        eof_ = true;
    } else if (target < windowStart_) {
        target = windowStart_;
        bof_ = true;
    }
    const int moved = static_cast<int>(target - from);
    if (moved != 0) {
        recNo_ = static_cast<int>(target - windowStart_);
        LoadCurrent();
        DataEvent(deDataSetScroll);
    }
    return moved;
}

void TDataSet::CheckBrowseMode()
{
    CheckActive();
    DataEvent(deCheckBrowseMode);
    if (!IsEditState(state_))
        return;
    DataEvent(deUpdateRecord);
    if (modified_)
        Post();
    else
        Cancel();
}

void TDataSet::Edit()
{
    CheckActive();
    if (IsEditState(state_))
        return;
    if (RecordCount() == 0) {
        Insert();
        return;
    }
    CheckCanModify();
    oldBuffer_ = buffer_;
    state_ = dsEdit;
    modified_ = false;
    DataEvent(deUpdateState);
}

void TDataSet::StartInsert(int position)
{
    CheckCanModify();
    insertAt_ = position;
    BlankBuffer();
    state_ = dsInsert;
    modified_ = false;
    bof_ = eof_ = false;
    DataEvent(deUpdateState);
    DataEvent(deDataSetChange);
}

void TDataSet::Insert()
{
    CheckBrowseMode();
    StartInsert(std::max(recNo_, 0));
}

void TDataSet::Append()
{
    CheckBrowseMode();
    StartInsert(RecordCount());
}

void TDataSet::Post()
{
    CheckActive();
    if (!IsEditState(state_))
        throw EDatabaseError("Dataset not in edit or insert mode");
    DataEvent(deUpdateRecord);
    const bool inserting = state_ == dsInsert;
    std::vector<TFieldValue> row = buffer_;
    if (inserting)
        oldBuffer_.assign(buffer_.size(), TFieldValue{});
    InternalPost(inserting, oldBuffer_, row);
    if (inserting) {
        rows_->Insert(static_cast<std::size_t>(insertAt_), row);
        recNo_ = insertAt_;
    } else {
        rows_->Replace(static_cast<std::size_t>(recNo_), row);
    }
    buffer_ = std::move(row);
    state_ = dsBrowse;
    modified_ = false;
    DataEvent(deUpdateState);
    DataEvent(deDataSetChange);
}

void TDataSet::Cancel()
{
    if (!IsEditState(state_))
        return;
    if (state_ == dsInsert) {
        LoadCurrent();
        bof_ = eof_ = RecordCount() == 0;
    } else {
        buffer_ = oldBuffer_;
    }
    state_ = dsBrowse;
    modified_ = false;
    DataEvent(deUpdateState);
    DataEvent(deDataSetChange);
}

void TDataSet::Delete()
{
    CheckActive();
    if (state_ == dsInsert) {
        Cancel();
        return;
    }
    if (RecordCount() == 0)
        throw EDatabaseError(NamedMessage("Cannot perform this operation on an empty dataset"));
    CheckCanModify();
    if (state_ == dsEdit)
        Cancel();
    DataEvent(deCheckBrowseMode);
    std::vector<TFieldValue> row;
    rows_->Get(static_cast<std::size_t>(recNo_), row);
    InternalDelete(row);
    rows_->Erase(static_cast<std::size_t>(recNo_));
    recNo_ = std::min(recNo_, RecordCount() - 1);
    LoadCurrent();
    bof_ = recNo_ <= 0;
    eof_ = RecordCount() == 0;
    DataEvent(deDataSetChange);
}

void TDataSet::Refresh()
{
    CheckBrowseMode();
    CheckBidirectional();
    InternalRefresh();
    recNo_ = std::min(std::max(recNo_, 0), RecordCount() - 1);
    LoadCurrent();
    bof_ = recNo_ <= 0;
    eof_ = RecordCount() == 0;
    DataEvent(deDataSetChange);
}

TField* TDataSet::Fields(int index) const
{
    if (index < 0 || index >= FieldCount())
        throw EDatabaseError(NamedMessage(Format("Field index %d out of range", {static_cast<long long>(index)})));
    return fields_[static_cast<std::size_t>(index)].get();
}

TField* TDataSet::FindField(const std::string& name) const
{
    for (const auto& field : fields_)
        if (SameName(field->FieldName(), name))
            return field.get();
    return nullptr;
}

TField* TDataSet::FieldByName(const std::string& name) const
{
    if (TField* field = FindField(name))
        return field;
    throw EDatabaseError(Format("Field '%s' not found", {name}));
}

const TFieldValue& TDataSet::FieldValue(int index) const
{
    return buffer_.at(static_cast<std::size_t>(index));
}

void TDataSet::SetFieldValue(TField& field, TFieldValue value)
{
    if (!IsEditState(state_))
        throw EDatabaseError("Dataset not in edit or insert mode");
    if (field.ReadOnly())
        throw EDatabaseError(Format("Field '%s' cannot be modified", {field.FieldName()}));
    buffer_.at(static_cast<std::size_t>(field.Index())) = std::move(value);
    modified_ = true;
    DataEvent(deFieldChange, &field);
}

void TDataSet::DisableControls()
{
    ++disableCount_;
}

void TDataSet::EnableControls()
{
    if (disableCount_ == 0 || --disableCount_ > 0 || !eventPending_)
        return;
    eventPending_ = false;
    DataEvent(deUpdateState);
    DataEvent(deDataSetChange);
}

void TDataSet::DataEvent(TDataEvent event, TField* field)
{
    // Pending edits must reach the store even while controls are disabled, and
    // a closing dataset must reach the links before its fields are destroyed.
    const bool always =
        event == deUpdateRecord || event == deCheckBrowseMode || (event == deUpdateState && state_ == dsInactive);
    if (disableCount_ > 0 && !always) {
        eventPending_ = true;
        return;
    }
    std::vector<TDataSource*> sources = dataSources_;
    for (TDataSource* source : sources)
        if (std::ranges::find(dataSources_, source) != dataSources_.end())
            source->NotifyLinks(event, field);
}

QB_IMPLEMENT_CLASS(TDataSet, TComponent)
QB_NO_PROPERTIES(TDataSet)

} // namespace qb
