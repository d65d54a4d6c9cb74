// The SQLite dataset's forward-only mode: every record read once, in order,
// in windows of rows; what others write meanwhile; and what it refuses.
#include "db_fixture.h"

namespace {

using dbtest::MessageOf;

// Rowids with gaps and below zero; the codes name them.
const char* kItemsSql = "CREATE TABLE items (id INTEGER PRIMARY KEY, code TEXT, price REAL);"
                        "INSERT INTO items VALUES (-5, 'c-5', 1), (1, 'c1', 9), (2, 'c2', 3), (4, 'c4', 1),"
                        "(7, 'c7', 8), (8, 'c8', 2), (9, 'c9', 6);"
                        "CREATE TABLE shelf (code TEXT PRIMARY KEY, place TEXT) WITHOUT ROWID;"
                        "INSERT INTO shelf VALUES ('s3', 'A'), ('s1', 'B'), ('s2', 'C');"
                        "CREATE VIEW cheap AS SELECT code FROM items WHERE price < 5;";

class ForwardOnlyTest : public testing::Test {
protected:
    void SetUp() override
    {
        dbtest::Connection(path_).Exec(kItemsSql);
        data_.SetName("Items");
        data_.SetDatabaseName(path_);
        data_.SetForwardOnly(true);
        data_.SetWindowRows(2);
        source_.SetDataSet(&data_);
        link_.SetDataSource(&source_);
        link_.SetFieldName("code");
        link_.OnDataChange = TNotifyEvent([this](TObject*) {
            if (link_.Field())
                shown_.push_back(link_.Field()->AsString());
        });
    }

    // Reads to the end: the records as the link saw them, joined by '|'. Every
    // step holds at most a window of rows and counts its record on.
    std::string ReadAll()
    {
        std::string codes;
        for (int recNo = data_.RecNo(); !data_.Eof(); ++recNo) {
            if (data_.ForwardOnly()) {
                EXPECT_LE(data_.RecordCount(), data_.WindowRows());
            }
            EXPECT_EQ(data_.RecNo(), recNo);
            codes += (codes.empty() ? "" : "|") + shown_.back();
            data_.Next();
        }
        return codes;
    }

    dbtest::TempDir dir_;
    std::string path_ = dir_.File("items.db");
    TSQLiteDataSet data_{nullptr};
    TDataSource source_{nullptr};
    TFieldDataLink link_;
    std::vector<std::string> shown_;
};

TEST_F(ForwardOnlyTest, ReadsEveryRecordOnceInOrderWindowByWindow)
{
    struct Case {
        const char* name;
        std::string table, sql, where;
        long long limit;
        std::string codes;
        long long total;
    };
    const Case cases[] = {
        {"a table, in rowid order", "items", "", "", -1, "c-5|c1|c2|c4|c7|c8|c9", 7},
        {"a condition", "items", "", "price > 2", -1, "c1|c2|c7|c9", 4},
        {"a condition's parameter", "items", "", "price > :min", -1, "c1|c7|c9", 3},
        {"a limit", "items", "", "price > 2", 3, "c1|c2|c7", 3},
        {"a limit of nothing", "items", "", "", 0, "", 0},
        // Read again from the start, the rows would repeat without end.
        {"a condition that escapes its parentheses", "items", "", "1) OR (1", -1, "c-5|c1", 7},
        {"a table without rowid, by its key", "shelf", "", "", -1, "s1|s2|s3", 3},
        {"a view", "cheap", "", "", -1, "c-5|c2|c4|c8", 4},
        {"a query, in its own order", "", "SELECT code FROM items ORDER BY price DESC, id", "", -1,
         "c1|c7|c9|c2|c8|c-5|c4", 7},
        {"a query with a limit", "", "SELECT code FROM items ORDER BY id DESC", "", 3, "c9|c8|c7", 3},
        {"a query within one window", "", "SELECT code FROM items WHERE id > 7", "", -1, "c8|c9", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        data_.Close();
        shown_.clear();
        data_.SetTableName(c.table);
        data_.SetSQL(c.sql);
        data_.SetWhere(c.where);
        data_.ClearParams();
        if (c.where.find(":min") != std::string::npos)
            data_.SetParam(":min", 5);
        data_.SetColumns(c.table.empty() ? std::vector<std::string>{} : std::vector<std::string>{"code", "CODE"});
        data_.SetRecordLimit(c.limit);
        data_.Open();
        EXPECT_EQ(data_.FieldCount(), 1);
        EXPECT_EQ(data_.TotalRecordCount(), c.total);
        EXPECT_FALSE(data_.CanModify());
        EXPECT_EQ(ReadAll(), c.codes);
        EXPECT_TRUE(data_.Eof());

        // Read whole, the same columns, condition and limit give the same
        // records (a condition that escapes aside: there it is every row).
        data_.Close();
        data_.SetForwardOnly(false);
        data_.Open();
        EXPECT_EQ(data_.FieldCount(), 1);
        EXPECT_EQ(data_.RecordCount(), c.total);
        if (c.where.find(')') == std::string::npos) {
            EXPECT_EQ(ReadAll(), c.codes);
        }
        data_.Close();
        data_.SetForwardOnly(true);
    }
}

// Between windows a table is not held: others write at once (their
// connection does not wait), and the rows ahead are read as they are then.
// A query is read as it was at Open, also without holding the database.
TEST_F(ForwardOnlyTest, OthersWriteWhileATableOrAQueryIsRead)
{
    data_.SetTableName("items");
    data_.Open();
    dbtest::Connection other(path_);
    other.Exec("DELETE FROM items WHERE id IN (1, 4);"       // one held, one ahead
               "UPDATE items SET code = 'c7!' WHERE id = 7;" // ahead
               "INSERT INTO items VALUES (0, 'c0', 1);"      // behind the rows read
               "INSERT INTO items VALUES (10, 'c10', 1);");  // after the last
    EXPECT_EQ(ReadAll(), "c-5|c1|c2|c7!|c8|c9|c10");

    data_.Close();
    data_.SetTableName("");
    data_.SetSQL("SELECT code FROM items ORDER BY id");
    data_.Open();
    other.Exec("DELETE FROM items WHERE id > 2; INSERT INTO items VALUES (11, 'c11', 1)");
    EXPECT_EQ(ReadAll(), "c-5|c0|c2|c7!|c8|c9|c10");
    EXPECT_EQ(other.Query("SELECT group_concat(code, ' ') FROM items"), "c-5 c0 c2 c11");
}

// A window that cannot be read raises with the position where it was; once
// the lock is gone the reading goes on from there.
TEST_F(ForwardOnlyTest, AWindowThatCannotBeReadLeavesThePosition)
{
    data_.SetTableName("items");
    data_.SetBusyTimeout(20);
    data_.Open();
    data_.Next();
    dbtest::Connection other(path_);
    other.Exec("BEGIN EXCLUSIVE");
    EXPECT_EQ(MessageOf([&] { data_.Next(); }), "database is locked");
    EXPECT_EQ(data_.RecNo(), 2);
    EXPECT_FALSE(data_.Eof());
    EXPECT_EQ(shown_.back(), "c1");
    other.Exec("ROLLBACK");
    EXPECT_EQ(ReadAll(), "c1|c2|c4|c7|c8|c9");

    // A row that fails in the third window (windows c-5|c1, c2|c4, c7|c8):
    // Last stops on the second, and the link shows where it stopped.
    data_.Close();
    data_.SetWhere("abs(CASE WHEN id = 8 THEN -9223372036854775807 - 1 ELSE 1 END) > 0");
    data_.Open();
    EXPECT_EQ(MessageOf([&] { data_.Last(); }), "integer overflow");
    EXPECT_EQ(data_.RecNo(), 3);
    EXPECT_EQ(shown_.back(), "c2");
    data_.Next();
    EXPECT_EQ(MessageOf([&] { data_.Next(); }), "integer overflow");
    EXPECT_EQ(data_.RecNo(), 4);
    EXPECT_EQ(shown_.back(), "c4");
}

TEST_F(ForwardOnlyTest, RefusesWhatItCannotDo)
{
    struct Case {
        std::string table, where;
        std::vector<std::string> columns;
        std::string message;
    };
    const Case cases[] = {
        {"items", "1); DELETE FROM items; --", {}, "Items: The query holds more than one statement"},
        {"items", "", {"code", "nope"}, "no such column: nope"},
        {"nope", "", {"code"}, "no such table: nope"},
        {"items", "price > :max", {}, "Items: Parameter ':min' not found"},
    };
    data_.SetParam(":min", 5);
    for (const Case& c : cases) {
        data_.SetTableName(c.table);
        data_.SetWhere(c.where);
        data_.SetColumns(c.columns);
        EXPECT_EQ(MessageOf([&] { data_.Open(); }), c.message) << c.where;
        EXPECT_FALSE(data_.Active());
    }
    EXPECT_EQ(dbtest::Connection(path_).Query("SELECT count(*) FROM items"), "7");

    // Forwards only, and read-only; First while the first window is held.
    data_.SetWhere("");
    data_.SetColumns({});
    data_.Open();
    data_.Next();
    data_.First();
    EXPECT_EQ(data_.RecNo(), 1);
    data_.MoveBy(2);
    const std::string refused = "Items: Operation not allowed on a forward-only dataset";
    EXPECT_EQ(MessageOf([&] { data_.First(); }), refused);
    EXPECT_EQ(MessageOf([&] { data_.Prior(); }), refused);
    EXPECT_EQ(MessageOf([&] { data_.Refresh(); }), refused);
    EXPECT_EQ(MessageOf([&] { data_.Edit(); }), "Items: Cannot modify a read-only dataset");
    EXPECT_EQ(MessageOf([&] { data_.SetWindowRows(9); }), "Items: Cannot perform this operation on an open dataset");
    EXPECT_EQ(data_.RecNo(), 3);
    data_.Last();
    EXPECT_EQ(data_.RecNo(), 7);
    EXPECT_TRUE(data_.Eof());
    EXPECT_EQ(data_.FieldByName("code")->AsString(), "c9");
}

} // namespace
