#include "csv.h"
#include "db_fixture.h"

#include <fstream>

using namespace qb;

namespace {

using Records = std::vector<std::vector<std::string>>;

TEST(Csv, ParsesQuotingAndLineEnds)
{
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> header;
        Records records;
    };
    const Case cases[] = {
        {"plain LF", "a,b\n1,2\n3,4\n", {"a", "b"}, {{"1", "2"}, {"3", "4"}}},
        {"CRLF, no final line end", "a,b\r\n1,2\r\n3,4", {"a", "b"}, {{"1", "2"}, {"3", "4"}}},
        {"quoted comma and doubled quote", "a,b\n\"x,y\",\"say \"\"hi\"\"\"\n", {"a", "b"}, {{"x,y", "say \"hi\""}}},
        {"newlines inside quotes kept as written", "a,b\r\n\"1\r\n2\",\"3\n4\"\r\n", {"a", "b"}, {{"1\r\n2", "3\n4"}}},
        {"empty fields, quoted and not", "a,b,c\n,\"\",\n", {"a", "b", "c"}, {{"", "", ""}}},
        {"empty lines skipped", "a\n\n1\r\n\r\n2\n\n", {"a"}, {{"1"}, {"2"}}},
        {"byte-order mark skipped", "\xEF\xBB\xBFname\nx\n", {"name"}, {{"x"}}},
        {"spaces and bytes above 127 kept", "a\n \xC3\xA9 \n", {"a"}, {{" \xC3\xA9 "}}},
        {"header only", "a,b\n", {"a", "b"}, {}},
    };
    for (const Case& c : cases) {
        qb::db::CsvTable table = qb::db::ParseCsv(c.text, "t.csv");
        EXPECT_EQ(table.header, c.header) << c.name;
        EXPECT_EQ(table.records, c.records) << c.name;
    }
}

TEST(Csv, MalformedTextNamesTheLine)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", "t.csv, line 1: no header row"},
        {"a,b\n1,2\n\"3,4\n5,6\n", "t.csv, line 3: unterminated quoted field 1"},
        {"a,b\n1,\"multi\nline\",3\n", "t.csv, line 2: 3 fields where the header has 2"},
        {"a,b\n\"x\ny\"\n", "t.csv, line 2: 1 fields where the header has 2"},
        {"a,b\n1,2\nab\"c,d\n", "t.csv, line 3: stray quote in field 1"},
        {"a,b\n\"q\"x,1\n", "t.csv, line 2: text after the closing quote of field 1"},
        {"a,,c\n", "t.csv, line 1: empty field name in column 2"},
        {"Code,name,CODE\n", "t.csv, line 1: duplicate field name 'CODE'"},
        {"a,b\n1,2\n3,4,\n", "t.csv, line 3: 3 fields where the header has 2"},
    };
    for (const auto& [text, message] : cases)
        EXPECT_EQ(dbtest::MessageOf([&] { qb::db::ParseCsv(text, "t.csv"); }), message) << text;
}

TEST(Csv, LoadsIntoMemDataSetAsTextFields)
{
    dbtest::TempDir dir;
    std::string path = dir.File("p.csv");
    std::ofstream(path, std::ios::binary) << "code,name\r\n590123412345,\"Apple, red\"\r\n400638133393,Pear\r\n";
    TMemDataSet data(nullptr);
    data.LoadFromCsvFile(path);
    ASSERT_TRUE(data.Active());
    EXPECT_EQ(data.RecordCount(), 2);
    EXPECT_EQ(data.FieldByName("CODE")->DataType(), ftString);
    EXPECT_EQ(data.FieldByName("name")->AsString(), "Apple, red");
    data.Next();
    EXPECT_EQ(data.FieldByName("code")->AsString(), "400638133393");

    // A malformed file leaves the loaded rows as they were.
    std::ofstream(path, std::ios::binary) << "code,name\n1\n";
    EXPECT_EQ(dbtest::MessageOf([&] { data.LoadFromCsvFile(path); }),
              path + ", line 2: 1 fields where the header has 2");
    EXPECT_EQ(data.RecordCount(), 2);
    EXPECT_EQ(dbtest::MessageOf([&] { data.LoadFromCsvFile(dir.File("missing.csv")); }),
              "Cannot open file '" + dir.File("missing.csv") + "'");
    EXPECT_EQ(dbtest::MessageOf([&] { data.LoadFromCsvFile(dir.File("")); }),
              "Cannot open file '" + dir.File("") + "': it is a folder");
}

} // namespace
