#include "qbarcode/db.h"
#include "qbarcode/fileio.h"

#include "rowstore.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <optional>

namespace qb {

namespace db {
namespace {

struct CloseDb {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct FinalizeStmt {
    void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using Db = std::unique_ptr<sqlite3, CloseDb>;
using Stmt = std::unique_ptr<sqlite3_stmt, FinalizeStmt>;

[[noreturn]] void Fail(sqlite3* db)
{
    throw EDatabaseError(sqlite3_errmsg(db));
}

[[noreturn]] void Fail(sqlite3_stmt* stmt)
{
    Fail(sqlite3_db_handle(stmt));
}

Stmt Prepare(sqlite3* db, const std::string& sql, const char** tail = nullptr)
{
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, tail) != SQLITE_OK)
        Fail(db);
    if (!raw) // nothing but blanks or comments
        throw EDatabaseError("The query is empty");
    return Stmt(raw);
}

std::string Quoted(const std::string& name, char quote = '"')
{
    std::string out(1, quote);
    for (char c : name)
        out += c == quote ? std::string(2, quote) : std::string(1, c);
    return out + quote;
}

bool SameName(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b,
                              [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

std::string Upper(const char* text)
{
    std::string s = text ? text : "";
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The field type of a declared column type, by SQLite's own affinity rules;
// numeric affinity and undeclared types (expressions) are text, which SQLite
// converts on storing as the column asks.
TFieldType TypeOfDeclared(const char* declared)
{
    std::string type = Upper(declared);
    if (type.find("INT") != std::string::npos)
        return ftInteger;
    if (type.find("CHAR") != std::string::npos || type.find("CLOB") != std::string::npos ||
        type.find("TEXT") != std::string::npos)
        return ftString;
    if (type.find("BLOB") != std::string::npos)
        return ftBlob;
    if (type.find("REAL") != std::string::npos || type.find("FLOA") != std::string::npos ||
        type.find("DOUB") != std::string::npos)
        return ftFloat;
    return ftString;
}

TFieldValue ReadColumn(sqlite3_stmt* stmt, int column)
{
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER:
        return static_cast<long long>(sqlite3_column_int64(stmt, column));
    case SQLITE_FLOAT:
        return sqlite3_column_double(stmt, column);
    case SQLITE_TEXT:
        return std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)),
                           static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)));
    case SQLITE_BLOB: {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt, column));
        return std::string(bytes ? bytes : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)));
    }
    default:
        return std::monostate{};
    }
}

void Bind(sqlite3* db, sqlite3_stmt* stmt, int index, const TFieldValue& value, TFieldType type)
{
    int rc = SQLITE_OK;
    if (const auto* i = std::get_if<long long>(&value))
        rc = sqlite3_bind_int64(stmt, index, *i);
    else if (const auto* d = std::get_if<double>(&value))
        rc = sqlite3_bind_double(stmt, index, *d);
    else if (const auto* s = std::get_if<std::string>(&value))
        rc = type == ftBlob ? sqlite3_bind_blob64(stmt, index, s->data(), s->size(), SQLITE_TRANSIENT)
                            : sqlite3_bind_text64(stmt, index, s->data(), s->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    else
        rc = sqlite3_bind_null(stmt, index);
    if (rc != SQLITE_OK)
        Fail(db);
}

void Exec(sqlite3* db, const char* sql)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        Fail(db);
}

void BindInteger(sqlite3_stmt* stmt, const char* name, long long value)
{
    if (sqlite3_bind_int64(stmt, sqlite3_bind_parameter_index(stmt, name), value) != SQLITE_OK)
        Fail(stmt);
}

// Pages read once, as forward-only reading does, gain nothing from SQLite's
// page cache (up to 2 MB by default): a small one keeps memory flat.
const char* const kReadOnceCache = "PRAGMA cache_size = -64";

// Resets a statement when it goes out of scope, so that a read that stops
// early or fails lets go of the database at once.
struct ResetScope {
    sqlite3_stmt* stmt;
    ~ResetScope() { sqlite3_reset(stmt); }
};

} // namespace

/// The open connection and what is known about where the rows can be written.
struct SQLiteState {
    Db db;
    /// The table rows are written to; empty when the dataset is read-only.
    std::string table;
    /// Per field: its column in `table` (empty for other tables and expressions).
    std::vector<std::string> origin;
    /// Per field: whether it can be written (generated columns cannot).
    std::vector<bool> writable;
    /// Per field: its declared type.
    std::vector<TFieldType> types;
    /// The columns identifying a row, and where their values sit in a row.
    std::vector<std::pair<std::string, std::size_t>> key;
    /// Table mode: the rowid is read as the statement's first column and kept after the fields.
    bool hiddenRowid = false;
    std::string rowidName;

    /// Forward-only mode: where the windows come from.
    struct Windows {
        /// A table with a rowid: reads at most $qb_rows rows from rowid $qb_from on, in rowid order.
        Stmt keyset;
        long long from = LLONG_MIN;
        /// Counts the table's rows that the keyset statement reads.
        std::string countSql;
        /// A query: the rows after its first window, copied into a private temporary database.
        Db spool;
        /// Reads the copied rows in their order.
        Stmt spooled;
        /// Rows still to read under the record limit; -1: no limit.
        long long left = -1;
        bool done = false;
        std::optional<long long> total;
    } windows;

    /// Appends at most `max` rows (-1: every row) of `stmt` to `rows`; returns how many. With a
    /// hidden rowid, rows below `minRowid` are passed over and `lastRowid` is the last one read.
    long long Read(RowStore& rows, sqlite3_stmt* stmt, long long max, long long minRowid, long long& lastRowid) const;
    long long Read(RowStore& rows, sqlite3_stmt* stmt, long long max) const
    {
        long long last = 0;
        return Read(rows, stmt, max, LLONG_MIN, last);
    }
    /// Reads the next window into `rows` (left as it is at the end); false at the end.
    bool NextWindow(RowStore& rows, int windowRows);
    /// Copies the rest of `stmt` (at most `max` rows, -1: all) into the spool; returns how many.
    long long Spool(sqlite3_stmt* stmt, long long max);

private:
    bool NextKeysetWindow(RowStore& rows, long long want);
};

long long SQLiteState::Read(RowStore& rows, sqlite3_stmt* stmt, long long max, long long minRowid,
                            long long& lastRowid) const
{
    const int first = hiddenRowid ? 1 : 0;
    const int columns = sqlite3_column_count(stmt);
    Row row(static_cast<std::size_t>(columns));
    long long read = 0;
    while (max < 0 || read < max) {
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW)
            Fail(stmt);
        if (hiddenRowid) {
            // A condition that escapes its parentheses could bring back rows
            // already read: they are passed over, so no row is read twice.
            const long long rowid = sqlite3_column_int64(stmt, 0);
            if (rowid < minRowid)
                continue;
            lastRowid = rowid;
        }
        for (int c = first; c < columns; ++c)
            row[static_cast<std::size_t>(c - first)] = ReadColumn(stmt, c);
        if (hiddenRowid)
            row.back() = ReadColumn(stmt, 0);
        rows.Append(row);
        ++read;
    }
    return read;
}

bool SQLiteState::NextWindow(RowStore& rows, int windowRows)
{
    Windows& w = windows;
    if (w.done)
        return false;
    const long long want = w.left < 0 ? windowRows : std::min<long long>(w.left, windowRows);
    if (want == 0 || !(w.keyset || w.spooled)) {
        w.done = true;
        return false;
    }
    if (w.keyset)
        return NextKeysetWindow(rows, want);
    RowStore window;
    const long long read = Read(window, w.spooled.get(), want);
    if (w.left >= 0)
        w.left -= read;
    if (read < want)
        w.done = true;
    if (read == 0)
        return false;
    rows = std::move(window);
    return true;
}

// Each window is a fresh query for the rows after the last one read, reset
// as soon as it is read, so that the database is free between windows.
bool SQLiteState::NextKeysetWindow(RowStore& rows, long long want)
{
    Windows& w = windows;
    sqlite3_stmt* stmt = w.keyset.get();
    ResetScope reset{stmt};
    BindInteger(stmt, "$qb_from", w.from);
    BindInteger(stmt, "$qb_rows", want);
    RowStore window;
    long long last = w.from;
    const long long read = Read(window, stmt, want, w.from, last);
    if (w.left >= 0)
        w.left -= read;
    if (read < want || last == LLONG_MAX)
        w.done = true;
    if (read == 0)
        return false;
    w.from = last + (last == LLONG_MAX ? 0 : 1);
    rows = std::move(window);
    return true;
}

long long SQLiteState::Spool(sqlite3_stmt* stmt, long long max)
{
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE || max == 0)
        return 0;
    if (rc != SQLITE_ROW)
        Fail(stmt);
    Windows& w = windows;
    sqlite3* raw = nullptr;
    // An empty name: a database file of this connection's own, removed when it closes.
    const int opened = sqlite3_open_v2("", &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    w.spool.reset(raw);
    if (opened != SQLITE_OK)
        throw EDatabaseError(raw ? sqlite3_errmsg(raw) : "out of memory");
    // Untyped columns keep every value as it was read.
    const int columns = sqlite3_column_count(stmt);
    std::string create = "CREATE TABLE spooled (", insert = "INSERT INTO spooled VALUES (";
    for (int c = 0; c < columns; ++c) {
        create += (c ? ", c" : "c") + std::to_string(c);
        insert += c ? ", ?" : "?";
    }
    Exec(raw, kReadOnceCache);
    Exec(raw, (create + "); BEGIN").c_str());
    Stmt add = Prepare(raw, insert + ")");
    long long copied = 0;
    while (rc == SQLITE_ROW && (max < 0 || copied < max)) {
        for (int c = 0; c < columns; ++c)
            if (sqlite3_bind_value(add.get(), c + 1, sqlite3_column_value(stmt, c)) != SQLITE_OK)
                Fail(raw);
        if (sqlite3_step(add.get()) != SQLITE_DONE)
            Fail(raw);
        sqlite3_reset(add.get());
        ++copied;
        if (max < 0 || copied < max)
            rc = sqlite3_step(stmt);
    }
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        Fail(stmt);
    Exec(raw, "COMMIT");
    w.spooled = Prepare(raw, "SELECT * FROM spooled ORDER BY rowid");
    return copied;
}

} // namespace db

using namespace db;

namespace {

struct TableInfo {
    bool exists = false;
    bool isView = false;
    std::string name;
    std::vector<std::string> primaryKey; // in key order
    std::vector<std::string> generated;
    std::vector<std::string> columns;
};

TableInfo DescribeTable(sqlite3* db, const std::string& name)
{
    TableInfo info;
    Stmt kind = Prepare(db, "SELECT type, name FROM sqlite_schema WHERE name = ?1 COLLATE NOCASE "
                            "AND type IN ('table', 'view')");
    sqlite3_bind_text(kind.get(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
    int rc = sqlite3_step(kind.get());
    if (rc == SQLITE_ROW) {
        info.exists = true;
        info.isView = std::string(reinterpret_cast<const char*>(sqlite3_column_text(kind.get(), 0))) == "view";
        info.name = reinterpret_cast<const char*>(sqlite3_column_text(kind.get(), 1));
    } else if (rc != SQLITE_DONE) {
        Fail(db);
    }
    if (!info.exists)
        return info;
    Stmt columns = Prepare(db, "SELECT name, pk, hidden FROM pragma_table_xinfo(?1)");
    sqlite3_bind_text(columns.get(), 1, info.name.c_str(), -1, SQLITE_TRANSIENT);
    std::vector<std::pair<int, std::string>> keys;
    while ((rc = sqlite3_step(columns.get())) == SQLITE_ROW) {
        std::string column = reinterpret_cast<const char*>(sqlite3_column_text(columns.get(), 0));
        int pk = sqlite3_column_int(columns.get(), 1);
        int hidden = sqlite3_column_int(columns.get(), 2);
        if (pk > 0)
            keys.emplace_back(pk, column);
        if (hidden == 2 || hidden == 3)
            info.generated.push_back(column);
        info.columns.push_back(column);
    }
    if (rc != SQLITE_DONE)
        Fail(db);
    std::ranges::sort(keys);
    for (auto& key : keys)
        info.primaryKey.push_back(key.second);
    return info;
}

bool Contains(const std::vector<std::string>& names, const std::string& name)
{
    return std::ranges::any_of(names, [&](const std::string& n) { return SameName(n, name); });
}

// The columns to read, each in backquotes: SQLite takes a double-quoted name
// it cannot find for a string literal, which would read the name itself on
// every row instead of reporting an unknown column.
std::string SelectList(const std::vector<std::string>& columns)
{
    std::string list;
    for (const std::string& column : columns)
        list += (list.empty() ? "" : ", ") + Quoted(column, '`');
    return list.empty() ? "*" : list;
}

// Prepares a statement made of, or holding, the caller's SQL: it must be one
// statement, and one that only reads.
template <typename Named> Stmt PrepareReading(sqlite3* db, const std::string& sql, Named named)
{
    const char* tail = nullptr;
    Stmt stmt = Prepare(db, sql, &tail);
    if (std::any_of(tail, sql.c_str() + sql.size(), [](unsigned char c) { return !std::isspace(c); }))
        throw EDatabaseError(named("The query holds more than one statement"));
    if (!sqlite3_stmt_readonly(stmt.get()))
        throw EDatabaseError(named("Only a query that reads can open a dataset"));
    return stmt;
}

using Params = std::vector<std::pair<std::string, TFieldValue>>;

// Binds the parameter values by name or, for a number, by position; returns
// the name of one the statement does not have, or nothing.
std::optional<std::string> BindParams(sqlite3_stmt* stmt, const Params& params)
{
    for (const auto& [name, value] : params) {
        int index = sqlite3_bind_parameter_index(stmt, name.c_str());
        if (index == 0) {
            auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), index);
            if (ec != std::errc() || end != name.data() + name.size() || index < 1 ||
                index > sqlite3_bind_parameter_count(stmt))
                return name;
        }
        Bind(sqlite3_db_handle(stmt), stmt, index, value, ftString);
    }
    return std::nullopt;
}

} // namespace

QB_IMPLEMENT_COMPONENT(TSQLiteDataSet, TDataSet)

std::vector<TPropInfo> TSQLiteDataSet::Properties()
{
    using T = TSQLiteDataSet;
    return {
        QB_PROP_STRING(T, DatabaseName, DatabaseName, SetDatabaseName, ""),
        QB_PROP_STRING(T, TableName, TableName, SetTableName, ""),
        QB_PROP_STRING(T, Where, Where, SetWhere, ""),
        QB_PROP_STRING(T, SQL, SQL, SetSQL, ""),
        QB_PROP_INT64(T, RecordLimit, RecordLimit, SetRecordLimit, -1),
        QB_PROP_BOOL(T, ForwardOnly, ForwardOnly, SetForwardOnly, false),
        QB_PROP_INT(T, WindowRows, WindowRows, SetWindowRows, 4096),
        QB_PROP_INT(T, BusyTimeout, BusyTimeout, SetBusyTimeout, 5000),
        QB_PROP_BOOL(T, Active, Active, SetActive, false),
    };
}

TSQLiteDataSet::TSQLiteDataSet(TComponent* owner) : TDataSet(owner) {}

void TSQLiteDataSet::SetDatabaseName(const std::string& value)
{
    CheckInactive();
    databaseName_ = value;
}

void TSQLiteDataSet::SetTableName(const std::string& value)
{
    CheckInactive();
    tableName_ = value;
}

void TSQLiteDataSet::SetColumns(std::vector<std::string> value)
{
    CheckInactive();
    columns_.clear();
    for (std::string& column : value)
        if (!Contains(columns_, column))
            columns_.push_back(std::move(column));
}

void TSQLiteDataSet::SetWhere(const std::string& value)
{
    CheckInactive();
    where_ = value;
}

void TSQLiteDataSet::SetSQL(const std::string& value)
{
    CheckInactive();
    sql_ = value;
}

void TSQLiteDataSet::SetRecordLimit(long long value)
{
    CheckInactive();
    recordLimit_ = std::max(value, -1LL);
}

void TSQLiteDataSet::SetForwardOnly(bool value)
{
    CheckInactive();
    forwardOnly_ = value;
}

void TSQLiteDataSet::SetWindowRows(int value)
{
    CheckInactive();
    windowRows_ = std::max(value, 1);
}

void TSQLiteDataSet::SetBusyTimeout(int value)
{
    busyTimeout_ = value;
    if (sqlite_)
        sqlite3_busy_timeout(sqlite_->db.get(), value);
}

TSQLiteDataSet::~TSQLiteDataSet()
{
    Close();
}

void TSQLiteDataSet::SetParam(const std::string& name, TFieldValue value)
{
    for (auto& param : params_)
        if (param.first == name) {
            param.second = std::move(value);
            return;
        }
    params_.emplace_back(name, std::move(value));
}

bool TSQLiteDataSet::CanModify() const
{
    return Active() && sqlite_ && !sqlite_->table.empty();
}

long long TSQLiteDataSet::TotalRecordCount()
{
    CheckActive();
    if (!forwardOnly_)
        return RecordCount();
    std::optional<long long>& total = sqlite_->windows.total;
    if (!total) {
        Stmt count = PrepareReading(sqlite_->db.get(), sqlite_->windows.countSql,
                                    [this](std::string_view m) { return NamedMessage(m); });
        BindParams(count.get(), params_);
        if (sqlite3_step(count.get()) != SQLITE_ROW)
            Fail(count.get());
        const long long rows = sqlite3_column_int64(count.get(), 0);
        total = recordLimit_ < 0 ? rows : std::min(rows, recordLimit_);
    }
    return *total;
}

int TSQLiteDataSet::HiddenValueCount() const
{
    return sqlite_ && sqlite_->hiddenRowid ? 1 : 0;
}

std::vector<TDataSet::FieldDef> TSQLiteDataSet::Connect(RowStore& rows, std::unique_ptr<SQLiteState>& connected)
{
    if (databaseName_.empty())
        throw EDatabaseError(NamedMessage("No database file name"));
    if (sql_.empty() && tableName_.empty())
        throw EDatabaseError(NamedMessage("No table name or query"));

    auto state = std::make_unique<SQLiteState>();
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(databaseName_.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    state->db.reset(raw);
    if (rc != SQLITE_OK) {
        struct stat st;
        const bool folder = ::stat(databaseName_.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        throw EDatabaseError("Cannot open database " + QuotedFileName(databaseName_) + ": " +
                             (folder ? "it is a folder"
                              : raw  ? sqlite3_errmsg(raw)
                                     : "out of memory"));
    }
    sqlite3* db = raw;
    sqlite3_busy_timeout(db, busyTimeout_);
    if (forwardOnly_)
        Exec(db, kReadOnceCache);

    const auto named = [this](std::string_view message) { return NamedMessage(message); };
    Stmt stmt;
    TableInfo table;
    std::string from, where;
    if (sql_.empty()) {
        table = DescribeTable(db, tableName_);
        from = " FROM " + Quoted(table.exists ? table.name : tableName_);
        if (table.exists && !table.isView) {
            // The first of SQLite's names for the rowid that no column shadows.
            for (const char* alias : {"rowid", "_rowid_", "oid"})
                if (!Contains(table.columns, alias)) {
                    state->rowidName = alias;
                    break;
                }
        }
        if (!state->rowidName.empty()) {
            // A table without rowid does not prepare this: its primary key identifies rows.
            sqlite3_stmt* probe = nullptr;
            state->hiddenRowid =
                sqlite3_prepare_v2(db, ("SELECT " + state->rowidName + from).c_str(), -1, &probe, nullptr) == SQLITE_OK;
            sqlite3_finalize(probe);
        }
        // The condition in parentheses, closed on a line of its own so that
        // a trailing comment cannot swallow the rest.
        where = where_.empty() ? "" : " WHERE (" + where_ + "\n)";
        std::string sql =
            "SELECT " + (state->hiddenRowid ? state->rowidName + ", " : "") + SelectList(columns_) + from + where;
        if (forwardOnly_ && state->hiddenRowid) {
            const std::string& rowid = state->rowidName;
            sql += (where.empty() ? " WHERE " : " AND ") + rowid + " >= $qb_from ORDER BY " + rowid + " LIMIT $qb_rows";
        }
        stmt = PrepareReading(db, sql, named); // an unknown table or column fails here with SQLite's message
    } else {
        stmt = PrepareReading(db, sql_, named);
    }
    if (!sql_.empty() || !where_.empty())
        if (std::optional<std::string> unknown = BindParams(stmt.get(), params_))
            throw EDatabaseError(NamedMessage(Format("Parameter '%s' not found", {*unknown})));

    // Where each column comes from decides what can be written back.
    const int first = state->hiddenRowid ? 1 : 0;
    const int columns = sqlite3_column_count(stmt.get());
    std::vector<FieldDef> defs;
    std::string target;
    bool singleTarget = true;
    for (int c = first; c < columns; ++c) {
        const char* originTable = sqlite3_column_table_name(stmt.get(), c);
        const char* originDb = sqlite3_column_database_name(stmt.get(), c);
        const char* originColumn = sqlite3_column_origin_name(stmt.get(), c);
        FieldDef def{sqlite3_column_name(stmt.get(), c), TypeOfDeclared(sqlite3_column_decltype(stmt.get(), c)), true};
        std::string origin;
        if (originTable && originColumn && originDb && std::string_view(originDb) == "main") {
            if (target.empty())
                target = originTable;
            else if (!SameName(target, originTable))
                singleTarget = false;
            origin = originColumn;
        }
        state->origin.push_back(origin);
        state->types.push_back(def.type);
        defs.push_back(def);
    }

    // A forward-only dataset is read-only.
    if (!target.empty() && singleTarget && !forwardOnly_) {
        if (!sql_.empty())
            table = DescribeTable(db, target);
        if (table.exists && !table.isView) {
            const auto fieldCount = defs.size();
            if (state->hiddenRowid) {
                state->key.emplace_back(state->rowidName, fieldCount);
            } else {
                for (const std::string& keyColumn : table.primaryKey)
                    for (std::size_t i = 0; i < fieldCount; ++i)
                        if (SameName(state->origin[i], keyColumn)) {
                            state->key.emplace_back(keyColumn, i);
                            break;
                        }
                if (table.primaryKey.empty() || state->key.size() != table.primaryKey.size())
                    state->key.clear();
            }
            if (!state->key.empty())
                state->table = table.name;
        }
    }
    // Columns of other tables, expressions and generated columns are read-only.
    for (std::size_t i = 0; i < defs.size(); ++i) {
        if (state->table.empty())
            state->origin[i].clear();
        state->writable.push_back(!state->origin[i].empty() && !Contains(table.generated, state->origin[i]));
        defs[i].readOnly = !state->writable.back();
    }

    if (!forwardOnly_) {
        state->Read(rows, stmt.get(), recordLimit_);
    } else if (state->hiddenRowid) {
        state->windows.keyset = std::move(stmt);
        state->windows.countSql = "SELECT count(*)" + from + where;
        state->windows.left = recordLimit_;
        state->NextWindow(rows, windowRows_);
    } else {
        // The first window straight from the query; the rest, when there is
        // more, copied now so that the database is let go of at once.
        const long long want = recordLimit_ < 0 ? windowRows_ : std::min<long long>(recordLimit_, windowRows_);
        const long long read = state->Read(rows, stmt.get(), want);
        const long long left = recordLimit_ < 0 ? -1 : recordLimit_ - read;
        const long long spooled = read < want ? 0 : state->Spool(stmt.get(), left);
        state->windows.left = left < 0 ? -1 : spooled;
        state->windows.total = read + spooled;
        state->windows.done = spooled == 0;
    }
    connected = std::move(state);
    return defs;
}

std::vector<TDataSet::FieldDef> TSQLiteDataSet::InternalOpen()
{
    RowStore rows;
    std::unique_ptr<SQLiteState> state;
    std::vector<FieldDef> defs = Connect(rows, state);
    Rows() = std::move(rows);
    sqlite_ = std::move(state);
    return defs;
}

bool TSQLiteDataSet::InternalNextWindow()
{
    return forwardOnly_ && sqlite_ && sqlite_->NextWindow(Rows(), windowRows_);
}

void TSQLiteDataSet::InternalClose()
{
    sqlite_.reset();
    Rows().Clear();
}

// Reads rows and layout again through the one path that describes them; on
// any failure the rows already shown stay.
void TSQLiteDataSet::InternalRefresh()
{
    RowStore rows;
    std::unique_ptr<SQLiteState> state;
    std::vector<FieldDef> defs = Connect(rows, state);
    bool same = static_cast<int>(defs.size()) == FieldCount();
    for (std::size_t i = 0; same && i < defs.size(); ++i)
        same = defs[i].name == Fields(static_cast<int>(i))->FieldName();
    if (!same)
        throw EDatabaseError(NamedMessage("The columns changed; close and open the dataset"));
    Rows() = std::move(rows);
    sqlite_ = std::move(state);
}

namespace {

// Runs one write statement inside its own transaction; on any failure the
// transaction is rolled back and SQLite's message raised. `apply` reads the
// RETURNING row.
template <typename Apply> void WriteInTransaction(sqlite3* db, sqlite3_stmt* stmt, bool mustChange, Apply apply)
{
    Exec(db, "BEGIN IMMEDIATE");
    try {
        int rc = sqlite3_step(stmt);
        bool returned = false;
        while (rc == SQLITE_ROW) {
            apply(stmt);
            returned = true;
            rc = sqlite3_step(stmt);
        }
        if (rc != SQLITE_DONE)
            Fail(db);
        if (mustChange && !returned)
            throw EDatabaseError("Record not found: it was deleted by another connection");
        sqlite3_reset(stmt);
        Exec(db, "COMMIT");
    } catch (...) {
        sqlite3_reset(stmt);
        if (!sqlite3_get_autocommit(db))
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

} // namespace

void TSQLiteDataSet::InternalPost(bool inserting, const std::vector<TFieldValue>& oldRow, std::vector<TFieldValue>& row)
{
    SQLiteState& s = *sqlite_;
    sqlite3* db = s.db.get();
    const std::size_t fieldCount = s.origin.size();

    std::vector<std::size_t> written;
    for (std::size_t i = 0; i < fieldCount; ++i) {
        if (!s.writable[i])
            continue;
        if (inserting ? !std::holds_alternative<std::monostate>(row[i]) : row[i] != oldRow[i])
            written.push_back(i);
    }
    if (!inserting && written.empty())
        return;

    // What the row holds after the write, as the database computed it.
    std::string returning;
    std::vector<std::size_t> returnedInto;
    if (s.hiddenRowid) {
        returning = s.rowidName;
        returnedInto.push_back(fieldCount);
    }
    for (std::size_t i = 0; i < fieldCount; ++i)
        if (!s.origin[i].empty()) {
            returning += (returning.empty() ? "" : ", ") + Quoted(s.origin[i]);
            returnedInto.push_back(i);
        }

    std::string sql;
    if (inserting) {
        std::string names, values;
        for (std::size_t n = 0; n < written.size(); ++n) {
            names += (n ? ", " : "") + Quoted(s.origin[written[n]]);
            values += (n ? ", ?" : "?");
        }
        sql = "INSERT INTO " + Quoted(s.table) +
              (written.empty() ? " DEFAULT VALUES" : " (" + names + ") VALUES (" + values + ")");
    } else {
        sql = "UPDATE " + Quoted(s.table) + " SET ";
        for (std::size_t n = 0; n < written.size(); ++n)
            sql += (n ? ", " : "") + Quoted(s.origin[written[n]]) + " = ?";
        sql += " WHERE ";
        for (std::size_t k = 0; k < s.key.size(); ++k)
            sql += (k ? " AND " : "") + (s.hiddenRowid ? s.key[k].first : Quoted(s.key[k].first)) + " IS ?";
    }
    sql += " RETURNING " + returning;

    Stmt stmt = Prepare(db, sql);
    int index = 1;
    for (std::size_t i : written)
        Bind(db, stmt.get(), index++, row[i], s.types[i]);
    if (!inserting)
        for (const auto& [column, at] : s.key)
            Bind(db, stmt.get(), index++, oldRow[at], at < fieldCount ? s.types[at] : ftInteger);

    std::vector<TFieldValue> result = row;
    WriteInTransaction(db, stmt.get(), !inserting, [&](sqlite3_stmt* returned) {
        for (std::size_t c = 0; c < returnedInto.size(); ++c)
            result[returnedInto[c]] = ReadColumn(returned, static_cast<int>(c));
    });
    row = std::move(result);
}

void TSQLiteDataSet::InternalDelete(const std::vector<TFieldValue>& row)
{
    SQLiteState& s = *sqlite_;
    sqlite3* db = s.db.get();
    std::string sql = "DELETE FROM " + Quoted(s.table) + " WHERE ";
    for (std::size_t k = 0; k < s.key.size(); ++k)
        sql += (k ? " AND " : "") + (s.hiddenRowid ? s.key[k].first : Quoted(s.key[k].first)) + " IS ?";
    Stmt stmt = Prepare(db, sql);
    int index = 1;
    for (const auto& [column, at] : s.key)
        Bind(db, stmt.get(), index++, row[at], at < s.origin.size() ? s.types[at] : ftInteger);
    // A row another connection deleted already is gone either way.
    WriteInTransaction(db, stmt.get(), false, [](sqlite3_stmt*) {});
}

} // namespace qb
