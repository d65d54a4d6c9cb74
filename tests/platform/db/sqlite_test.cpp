// What only the SQLite dataset does: opening errors, read-only columns, write-back
// failures that must leave both the stored row and the edited record alone, and
// durability when the writing process dies.
#include "db_fixture.h"
#include "rowstore.h"

#include <csignal>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace qb;

namespace {

using dbtest::MessageOf;

class SQLiteTest : public testing::Test {
protected:
    void SetUp() override { dbtest::Connection(path_).Exec(dbtest::kProductsSql); }

    std::unique_ptr<TSQLiteDataSet> Table(const std::string& table)
    {
        auto data = std::make_unique<TSQLiteDataSet>(nullptr);
        data->SetDatabaseName(path_);
        data->SetTableName(table);
        return data;
    }
    std::unique_ptr<TSQLiteDataSet> Query(const std::string& sql)
    {
        auto data = std::make_unique<TSQLiteDataSet>(nullptr);
        data->SetDatabaseName(path_);
        data->SetSQL(sql);
        return data;
    }
    std::string Stored(const std::string& sql) { return dbtest::Connection(path_).Query(sql); }

    dbtest::TempDir dir_;
    std::string path_ = dir_.File("p.db");
};

TEST_F(SQLiteTest, OpeningFailuresCarrySQLiteMessages)
{
    std::ofstream(dir_.File("text.db")) << "this is not a database file, just some text long enough to be read";
    struct Case {
        std::string database, table, sql, message;
    };
    const Case cases[] = {
        {dir_.File("missing.db"), "products", "",
         "Cannot open database \"" + dir_.File("missing.db") + "\": unable to open database file"},
        {dir_.File(""), "products", "", "Cannot open database \"" + dir_.File("") + "\": it is a folder"},
        {dir_.File("text.db"), "products", "", "file is not a database"},
        {path_, "nope", "", "no such table: nope"},
        {path_, "", "SELEC code FROM products", "near \"SELEC\": syntax error"},
        {path_, "", "SELECT nope FROM products", "no such column: nope"},
        {path_, "", "DELETE FROM products", "Only a query that reads can open a dataset"},
        {path_, "", "SELECT 1; SELECT 2", "The query holds more than one statement"},
        {path_, "", "  -- nothing\n", "The query is empty"},
        {"", "products", "", "No database file name"},
    };
    for (const Case& c : cases) {
        TSQLiteDataSet data(nullptr);
        data.SetDatabaseName(c.database);
        data.SetTableName(c.table);
        data.SetSQL(c.sql);
        EXPECT_EQ(MessageOf([&] { data.Open(); }), c.message) << c.sql << c.table;
        EXPECT_FALSE(data.Active());
    }
}

TEST_F(SQLiteTest, ColumnsThatCannotBeWrittenBackAreReadOnly)
{
    dbtest::Connection(path_).Exec(
        "CREATE VIEW cheap AS SELECT code, name FROM products WHERE price < 2;"
        "CREATE TABLE shelf (code TEXT PRIMARY KEY, place TEXT, label TEXT AS (code || '@' || place)) WITHOUT ROWID;"
        "INSERT INTO shelf (code, place) VALUES ('590123412345', 'A1');");
    struct Case {
        std::unique_ptr<TSQLiteDataSet> data;
        std::string readOnlyFields; // in field order, "-" for writable
        bool canModify;
    };
    Case cases[] = {
        {Table("products"), "----", true},
        {Table("cheap"), "RR", false},
        {Table("shelf"), "--R", true},
        {Query("SELECT id, code, upper(name) AS big FROM products"), "--R", true},
        {Query("SELECT code, name FROM products"), "RR", false}, // no key: rows cannot be found again
        {Query("SELECT p.id, p.code, s.place FROM products p JOIN shelf s ON s.code = p.code"), "RRR", false},
    };
    for (Case& c : cases) {
        c.data->Open();
        std::string flags;
        for (int i = 0; i < c.data->FieldCount(); ++i)
            flags += c.data->Fields(i)->ReadOnly() ? "R" : "-";
        EXPECT_EQ(flags, c.readOnlyFields) << c.data->SQL() << c.data->TableName();
        EXPECT_EQ(c.data->CanModify(), c.canModify) << c.data->SQL() << c.data->TableName();
    }

    // A query's writable columns go back to their table; the computed one refuses.
    auto query = Query("SELECT id, code, upper(name) AS big FROM products WHERE price > :min");
    query->SetParam(":min", 2.0);
    query->Open();
    ASSERT_EQ(query->RecordCount(), 1);
    EXPECT_EQ(query->FieldByName("big")->AsString(), "PEAR");
    query->Edit();
    EXPECT_EQ(MessageOf([&] { query->FieldByName("big")->SetText("x"); }), "Field 'big' cannot be modified");
    query->FieldByName("code")->SetText("111");
    query->Post();
    EXPECT_EQ(Stored("SELECT code FROM products WHERE id = 2"), "111");

    // A generated column shows what the database computed after the write.
    auto shelf = Table("shelf");
    shelf->Open();
    shelf->Edit();
    shelf->FieldByName("place")->SetText("B7");
    shelf->Post();
    EXPECT_EQ(shelf->FieldByName("label")->AsString(), "590123412345@B7");
}

TEST_F(SQLiteTest, InsertTakesTheKeyAndDefaultsTheDatabaseGives)
{
    dbtest::Connection(path_).Exec("CREATE TABLE tags (id INTEGER PRIMARY KEY, tag TEXT, n INTEGER DEFAULT 7)");
    auto data = Table("tags");
    data->Open();
    for (const char* tag : {"one", "two"}) {
        data->Append();
        data->FieldByName("tag")->SetText(tag);
        data->Post();
    }
    EXPECT_EQ(data->FieldByName("id")->AsInteger(), 2);
    EXPECT_EQ(data->FieldByName("n")->AsInteger(), 7);
    // The new row is found again by its key: an edit right after the insert reaches it.
    data->Edit();
    data->FieldByName("tag")->SetText("TWO");
    data->Post();
    EXPECT_EQ(Stored("SELECT tag FROM tags ORDER BY id"), "one|TWO");
}

// Each way SQLite can refuse a post: the message is SQLite's, the stored row and
// the record being edited stay as they were, and the dataset stays in edit state.
TEST_F(SQLiteTest, RefusedPostLeavesStoredRowAndEditedRecord)
{
    dbtest::Connection(path_).Exec("CREATE TRIGGER no_plums BEFORE UPDATE ON products WHEN NEW.name = 'Plum!' "
                                   "BEGIN SELECT RAISE(ABORT, 'plums are not for sale'); END;");
    struct Case {
        const char* field;
        const char* text;
        std::string message;
        std::function<void(dbtest::Connection&)> other; // what a second connection holds meanwhile
    };
    const Case cases[] = {
        {"code", "400638133393", "UNIQUE constraint failed: products.code", nullptr},
        {"name", "Plum!", "plums are not for sale", nullptr},
        {"name", "Locked", "database is locked", [](dbtest::Connection& c) { c.Exec("BEGIN EXCLUSIVE"); }},
        // The update runs, but the commit cannot wait out a reader: it is rolled back.
        {"name", "Read", "database is locked",
         [](dbtest::Connection& c) { c.Exec("BEGIN; SELECT count(*) FROM products"); }},
        {"name", "Reserved", "database is locked",
         [](dbtest::Connection& c) { c.Exec("BEGIN IMMEDIATE; UPDATE products SET price = 9 WHERE id = 3"); }},
    };
    for (const Case& c : cases) {
        auto data = Table("products");
        data->SetBusyTimeout(50);
        data->Open();
        data->Edit();
        data->FieldByName(c.field)->SetText(c.text);
        const std::string before = Stored("SELECT code || ' ' || name FROM products WHERE id = 1");
        dbtest::Connection other(path_);
        if (c.other)
            c.other(other);
        EXPECT_EQ(MessageOf([&] { data->Post(); }), c.message) << c.text;
        EXPECT_EQ(data->State(), dsEdit) << c.text;
        EXPECT_EQ(data->FieldByName(c.field)->AsString(), c.text) << c.text;
        other.Exec(c.other ? "ROLLBACK" : "SELECT 1");
        EXPECT_EQ(Stored("SELECT code || ' ' || name FROM products WHERE id = 1"), before) << c.text;
        if (c.other) { // once the other connection lets go, the same post succeeds
            data->Post();
            EXPECT_EQ(Stored("SELECT name FROM products WHERE id = 1"), c.text);
        } else { // the record as it was before the edit comes back
            data->Cancel();
            EXPECT_EQ(data->FieldByName("code")->AsString() + " " + data->FieldByName("name")->AsString(), before);
        }
    }
}

TEST_F(SQLiteTest, EditOfARowDeletedMeanwhileIsRefusedNotLost)
{
    auto data = Table("products");
    data->Open();
    dbtest::Connection(path_).Exec("DELETE FROM products WHERE id = 1");
    data->Edit();
    data->FieldByName("name")->SetText("Ghost");
    EXPECT_EQ(MessageOf([&] { data->Post(); }), "Record not found: it was deleted by another connection");
    EXPECT_EQ(data->State(), dsEdit);
    EXPECT_EQ(Stored("SELECT count(*) FROM products"), "2");
    data->Cancel();
    data->Delete(); // deleting it is no error: it is gone either way
    EXPECT_EQ(data->RecordCount(), 2);
}

TEST_F(SQLiteTest, KilledWriterLeavesEveryCommittedRow)
{
    dbtest::Connection(path_).Exec("CREATE TABLE log (seq INTEGER NOT NULL, payload TEXT)");
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(report[0]);
        try {
            auto data = Table("log");
            data->Open();
            for (int seq = 1;; ++seq) {
                data->Append();
                data->FieldByName("seq")->SetAsInteger(seq);
                data->FieldByName("payload")->SetText(std::string(4000, 'x'));
                data->Post();
                if (write(report[1], &seq, sizeof seq) != sizeof seq)
                    _exit(2);
            }
        } catch (...) {
            _exit(3);
        }
    }
    close(report[1]);
    int committed = 0, seq = 0;
    while (committed < 40 && read(report[0], &seq, sizeof seq) == sizeof seq)
        committed = seq;
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    while (read(report[0], &seq, sizeof seq) == sizeof seq)
        committed = seq;
    close(report[0]);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << status;
    ASSERT_GE(committed, 40);

    EXPECT_EQ(Stored("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(Stored("SELECT count(DISTINCT seq) FROM log WHERE seq <= " + std::to_string(committed)),
              std::to_string(committed));
    auto data = Table("log");
    data->Open();
    EXPECT_GE(data->RecordCount(), committed);
}

TEST_F(SQLiteTest, RowsAreStoredCompactly)
{
    dbtest::Connection(path_).Exec("CREATE TABLE big (n INTEGER, code TEXT, name TEXT);"
                                   "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 100000) "
                                   "INSERT INTO big SELECT n, printf('%013d', n), 'Product ' || n FROM c;");
    auto data = Table("big");
    data->Open();
    ASSERT_EQ(data->RecordCount(), 100000);
    data->MoveBy(99998);
    EXPECT_EQ(data->FieldByName("code")->AsString(), "0000000099999");
    EXPECT_EQ(data->FieldByName("name")->AsString(), "Product 99999");

    // The same rows in the store: each row's bytes plus one offset (and the
    // arena's growth), far below a vector of variants per row (about 250 bytes).
    qb::db::RowStore store;
    for (long long n = 1; n <= 100000; ++n)
        store.Append({n, std::string(13, '0'), "Product " + std::to_string(n), n});
    EXPECT_LT(store.Capacity(), 100000u * 100);
}

} // namespace
