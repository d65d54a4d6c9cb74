// The data-aware barcode control against both datasets: following a field,
// the run-time and design-time rules of its BarCode writer, writing back
// through Post, losing its data source, and loading from a form file.
#include "platform/db/db_fixture.h"
#include "qbarcode/pdbbarcode.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace qb;

namespace {

using dbtest::MessageOf;

enum class Kind { Memory, SQLite };

class DBBarcodeTest : public testing::TestWithParam<Kind> {
protected:
    void SetUp() override
    {
        if (GetParam() == Kind::Memory) {
            auto* mem = new TMemDataSet(&owner_);
            mem->AddFieldDef("id", ftInteger);
            mem->AddFieldDef("code", ftString);
            mem->AddFieldDef("label", ftString, true);
            mem->Open();
            mem->AppendRecord({1LL, "590123412345", "L590123412345"});
            mem->AppendRecord({2LL, "400638133393", "L400638133393"});
            mem->Close();
            data_ = mem;
        } else {
            dbtest::Connection(path_).Exec(dbtest::kProductsSql);
            auto* sql = new TSQLiteDataSet(&owner_);
            sql->SetDatabaseName(path_);
            // The expression column is read-only; the others go back to the table by its key.
            sql->SetSQL("SELECT id, code, 'L' || code AS label FROM products WHERE id < 3");
            data_ = sql;
        }
        source_ = new TDataSource(&owner_);
        source_->SetDataSet(data_);
        bar_ = new TDBBarcode(&owner_);
        bar_->SetName("DBBarcode1");
    }

    void Link(const std::string& field)
    {
        bar_->SetDataSource(source_);
        bar_->SetDataField(field);
    }

    dbtest::TempDir dir_;
    std::string path_ = dir_.File("p.db");
    TComponent owner_{nullptr};
    TDataSet* data_ = nullptr;
    TDataSource* source_ = nullptr;
    TDBBarcode* bar_ = nullptr;
};

INSTANTIATE_TEST_SUITE_P(Both, DBBarcodeTest, testing::Values(Kind::Memory, Kind::SQLite),
                         [](const auto& info) { return info.param == Kind::Memory ? "Memory" : "SQLite"; });

TEST_P(DBBarcodeTest, FollowsTheFieldAtRunTimeAndKeepsTheLastTextOnClose)
{
    Link("code");
    data_->Open();
    EXPECT_EQ(bar_->BarCode(), "590123412345");
    data_->Next();
    EXPECT_EQ(bar_->BarCode(), "400638133393");
    data_->Close();
    EXPECT_EQ(bar_->Field(), nullptr);
    EXPECT_EQ(bar_->BarCode(), "400638133393");
}

TEST_P(DBBarcodeTest, AtDesignTimeFollowsAndClosingClears)
{
    bar_->SetDesigning(true);
    Link("label"); // read-only fields and links do not matter at design time
    bar_->SetReadOnly(true);
    data_->Open();
    EXPECT_EQ(bar_->BarCode(), "L590123412345");
    bar_->SetBarCode("FREE"); // stored as typed, the field is not written
    EXPECT_EQ(bar_->BarCode(), "FREE");
    EXPECT_EQ(data_->FieldByName("label")->AsString(), "L590123412345");
    data_->Close();
    EXPECT_EQ(bar_->BarCode(), "");
}

// Read-only refuses text from code only: every record is still shown, so
// what is painted, drawn or printed is the current record's code.
TEST_P(DBBarcodeTest, ReadOnlyLinkOrFieldShowsEachRecordAndDropsTextFromCode)
{
    struct Case {
        const char* field;
        bool readOnlyLink;
        const char* first;
        const char* second;
    };
    for (Case c :
         {Case{"code", true, "590123412345", "400638133393"}, Case{"label", false, "L590123412345", "L400638133393"}}) {
        bar_->SetReadOnly(c.readOnlyLink);
        Link(c.field);
        data_->Open();
        EXPECT_EQ(bar_->BarCode(), c.first) << c.field;
        data_->Next();
        EXPECT_EQ(bar_->BarCode(), c.second) << c.field;
        data_->Edit();
        EXPECT_EQ(MessageOf([&] { bar_->SetBarCode("123"); }), "(nothing raised)") << c.field;
        EXPECT_EQ(bar_->BarCode(), c.second) << c.field;
        EXPECT_EQ(data_->FieldByName(c.field)->Text(), c.second) << c.field;
        data_->Cancel();
        data_->Close();
        bar_->SetReadOnly(false);
    }
}

// The control's own check runs before the field is written: a text it
// refuses leaves the field, the record and the stored row as they were.
TEST_P(DBBarcodeTest, ARefusedTextNeverReachesTheField)
{
    Link("code");
    data_->Open();
    bar_->SetBarType(bcCodeEAN13);
    data_->Edit();
    EXPECT_EQ(MessageOf([&] { bar_->SetBarCode("98x"); }), "98x: Barcode must be numeric.");
    EXPECT_EQ(data_->FieldByName("code")->Text(), "590123412345");
    EXPECT_EQ(bar_->BarCode(), "590123412345");
    data_->Post();
    data_->Refresh();
    EXPECT_EQ(data_->FieldByName("code")->Text(), "590123412345");
    if (GetParam() == Kind::SQLite) {
        EXPECT_EQ(dbtest::Connection(path_).Query("SELECT code FROM products WHERE id = 1"), "590123412345");
    }
}

TEST_P(DBBarcodeTest, AssigningAtRunTime)
{
    bar_->SetDataSource(source_); // no DataField yet: assignments change nothing
    data_->Open();
    EXPECT_EQ(MessageOf([&] { bar_->SetBarCode("777"); }), "(nothing raised)");
    EXPECT_EQ(bar_->BarCode(), "");

    bar_->SetDataField("code");
    // The field's own text is not written (a write would raise while browsing) but is stored.
    bar_->SetBarCode("590123412345");
    EXPECT_EQ(bar_->BarCode(), "590123412345");
    // Another text must be written first: refused while browsing, the control keeps its text.
    EXPECT_EQ(MessageOf([&] { bar_->SetBarCode("111"); }), "Dataset not in edit or insert mode");
    EXPECT_EQ(bar_->BarCode(), "590123412345");

    data_->Edit();
    bar_->SetBarCode("111");
    EXPECT_EQ(data_->FieldByName("code")->Text(), "111");
    EXPECT_EQ(bar_->BarCode(), "111");
    auto stored = [&] {
        return GetParam() == Kind::SQLite ? dbtest::Connection(path_).Query("SELECT code FROM products WHERE id = 1")
                                          : "";
    };
    EXPECT_EQ(stored(), GetParam() == Kind::SQLite ? "590123412345" : ""); // nothing written before Post
    data_->Post();
    EXPECT_EQ(stored(), GetParam() == Kind::SQLite ? "111" : "");
    data_->Refresh();
    EXPECT_EQ(data_->FieldByName("code")->Text(), "111");
    EXPECT_EQ(bar_->BarCode(), "111");
}

TEST_P(DBBarcodeTest, NumericSymbologyRejectsFieldTextOutOfTheDataSetOperation)
{
    Link("code");
    data_->Open();
    bar_->SetBarType(bcCodeEAN13);
    data_->Edit();
    EXPECT_EQ(MessageOf([&] { data_->FieldByName("code")->SetText("12AB"); }), "12AB: Barcode must be numeric.");
    EXPECT_EQ(data_->FieldByName("code")->Text(), "12AB"); // the field took it; the control did not
    EXPECT_EQ(bar_->BarCode(), "590123412345");
}

TEST_P(DBBarcodeTest, FreedDataSourceLeavesTheControlWithout)
{
    Link("code");
    data_->Open();
    delete source_;
    EXPECT_EQ(bar_->DataSource(), nullptr);
    EXPECT_EQ(bar_->BarCode(), "590123412345");
    bar_->SetBarCode("1"); // no field: dropped
    EXPECT_EQ(bar_->BarCode(), "590123412345");
}

TEST_P(DBBarcodeTest, LinkMessageStyleAndActions)
{
    Link("code");
    data_->Open();
    EXPECT_EQ(bar_->Perform(CM_GETDATALINK), reinterpret_cast<std::intptr_t>(&bar_->DataLink()));
    EXPECT_EQ(CM_GETDATALINK, 0xB02Du);
    EXPECT_NE(bar_->ControlStyle().Bits() & 0x800, 0u);

    TDataSetNext next(&owner_);
    EXPECT_TRUE(bar_->UpdateAction(&next));
    EXPECT_TRUE(next.Enabled());
    EXPECT_TRUE(bar_->ExecuteAction(&next));
    EXPECT_EQ(bar_->BarCode(), "400638133393");
    bar_->SetDataSource(nullptr);
    EXPECT_FALSE(bar_->ExecuteAction(&next));
}

TEST_P(DBBarcodeTest, RefusedPostKeepsStoredRowEditedRecordAndControl)
{
    if (GetParam() == Kind::Memory)
        GTEST_SKIP() << "the in-memory dataset has no constraints";
    Link("code");
    data_->Open();
    data_->Edit();
    bar_->SetBarCode("400638133393"); // the second product's code: UNIQUE refuses
    EXPECT_EQ(MessageOf([&] { data_->Post(); }), "UNIQUE constraint failed: products.code");
    EXPECT_EQ(data_->State(), dsEdit);
    EXPECT_EQ(data_->FieldByName("code")->Text(), "400638133393");
    EXPECT_EQ(bar_->BarCode(), "400638133393");
    EXPECT_EQ(dbtest::Connection(path_).Query("SELECT code FROM products WHERE id = 1"), "590123412345");
    data_->Cancel();
    EXPECT_EQ(bar_->BarCode(), "590123412345");
}

TEST(DBBarcode, PublishesItsThreePropertiesLast)
{
    const auto& props = GetPropList(TDBBarcode::StaticClassInfo());
    ASSERT_EQ(props.size(), 83u);
    EXPECT_EQ(props[80]->Name, "DataField");
    EXPECT_EQ(props[81]->Name, "DataSource");
    EXPECT_EQ(props[82]->Name, "ReadOnly");
    EXPECT_FALSE(props[80]->HasDefault());
    // BarCode comes before them: a form file sets it first.
    const auto barCode = std::ranges::find_if(props, [](const TPropInfo* p) { return p->Name == "BarCode"; });
    EXPECT_LT(barCode - props.begin(), 80);
}

TEST(DBBarcode, FormLoadDropsStoredTextAtRunTimeAndShowsTheFirstRecord)
{
    dbtest::TempDir dir;
    dbtest::Connection(dir.File("p.db")).Exec(dbtest::kProductsSql);
    RegisterDBBarcodeClasses();
    for (bool active : {false, true}) {
        const std::string form = std::string("object Form1: TForm\n"
                                             "  Width = 300\n"
                                             "  Height = 100\n"
                                             "  object DBBarcode1: TDBBarcode\n"
                                             "    Width = 280\n"
                                             "    Height = 80\n"
                                             "    BarCode = '999'\n"
                                             "    DataField = 'code'\n"
                                             "    DataSource = DataSource1\n"
                                             "  end\n"
                                             "  object DataSource1: TDataSource\n"
                                             "    DataSet = Products\n"
                                             "  end\n"
                                             "  object Products: TSQLiteDataSet\n"
                                             "    DatabaseName = '") +
                                 dir.File("p.db") +
                                 "'\n    TableName = 'products'\n    Active = " + (active ? "True" : "False") +
                                 "\n  end\nend\n";
        std::unique_ptr<TComponent> root(ReadComponentString(form, "form.txt", nullptr));
        auto* bar = dynamic_cast<TDBBarcode*>(root->FindComponent("DBBarcode1"));
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->DataSource(), root->FindComponent("DataSource1"));
        EXPECT_EQ(bar->BarCode(), active ? "590123412345" : "") << active;
        const std::string written = WriteComponentString(*root);
        EXPECT_NE(written.find("    DataField = 'code'\n    DataSource = DataSource1\n"), std::string::npos) << written;
    }
}

} // namespace
