/// \file
/// The database layer: datasets with typed fields, data sources, the links
/// through which data-aware controls follow a field, dataset actions, and two
/// datasets: one over an SQLite 3 database and one in memory (with CSV import).
#pragma once

#include "qbarcode/classes.h"
#include "qbarcode/sysutils.h"

#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace qb {

namespace db {
class RowStore;
struct SQLiteState;
} // namespace db

/// Raised for every failure of the database layer; the message is the one to show.
class EDatabaseError : public Exception {
public:
    /// Takes the message to show.
    using Exception::Exception;
};

/// The type of a field's values.
enum TFieldType { ftUnknown, ftString, ftInteger, ftFloat, ftBlob };

/// Closed; open for reading; editing the current record; a new record being inserted.
enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

/// What a dataset tells its data sources' links.
enum TDataEvent {
    deFieldChange,     ///< one field's value changed (info: the field)
    deRecordChange,    ///< the current record's values changed as a whole
    deDataSetChange,   ///< the rows or the position changed in a way that needs a full refresh
    deDataSetScroll,   ///< the position moved
    deLayoutChange,    ///< the fields changed
    deUpdateRecord,    ///< links must write pending edits into the fields now
    deUpdateState,     ///< the dataset opened, closed, or entered or left an edit state
    deCheckBrowseMode, ///< the dataset is about to leave the current record
};

/// One stored value: NULL, an integer, a real or text (text also carries blobs).
using TFieldValue = std::variant<std::monostate, long long, double, std::string>;

class TDataSet;
class TDataSource;
class TDataLink;

/// A column of an open dataset, reading and writing the current record.
class TField {
public:
    /// Created by the dataset when it opens, one per column.
    TField(TDataSet* dataSet, std::string fieldName, TFieldType dataType, int index, bool readOnly);

    /// The column's name.
    const std::string& FieldName() const { return fieldName_; }
    /// The type the column was declared with (values may still hold another kind in SQLite).
    TFieldType DataType() const { return dataType_; }
    /// The dataset the field belongs to.
    TDataSet* DataSet() const { return dataSet_; }
    /// Position among the dataset's fields, from 0.
    int Index() const { return index_; }
    /// A read-only field refuses writes; computed columns and views are read-only.
    bool ReadOnly() const { return readOnly_; }
    /// Makes the field refuse (or accept) writes.
    void SetReadOnly(bool value) { readOnly_ = value; }
    /// True when the field can be written: not read-only and the dataset can be modified.
    bool CanModify() const;

    /// The value in the current record.
    const TFieldValue& Value() const;
    /// Writes the value (the dataset must be in edit or insert state); links hear of the change.
    void SetValue(TFieldValue value);
    /// True when the value is NULL.
    bool IsNull() const;
    /// Writes NULL.
    void Clear() { SetValue(std::monostate{}); }

    /// The value as text: empty for NULL, decimal for integers, up to 15 significant digits for reals.
    std::string AsString() const;
    /// Stores text converted to the field's type; raises EConvertError when it does not convert.
    void SetAsString(const std::string& value);
    /// Raises EConvertError for a value that is not an integer.
    long long AsInteger() const;
    /// Writes an integer.
    void SetAsInteger(long long value) { SetValue(value); }
    /// Raises EConvertError for a value that is not a number.
    double AsFloat() const;
    /// Writes a number (rounded half to even for an integer field).
    void SetAsFloat(double value);

    /// Text for display (equal to AsString).
    std::string DisplayText() const { return AsString(); }
    /// Text for editing, read and written; writing empty text to a numeric field stores NULL.
    std::string Text() const { return AsString(); }
    /// Writes the edit text (as SetAsString).
    void SetText(const std::string& value) { SetAsString(value); }

private:
    TDataSet* dataSet_;
    std::string fieldName_;
    TFieldType dataType_;
    int index_;
    bool readOnly_;
};

/// The base of every dataset: a list of rows with a current record, fields
/// over it, edit states, and notification of the data sources linked to it.
///
/// A forward-only dataset (see ForwardOnly) holds one window of rows at a
/// time: moving past the last row held reads the next window, RecordCount is
/// the rows held, RecNo counts from the first record read, and moving back
/// before the window held raises EDatabaseError.
class TDataSet : public TComponent {
    QB_CLASS(TDataSet, TComponent)
    /// A closed dataset owned by `owner`.
    explicit TDataSet(TComponent* owner);
    /// Lets go of every data source still attached (derived datasets close themselves first).
    ~TDataSet() override;

    /// Opens the dataset on its first record; raises (leaving it closed) when it cannot.
    void Open();
    /// Closes the dataset, cancelling a pending edit.
    void Close();
    /// True while open.
    bool Active() const { return state_ != dsInactive; }
    /// Open or close. While a form loads, the value is kept and applied once loading ends.
    void SetActive(bool value);
    /// Inactive, browsing, editing or inserting.
    TDataSetState State() const { return state_; }

    /// Moves to the first record (Bof set); a pending edit is posted first, as by every move.
    /// A forward-only dataset allows it only while it holds its first window.
    void First();
    /// Moves to the last record (Eof set); a forward-only dataset reads every window on the way.
    void Last();
    /// MoveBy(1).
    void Next() { MoveBy(1); }
    /// MoveBy(-1).
    void Prior() { MoveBy(-1); }
    /// Moves by `distance` records (negative: backwards), stopping at either end; returns the distance moved.
    /// A forward-only dataset raises for a negative distance, and raises when a window cannot be
    /// read: on the record where it was, or (a move across several windows, or Last) on the first
    /// record of the last window it could read.
    int MoveBy(int distance);
    /// True after an attempt to move past the last record, or when the dataset is empty.
    bool Eof() const { return eof_; }
    /// True on the first record after First, or after an attempt to move before it.
    bool Bof() const { return bof_; }
    /// Number of records held, the one being inserted not counted: every record, or in a
    /// forward-only dataset those of the window held.
    int RecordCount() const;
    /// Current record number from 1 (counted from the first record read, also across windows);
    /// 0 when there is none (or while inserting).
    int RecNo() const;
    /// True when there is no record and none is being inserted.
    bool IsEmpty() const { return RecordCount() == 0 && state_ != dsInsert; }

    /// Enters edit state for the current record (inserts when the dataset is empty).
    void Edit();
    /// Starts a new record before the current one.
    void Insert();
    /// Starts a new record after the last one.
    void Append();
    /// Stores the record being edited or inserted. When storing fails it raises, and both the
    /// stored row and the record being edited stay as they were (the state too).
    void Post();
    /// Discards the edit or the new record.
    void Cancel();
    /// Deletes the current record (cancels an insert).
    void Delete();
    /// Reloads the rows, keeping the position where possible (not in a forward-only dataset).
    void Refresh();
    /// Posts a pending edit (when something changed) or cancels it.
    void CheckBrowseMode();
    /// Whether rows can be written at all.
    virtual bool CanModify() const { return Active(); }
    /// True when the dataset reads its rows forwards in windows and cannot move back.
    virtual bool ForwardOnly() const { return false; }
    /// True while a record in edit or insert state has changed values.
    bool Modified() const { return modified_; }

    /// Number of fields (0 while closed).
    int FieldCount() const { return static_cast<int>(fields_.size()); }
    /// Field `index` from 0; raises EDatabaseError when out of range.
    TField* Fields(int index) const;
    /// The field of that name (case-insensitive), or nullptr.
    TField* FindField(const std::string& name) const;
    /// Raises EDatabaseError "Field '<name>' not found" when there is no such field.
    TField* FieldByName(const std::string& name) const;

    /// Suspends notification of linked controls until the matching EnableControls,
    /// which sends one change notice for everything that happened meanwhile.
    void DisableControls();
    /// Ends one DisableControls.
    void EnableControls();
    /// True between DisableControls and its EnableControls.
    bool ControlsDisabled() const { return disableCount_ > 0; }

    /// Opens the dataset when a form file set Active while it was loading.
    void Loaded() override;

protected:
    /// The message after the dataset's name and ": ", or alone when the dataset has no name.
    std::string NamedMessage(std::string_view message) const;
    /// One field of the dataset as it will open.
    struct FieldDef {
        std::string name;           ///< the field's name
        TFieldType type = ftString; ///< the type of its values
        bool readOnly = false;      ///< the dataset cannot store edits of it
    };

    /// Prepares the rows and returns the field definitions. Called by Open;
    /// may raise, and the dataset stays closed.
    virtual std::vector<FieldDef> InternalOpen() = 0;
    /// Releases what InternalOpen prepared.
    virtual void InternalClose() {}
    /// Makes the new values permanent. `row` holds the field values and then any
    /// key values the subclass keeps after them; the subclass may update those
    /// (a new key, values the store computed). Raises, with `row` unchanged, when it cannot.
    virtual void InternalPost(bool inserting, const std::vector<TFieldValue>& oldRow,
                              std::vector<TFieldValue>& row) = 0;
    /// Removes a stored row; raises when it cannot.
    virtual void InternalDelete(const std::vector<TFieldValue>& row) = 0;
    /// Reloads every row (default: nothing changes).
    virtual void InternalRefresh() {}
    /// Forward-only datasets: replaces the rows with the window after the ones held (at least one
    /// row) and returns true; returns false at the end. Raises, with the rows unchanged, when it
    /// cannot read.
    virtual bool InternalNextWindow() { return false; }
    /// Values appended to every row after the field values (keys of the store).
    virtual int HiddenValueCount() const { return 0; }

    /// The stored rows.
    db::RowStore& Rows() { return *rows_; }
    /// Raises EDatabaseError unless the dataset is open.
    void CheckActive() const;
    /// Raises EDatabaseError unless the dataset is closed.
    void CheckInactive() const;
    /// Sends an event to every linked data source (held back while controls are disabled).
    void DataEvent(TDataEvent event, TField* field = nullptr);

private:
    friend class TField;
    friend class TDataSource;
    const TFieldValue& FieldValue(int index) const;
    void SetFieldValue(TField& field, TFieldValue value);
    void LoadCurrent();
    void BlankBuffer();
    void CheckCanModify() const;
    void CheckBidirectional() const;
    bool LoadNextWindow();
    void ReadWindowsTo(long long target);
    void StartInsert(int position);

    std::vector<std::unique_ptr<TField>> fields_;
    std::unique_ptr<db::RowStore> rows_;
    std::vector<TFieldValue> buffer_;
    std::vector<TFieldValue> oldBuffer_;
    std::vector<TDataSource*> dataSources_;
    TDataSetState state_ = dsInactive;
    int recNo_ = -1;
    int windowStart_ = 0; // records read before the rows held
    int insertAt_ = 0;
    bool bof_ = true;
    bool eof_ = true;
    bool modified_ = false;
    bool streamedActive_ = false;
    int disableCount_ = 0;
    bool eventPending_ = false;
};

/// Connects data-aware links to a dataset.
class TDataSource : public TComponent {
    QB_CLASS(TDataSource, TComponent)
    /// A data source without a dataset.
    explicit TDataSource(TComponent* owner);
    /// Leaves the dataset; the links are left without a data source.
    ~TDataSource() override;

    /// The dataset, or nullptr.
    TDataSet* DataSet() const { return dataSet_; }
    /// Links follow the new dataset at once; freeing the dataset clears the reference.
    void SetDataSet(TDataSet* value);
    /// A disabled data source shows its links an inactive dataset.
    bool Enabled() const { return enabled_; }
    /// Enables or disables; links follow at once.
    void SetEnabled(bool value);
    /// When set (the default), a link's Edit puts a browsing dataset into edit state.
    bool AutoEdit() const { return autoEdit_; }
    /// Sets AutoEdit.
    void SetAutoEdit(bool value) { autoEdit_ = value; }
    /// dsInactive when disabled or without a dataset, else the dataset's state.
    TDataSetState State() const;
    /// Puts the dataset into edit state when AutoEdit is set and it is browsing.
    void Edit();

    /// Called on every event from the dataset, after the links have heard it.
    TNotifyEvent OnDataChange;

    /// Forgets a dataset that is being freed.
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TDataLink;
    friend class TDataSet;
    void NotifyLinks(TDataEvent event, TField* field);
    void RemoveLink(TDataLink* link);

    TDataSet* dataSet_ = nullptr;
    bool enabled_ = true;
    bool autoEdit_ = true;
    std::vector<TDataLink*> links_;
};

/// Follows a data source on behalf of a control: hears of openings, closings,
/// scrolling and edits, and answers dataset actions aimed at its data source.
class TDataLink : public TPersistent {
public:
    /// A link without a data source.
    TDataLink() = default;
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;
    /// Leaves the data source.
    ~TDataLink() override;

    /// The data source followed, or nullptr.
    TDataSource* DataSource() const { return dataSource_; }
    /// Raises EDatabaseError while DataSourceFixed is set.
    void SetDataSource(TDataSource* value);
    /// Set by a control while it is loaded so that the data source cannot change under it.
    bool DataSourceFixed = false;
    /// The dataset of the data source, or nullptr.
    TDataSet* DataSet() const;
    /// True while the data source is enabled and its dataset open.
    bool Active() const { return active_; }
    /// True while the dataset is in edit or insert state.
    bool Editing() const { return editing_; }
    /// A read-only link never puts the dataset into edit state.
    bool ReadOnly() const { return readOnly_; }
    /// Sets ReadOnly.
    void SetReadOnly(bool value);
    /// Asks the data source to edit; returns whether the dataset is now editing.
    virtual bool Edit();
    /// Writes the control's pending value through UpdateData.
    void UpdateRecord();
    /// Runs the action when it aims at this link's data source; returns whether it ran.
    bool ExecuteAction(TBasicAction* action);
    /// Lets the action update its enabled state for this link's data source; returns whether it did.
    bool UpdateAction(TBasicAction* action);

protected:
    /// The dataset opened or closed (or the data source changed).
    virtual void ActiveChanged() {}
    /// The dataset entered or left an edit state.
    virtual void EditingChanged() {}
    /// The rows or the position changed.
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    /// The position moved.
    virtual void DataSetScrolled(int /*distance*/) { DataSetChanged(); }
    /// The fields changed.
    virtual void LayoutChanged() { DataSetChanged(); }
    /// A field's value (or, with nullptr, the whole record) changed.
    virtual void RecordChanged(TField* /*field*/) {}
    /// The dataset is about to store the record: write pending edits now.
    virtual void UpdateData() {}
    /// True while UpdateRecord runs.
    bool Updating() const { return updating_; }

private:
    friend class TDataSource;
    void DataEvent(TDataEvent event, TField* field);
    void UpdateState();

    TDataSource* dataSource_ = nullptr;
    bool active_ = false;
    bool editing_ = false;
    bool readOnly_ = false;
    bool updating_ = false;
};

/// The link of a control that shows and edits one field.
class TFieldDataLink : public TDataLink {
public:
    /// The name of the field followed.
    const std::string& FieldName() const { return fieldName_; }
    /// Looks the field up again; raises "<control>: Field '<name>' not found" for an unknown name.
    void SetFieldName(const std::string& value);
    /// The current field, or nullptr while the name is empty or the dataset is closed.
    TField* Field() const { return field_; }
    /// The control this link serves (named in error messages), or nullptr.
    TComponent* Control = nullptr;
    /// True when the field can be written through this link.
    bool CanModify() const;
    /// Asks for edit state when the field can be modified; returns whether the dataset is editing.
    bool Edit() override;
    /// Marks the control's value as changed, so UpdateRecord writes it.
    void Modified() { modified_ = true; }
    /// True between Modified and the next write or data change.
    bool IsModified() const { return modified_; }
    /// Forgets a pending change and lets the control show the field's value again.
    void Reset();

    /// The field's value or the record changed: the control shows the field again.
    TNotifyEvent OnDataChange;
    /// The control must write its value into the field.
    TNotifyEvent OnUpdateData;
    /// The dataset entered or left an edit state.
    TNotifyEvent OnEditingChange;
    /// The dataset opened or closed, or the link was pointed at another one.
    TNotifyEvent OnActiveChange;

protected:
    void ActiveChanged() override;
    void EditingChanged() override;
    void LayoutChanged() override;
    void RecordChanged(TField* field) override;
    void UpdateData() override;

private:
    void UpdateField();
    void SetField(TField* value);

    std::string fieldName_;
    TField* field_ = nullptr;
    bool modified_ = false;
};

/// An action on the dataset of a data source: the target is a TDataSource
/// (the action's own DataSource when set, else the one a link offers).
class TDataSetAction : public TBasicAction {
    QB_CLASS(TDataSetAction, TBasicAction)
    /// An enabled action without a data source of its own.
    explicit TDataSetAction(TComponent* owner) : TBasicAction(owner) {}
    ~TDataSetAction() override;
    /// The data source acted on; nullptr: the one a link offers.
    TDataSource* DataSource() const { return dataSource_; }
    /// Sets the data source (freeing it clears the reference).
    void SetDataSource(TDataSource* value);
    /// Set by UpdateTarget: whether the action can run now.
    bool Enabled() const { return enabled_; }
    /// Sets Enabled.
    void SetEnabled(bool value) { enabled_ = value; }
    /// Forgets a data source that is being freed.
    void Notification(TComponent* component, TOperation operation) override;
    /// True for a data source with a dataset (the action's own, when it has one).
    bool HandlesTarget(TObject* target) override;
    /// Runs the action on the target's dataset.
    void ExecuteTarget(TObject* target) override;
    /// Sets Enabled: the target's dataset is open and the action can run on it.
    void UpdateTarget(TObject* target) override;

protected:
    /// Does the action on an open dataset.
    virtual void Run(TDataSet& dataSet) = 0;
    /// Whether the action can run now on the dataset.
    virtual bool CanRun(const TDataSet& dataSet) const = 0;

private:
    TDataSet* TargetDataSet(TObject* target) const;

    TDataSource* dataSource_ = nullptr;
    bool enabled_ = true;
};

/// Declares a dataset action class Name that runs on the target dataset.
#define QB_DATASET_ACTION(Name)                                                                                        \
    class Name : public ::qb::TDataSetAction {                                                                         \
        QB_CLASS(Name, ::qb::TDataSetAction)                                                                           \
        using ::qb::TDataSetAction::TDataSetAction;                                                                    \
                                                                                                                       \
    protected:                                                                                                         \
        void Run(::qb::TDataSet& dataSet) override;                                                                    \
        bool CanRun(const ::qb::TDataSet& dataSet) const override;                                                     \
    };
/// Moves to the first record; enabled unless on it already or forward-only.
QB_DATASET_ACTION(TDataSetFirst)
/// Moves to the previous record; enabled unless at the beginning or forward-only.
QB_DATASET_ACTION(TDataSetPrior)
/// Moves to the next record; enabled unless at the end.
QB_DATASET_ACTION(TDataSetNext)
/// Moves to the last record; enabled unless at the end.
QB_DATASET_ACTION(TDataSetLast)
/// Inserts a record; enabled when the dataset can be modified.
QB_DATASET_ACTION(TDataSetInsert)
/// Deletes the current record; enabled when there is one and the dataset can be modified.
QB_DATASET_ACTION(TDataSetDelete)
/// Enters edit state; enabled while browsing a modifiable dataset.
QB_DATASET_ACTION(TDataSetEdit)
/// Posts the edit; enabled while editing or inserting.
QB_DATASET_ACTION(TDataSetPost)
/// Cancels the edit; enabled while editing or inserting.
QB_DATASET_ACTION(TDataSetCancel)
/// Reloads the rows; enabled while open, unless forward-only.
QB_DATASET_ACTION(TDataSetRefresh)
#undef QB_DATASET_ACTION

/// A dataset held in memory: define fields, open, append rows; or load a CSV
/// file whose header row names the (text) fields. Rows survive Close and Open.
class TMemDataSet : public TDataSet {
    QB_CLASS(TMemDataSet, TDataSet)
    /// A closed dataset without fields.
    explicit TMemDataSet(TComponent* owner);
    /// Closes the dataset.
    ~TMemDataSet() override;

    /// Adds a field definition; the dataset must be closed and hold no rows.
    void AddFieldDef(const std::string& name, TFieldType type, bool readOnly = false);
    /// Removes every field definition and row; the dataset must be closed.
    void ClearDefinitions();
    /// Appends a stored row while the dataset is open (one value per field) and moves to it.
    void AppendRecord(const std::vector<TFieldValue>& values);
    /// Replaces the definitions and rows with those of an RFC 4180 text (header row first)
    /// and opens the dataset. A malformed text raises "<source>, line <n>: <what>".
    void LoadFromCsv(const std::string& text, const std::string& source = "CSV");
    /// The same from a file; raises "Cannot open file '<path>'" when it cannot be read.
    void LoadFromCsvFile(const std::string& path);

protected:
    std::vector<FieldDef> InternalOpen() override;
    void InternalPost(bool inserting, const std::vector<TFieldValue>& oldRow, std::vector<TFieldValue>& row) override;
    void InternalDelete(const std::vector<TFieldValue>& row) override;

private:
    std::vector<FieldDef> defs_;
};

/// A dataset over a table or a query of an SQLite 3 database file. Rows are
/// read on Open into a compact store; Post, Insert and Delete write through at
/// once, each in its own transaction, by rowid (or the primary key).
///
/// **Forward-only mode** (SetForwardOnly) reads any number of rows with memory
/// that does not grow with them, for a job that walks the records once (a run
/// of labels): the dataset holds one window of WindowRows rows at a time and
/// reads the next when Next moves past the last one; it is read-only, and
/// moving back raises (see TDataSet).
/// - A table with a rowid is read in rowid order, each window by a fresh query
///   for the rows after the last one read. Between windows the database is not
///   held, so others can write meanwhile: a row deleted before its window is
///   read is not read, a row added after the last one read is, changed values
///   show when their window is read, and no row is read twice.
/// - A query, a view or a table without rowid is read in the order its query
///   gives. The rows after the first window are copied at Open into a private
///   temporary database file (deleted on Close), so the database is held only
///   while Open reads it, and what is read is the rows as they were at Open.
///
/// \code
/// TSQLiteDataSet products(nullptr);
/// products.SetDatabaseName("shop.db");
/// products.SetTableName("products");
/// products.SetColumns({"code", "name"}); // only what the job needs
/// products.SetWhere("price > 2");        // SQL, as after WHERE
/// products.SetForwardOnly(true);
/// products.Open();
/// for (; !products.Eof(); products.Next())
///     Print(products.FieldByName("code")->AsString()); // RecNo() counts on across windows
/// \endcode
class TSQLiteDataSet : public TDataSet {
    QB_CLASS(TSQLiteDataSet, TDataSet)
    /// A closed dataset without a database.
    explicit TSQLiteDataSet(TComponent* owner);
    /// Closes the dataset and its connection.
    ~TSQLiteDataSet() override;

    // The settings below can change only while the dataset is closed (BusyTimeout at any time).

    /// The database file (never created: a missing file raises on Open).
    const std::string& DatabaseName() const { return databaseName_; }
    /// Sets DatabaseName.
    void SetDatabaseName(const std::string& value);
    /// A table or view; used when SQL is empty.
    const std::string& TableName() const { return tableName_; }
    /// Sets TableName.
    void SetTableName(const std::string& value);
    /// The columns of TableName to read, in this order; empty (the default): every column.
    /// An unknown column raises SQLite's "no such column" on Open.
    const std::vector<std::string>& Columns() const { return columns_; }
    /// Sets Columns (a name given twice is read once).
    void SetColumns(std::vector<std::string> value);
    /// An SQL condition on the rows of TableName, as after WHERE; empty: every row. Its
    /// parameters are bound from SetParam. A condition that holds a second statement or writes
    /// raises on Open, as a query does.
    const std::string& Where() const { return where_; }
    /// Sets Where.
    void SetWhere(const std::string& value);
    /// A query that reads; its parameters are bound from SetParam.
    const std::string& SQL() const { return sql_; }
    /// Sets SQL.
    void SetSQL(const std::string& value);
    /// At most this many rows are read; -1 (the default): no limit.
    long long RecordLimit() const { return recordLimit_; }
    /// Sets RecordLimit (below -1 counts as -1).
    void SetRecordLimit(long long value);
    /// Forward-only mode, described above; off by default.
    bool ForwardOnly() const override { return forwardOnly_; }
    /// Sets ForwardOnly.
    void SetForwardOnly(bool value);
    /// Rows in each window of forward-only mode (default 4096, at least 1).
    int WindowRows() const { return windowRows_; }
    /// Sets WindowRows.
    void SetWindowRows(int value);
    /// Milliseconds to wait for another connection's lock before "database is locked".
    int BusyTimeout() const { return busyTimeout_; }
    /// Sets BusyTimeout, also for an open connection.
    void SetBusyTimeout(int value);

    /// Sets parameter `name` (with its prefix, e.g. ":code") or, for a number, `?N`.
    void SetParam(const std::string& name, TFieldValue value);
    /// Forgets every parameter value.
    void ClearParams() { params_.clear(); }

    /// The number of records the open dataset reads from its first to its last (RecordLimit
    /// applied): RecordCount, or in forward-only mode over a table the rows the database counts
    /// when first asked (rows written by others after that may change what is read).
    long long TotalRecordCount();

    /// True while open on a table (or a query of one table with its key) whose rows can be found
    /// again, and not forward-only.
    bool CanModify() const override;

protected:
    std::vector<FieldDef> InternalOpen() override;
    void InternalClose() override;
    void InternalPost(bool inserting, const std::vector<TFieldValue>& oldRow, std::vector<TFieldValue>& row) override;
    void InternalDelete(const std::vector<TFieldValue>& row) override;
    void InternalRefresh() override;
    bool InternalNextWindow() override;
    int HiddenValueCount() const override;

private:
    std::vector<FieldDef> Connect(db::RowStore& rows, std::unique_ptr<db::SQLiteState>& connected);

    std::string databaseName_;
    std::string tableName_;
    std::vector<std::string> columns_;
    std::string where_;
    std::string sql_;
    long long recordLimit_ = -1;
    bool forwardOnly_ = false;
    int windowRows_ = 4096;
    int busyTimeout_ = 5000;
    std::vector<std::pair<std::string, TFieldValue>> params_;
    std::unique_ptr<db::SQLiteState> sqlite_;
};

/// Registers the dataset, data source and action classes for form files (repeated calls are harmless).
void RegisterDatabaseClasses();

} // namespace qb
