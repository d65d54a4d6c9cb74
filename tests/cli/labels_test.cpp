// qbarcode labels end to end: label sheets from SQLite tables, queries and
// CSV files, read back with an independent reader from the rendered pages.
#include "support/files.h"
#include "support/reader.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <sys/wait.h>

using namespace qb;

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status;
    std::string out, err;
};

Outcome Labels(const std::string& args)
{
    static int counter = 0;
    const fs::path dir = fs::temp_directory_path();
    const std::string tag = std::to_string(::getpid()) + "-" + std::to_string(counter++);
    const fs::path out = dir / ("qb-labels-out-" + tag), err = dir / ("qb-labels-err-" + tag);
    const std::string cmd =
        std::string(QBARCODE_BIN) + " labels " + args + " </dev/null >" + out.string() + " 2>" + err.string();
    const int raw = std::system(cmd.c_str());
    Outcome r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, testsupport::ReadFile(out), testsupport::ReadFile(err)};
    fs::remove(out), fs::remove(err);
    return r;
}

class Folder {
public:
    Folder() : path_(fs::temp_directory_path() / ("qb-labels-" + std::to_string(::getpid())))
    {
        fs::create_directories(path_);
    }
    ~Folder() { fs::remove_all(path_); }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    std::size_t Count() const { return std::distance(fs::directory_iterator(path_), fs::directory_iterator()); }

private:
    fs::path path_;
};

void Sql(const std::string& db, const std::string& statements)
{
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &handle), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(handle, statements.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(handle);
    ASSERT_EQ(rc, SQLITE_OK) << message;
}

// A page of a PDF rendered in grey at `dpi` pixels per inch.
struct Page {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;

    // The reader's view of a rectangle of the page (in millimetres).
    testsupport::Decoded Read(double leftMm, double topMm, double widthMm, double heightMm, int dpi) const
    {
        const int x0 = static_cast<int>(leftMm / 25.4 * dpi), y0 = static_cast<int>(topMm / 25.4 * dpi);
        const int w = std::min(static_cast<int>(widthMm / 25.4 * dpi), width - x0);
        const int h = std::min(static_cast<int>(heightMm / 25.4 * dpi), height - y0);
        std::vector<const std::uint32_t*> rows;
        for (int y = y0; y < y0 + h; ++y)
            rows.push_back(pixels.data() + static_cast<std::size_t>(y) * width + x0);
        return testsupport::ReadLinear(rows.data(), w, h);
    }

    bool Dark(int x, int y) const { return (pixels[static_cast<std::size_t>(y) * width + x] & 0xFF) < 128; }
};

Page RenderPage(const std::string& pdf, int page, int dpi)
{
    const std::string base = pdf + "-page";
    testsupport::RunCommand("pdftoppm -gray -r " + std::to_string(dpi) + " -f " + std::to_string(page) + " -l " +
                            std::to_string(page) + " -singlefile " + pdf + " " + base);
    const std::string pgm = testsupport::ReadFile(base + ".pgm");
    fs::remove(base + ".pgm");
    Page p;
    // "P5\n<width> <height>\n255\n" and one byte per pixel.
    int maxValue = 0, used = 0;
    if (std::sscanf(pgm.c_str(), "P5 %d %d %d%n", &p.width, &p.height, &maxValue, &used) != 3)
        return {};
    const std::size_t start = static_cast<std::size_t>(used) + 1;
    for (std::size_t i = 0; i < static_cast<std::size_t>(p.width) * p.height && start + i < pgm.size(); ++i) {
        const std::uint32_t g = static_cast<unsigned char>(pgm[start + i]);
        p.pixels.push_back(0xFF000000u | g << 16 | g << 8 | g);
    }
    return p;
}

int PageCount(const std::string& pdf)
{
    const std::string info = testsupport::RunCommand("pdfinfo " + pdf);
    const auto at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::stoi(info.substr(at + 6));
}

bool HavePoppler()
{
    return !testsupport::RunCommand("command -v pdftoppm pdfinfo").empty();
}

// The twelve digits of record `i` of the big table.
std::string CodeOf(int i)
{
    char code[16];
    std::snprintf(code, sizeof code, "4%011d", i * 7919 % 100000000 + i);
    return code;
}

// Over ten thousand records, every label of a sample of pages (the first,
// one in the middle and the last) reads back as its record's code; the
// records the symbology refuses are reported by number, skipped and counted.
TEST(Labels, EveryLabelOfSampledPagesReadsBackAsItsRecord)
{
    if (!HavePoppler())
        GTEST_SKIP() << "pdftoppm not installed";
    Folder dir;
    const std::string db = dir / "products.db", pdf = dir / "labels.pdf";
    constexpr int kRecords = 10050;
    std::string insert = "CREATE TABLE products (id INTEGER PRIMARY KEY, code TEXT, name TEXT);"
                         "BEGIN;";
    std::vector<std::string> printed; // the codes that get a label, in order
    std::string expectedErrors;
    for (int i = 1; i <= kRecords; ++i) {
        // Every 1000th record holds a code EAN-13 cannot take.
        const bool bad = i % 1000 == 0;
        const std::string code = bad ? "X" + std::to_string(i) : CodeOf(i);
        insert += "INSERT INTO products (code, name) VALUES ('" + code + "', 'Product " + std::to_string(i) + "');";
        if (bad)
            expectedErrors += "record " + std::to_string(i) + ": " + code + ": Barcode must be numeric.\n";
        else
            printed.push_back(code);
    }
    Sql(db, insert + "COMMIT;");

    const Outcome r = Labels("--db " + db +
                             " --table products --field code --caption-field name --type ean13 "
                             "--checksum --layout a4-3x8 -o " +
                             pdf);
    ASSERT_EQ(r.status, 0) << r.err.substr(0, 500);
    const int pages = (static_cast<int>(printed.size()) + 23) / 24;
    EXPECT_EQ(r.err, expectedErrors + std::to_string(printed.size()) + " labels on " + std::to_string(pages) +
                         " pages, 10 records skipped\n");
    EXPECT_EQ(PageCount(pdf), pages);

    constexpr int kDpi = 200;
    for (int page : {1, pages / 2, pages}) {
        SCOPED_TRACE(page);
        const Page rendered = RenderPage(pdf, page, kDpi);
        ASSERT_GT(rendered.width, 0);
        for (int slot = 0; slot < 24; ++slot) {
            const std::size_t index = static_cast<std::size_t>(page - 1) * 24 + slot;
            if (index >= printed.size())
                break;
            const double left = slot % 3 * 70.0, top = 0.5 + slot / 3 * 37.0;
            const testsupport::Decoded d = rendered.Read(left, top, 70, 37, kDpi);
            ASSERT_TRUE(d.found) << "slot " << slot;
            EXPECT_EQ(d.format, "EAN-13");
            EXPECT_EQ(d.text.substr(0, 12), printed[index]) << "slot " << slot;
        }
    }
}

// The barcode with its name under it sits in the middle of its label.
TEST(Labels, TheDrawingIsCentredInItsLabel)
{
    if (!HavePoppler())
        GTEST_SKIP() << "pdftoppm not installed";
    Folder dir;
    const std::string csv = dir / "one.csv", pdf = dir / "one.pdf";
    std::ofstream(csv) << "code,name\nCENTRED,Name\n";
    const Outcome r =
        Labels("--csv " + csv +
               " --field code --caption-field name --type code128b --caption none "
               "--columns 1 --rows 1 --label-width 100 --label-height 50 --margin-left 20 --margin-top 30 "
               "--dpi 300 -o " +
               pdf);
    ASSERT_EQ(r.status, 0) << r.err;
    constexpr int kDpi = 100; // one pixel per 0.254 mm
    const Page page = RenderPage(pdf, 1, kDpi);
    ASSERT_GT(page.width, 0);
    int left = page.width, right = -1, top = page.height, bottom = -1;
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x)
            if (page.Dark(x, y)) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    ASSERT_GE(right, 0);
    const double px = 25.4 / kDpi;
    // The label spans 20 to 120 mm across and 30 to 80 mm down.
    EXPECT_NEAR((left + right + 1) / 2.0 * px, 70.0, 1.0);
    EXPECT_NEAR((top + bottom + 1) / 2.0 * px, 55.0, 1.0);
    EXPECT_EQ(page.Read(20, 30, 100, 50, kDpi).text, "CENTRED");
}

// A query (its columns read-only: expressions of a view), a table without
// rowid and CSV files feed the labels as a table does; --where and --limit
// narrow the records.
TEST(Labels, QueriesViewsAndCsvFilesFeedTheLabels)
{
    if (!HavePoppler())
        GTEST_SKIP() << "pdftoppm not installed";
    Folder dir;
    const std::string db = dir / "shop.db";
    Sql(db, "CREATE TABLE items (id INTEGER PRIMARY KEY, sku TEXT, price REAL);"
            "INSERT INTO items (sku, price) VALUES ('A-1', 1.5), ('B-2', 9.0), ('C-3', 2.5), ('D-4', 7.0);"
            "CREATE VIEW tagged AS SELECT 'SKU ' || sku AS tag, price FROM items;"
            "CREATE TABLE shelf (sku TEXT PRIMARY KEY, place TEXT) WITHOUT ROWID;"
            "INSERT INTO shelf VALUES ('S-2', 'top'), ('S-1', 'low');");
    std::ofstream(dir / "items.csv") << "sku,title\n\"Q,1\",\"A \"\"quoted\"\" name\"\nR-2,Plain\nS-3,Third\n";
    struct Case {
        std::string data;
        std::vector<std::string> labels; // what the labels of the first row read
        const char* summary;
    };
    const Case cases[] = {
        {"--db " + db + " --sql \"SELECT 'X' || id AS code FROM items ORDER BY id DESC LIMIT 3;\" --field code",
         {"X4", "X3", "X2"},
         "3 labels on 1 page, 0 records skipped\n"},
        {"--db " + db + " --sql \"SELECT sku FROM items\" --limit 2 --field sku",
         {"A-1", "B-2"},
         "2 labels on 1 page, 0 records skipped\n"},
        {"--db " + db + " --table tagged --where \"price > 2\" --field tag",
         {"SKU B-2", "SKU C-3", "SKU D-4"},
         "3 labels on 1 page, 0 records skipped\n"},
        {"--db " + db + " --table items --where \"price > 2\" --limit 2 --field sku",
         {"B-2", "C-3"},
         "2 labels on 1 page, 0 records skipped\n"},
        {"--db " + db + " --table shelf --field sku --caption-field place",
         {"S-1", "S-2"},
         "2 labels on 1 page, 0 records skipped\n"},
        {"--csv " + dir / "items.csv --field sku", {"Q,1", "R-2", "S-3"}, "3 labels on 1 page, 0 records skipped\n"},
        {"--csv " + dir / "items.csv --limit 1 --field sku", {"Q,1"}, "1 label on 1 page, 0 records skipped\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data);
        const std::string pdf = dir / "q.pdf";
        const Outcome r = Labels(c.data + " --type code128b -o " + pdf);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, c.summary);
        const Page page = RenderPage(pdf, 1, 200);
        for (std::size_t i = 0; i < c.labels.size(); ++i)
            EXPECT_EQ(page.Read(i * 70.0, 0.5, 70, 37, 200).text, c.labels[i]) << i;
    }
}

// Whatever goes wrong before the job ends leaves no file behind: the
// database's own message, a record the symbology refuses under --strict, a
// sheet that does not fit its paper.
TEST(Labels, FailuresSayWhyAndLeaveNoFile)
{
    Folder dir;
    const std::string db = dir / "shop.db", out = dir / "never.pdf";
    Sql(db, "CREATE TABLE items (id INTEGER PRIMARY KEY, code TEXT, name TEXT);"
            "INSERT INTO items (code, name) VALUES ('590123412345', 'ok'), ('12A', 'bad'), ('400638133393', 'ok');");
    std::ofstream(dir / "items.csv") << "code\n1\n";
    struct Case {
        std::string args;
        int status;
        std::string err; // exact standard error; empty: only the status is checked
    };
    const Case cases[] = {
        {"--db " + dir / "missing.db" + " --table items --field code", 1,
         "Cannot open database \"" + dir / "missing.db" + "\": unable to open database file\n"},
        {"--db " + dir / "" + " --table items --field code", 1,
         "Cannot open database \"" + dir / "" + "\": it is a folder\n"},
        {"--csv " + dir / "" + " --field code", 1, "Cannot open file '" + dir / "" + "': it is a folder\n"},
        {"--db " + db + " --sql \"DELETE FROM items\" --field code", 1, "Only a query that reads can open a dataset\n"},
        {"--db " + db + " --table items --field code --limit -1", 2,
         "--limit: a number of records is 0 or more\nRun with --help for more information.\n"},
        {"--db " + db + " --table nosuch --field code", 1, "no such table: nosuch\n"},
        {"--db " + db + " --table items --field nosuch", 1, "no such column: nosuch\n"},
        {"--db " + db + " --table items --field code --caption-field nosuch", 1, "no such column: nosuch\n"},
        {"--db " + db + " --sql \"SELEC code FROM items\" --field code", 1, "near \"SELEC\": syntax error\n"},
        {"--db " + db + " --sql \"SELECT code FROM items\" --field name", 1, "Field 'name' not found\n"},
        {"--db " + db + " --sql \"SELECT code FROM items\" --where 1 --field code", 2, ""},
        {"--db " + db + " --table items --where \"1); DELETE FROM items; --\" --field code", 1, ""},
        {"--csv " + dir / "items.csv" + " --field nosuch", 1, "Field 'nosuch' not found\n"},
        {"--db " + db + " --table items --field code --strict", 1, "record 2: 12A: Barcode must be numeric.\n"},
        {"--db " + db + " --table items --field code --where \"code = '12A'\"", 1,
         "record 1: 12A: Barcode must be numeric.\n0 labels on 0 pages, 1 record skipped\n"
         "Nothing to print: no record gave a label\n"},
        {"--db " + db + " --table items --field code --modul 2", 1,
         "record 1: the barcode (189 x 15 mm) does not fit the label (70 x 37 mm)\n"},
        {"--db " + db + " --table items --field code --columns 4", 2, ""},
        {"--db " + db + " --table items --field code --layout nosuch", 2, ""},
        {"--db " + db + " --field code", 2, ""},
        {"--db " + db + " --table items --sql \"SELECT 1\" --field code", 2, ""},
        {"--csv " + dir / "items.csv", 2, ""},
    };
    for (const Case& c : cases) {
        const Outcome r = Labels(c.args + " --type ean13 --checksum -o " + out);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        if (!c.err.empty()) {
            EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << c.args;
        }
        EXPECT_FALSE(fs::exists(out)) << c.args;
    }
    // The database was only read.
    EXPECT_EQ(testsupport::RunCommand("sqlite3 " + db + " 'SELECT count(*) FROM items'"), "3\n");
    EXPECT_EQ(dir.Count(), 2u); // the database and the CSV file
}

// A record without a text to encode, or whose check digit is wrong, is
// skipped with its reason and counted; a short number gets its check digit
// on its own label only, so that a full-length one after it keeps its own.
TEST(Labels, RecordsWithoutAGoodTextAreSkippedWithTheirReason)
{
    Folder dir;
    const std::string db = dir / "codes.db", pdf = dir / "codes.pdf";
    Sql(db, "CREATE TABLE codes (id INTEGER PRIMARY KEY, code TEXT, picture BLOB);"
            "INSERT INTO codes (code, picture) VALUES ('590123412345', x'31'), ('4006381333931', NULL), (NULL, NULL),"
            "('', NULL), ('  ', NULL), ('5901234123458', NULL);");
    const Outcome r = Labels("--db " + db + " --table codes --field code --type ean13 -o " + pdf);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "record 3: NULL\nrecord 4: empty\nrecord 5: blank\n"
                     "record 6: 5901234123458: check digit should be 7\n2 labels on 1 page, 4 records skipped\n");
    const Outcome blob = Labels("--db " + db + " --table codes --field picture --type ean13 --limit 1 -o " + pdf);
    EXPECT_EQ(blob.err, "record 1: not text (BLOB)\n0 labels on 0 pages, 1 record skipped\n"
                        "Nothing to print: no record gave a label\n");
    // --verbatim hands every text to the control as it is.
    const Outcome verbatim = Labels("--db " + db + " --table codes --field code --type ean13 --verbatim -o " + pdf);
    EXPECT_EQ(verbatim.err, "6 labels on 1 page, 0 records skipped\n");
    if (!HavePoppler())
        GTEST_SKIP() << "pdftoppm not installed";
    ASSERT_EQ(Labels("--db " + db + " --table codes --field code --type ean13 -o " + pdf).status, 0);
    const Page page = RenderPage(pdf, 1, 200);
    EXPECT_EQ(page.Read(0, 0.5, 70, 37, 200).text, "5901234123457");
    EXPECT_EQ(page.Read(70, 0.5, 70, 37, 200).text, "4006381333931");
}

TEST(Labels, ListsItsLayoutsWithTheirSizes)
{
    const Outcome mm = Labels("--list-layouts");
    EXPECT_EQ(mm.status, 0);
    EXPECT_NE(mm.out.find("a4-3x8       a4      3 x 8   70 x 37 mm"), std::string::npos) << mm.out;
    EXPECT_NE(mm.out.find("letter-3x10  letter  3 x 10  66.675 x 25.4 mm"), std::string::npos) << mm.out;
    const Outcome in = Labels("--list-layouts --units in");
    EXPECT_NE(in.out.find("letter-3x10  letter  3 x 10  2.625 x 1 in"), std::string::npos) << in.out;
}

} // namespace
