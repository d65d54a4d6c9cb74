// Behaviour every dataset shares, run against the in-memory and the SQLite dataset.
#include "db_fixture.h"

#include <functional>

using namespace qb;

namespace {

using dbtest::MessageOf;

enum class Kind { Memory, SQLite };

class DataSetTest : public testing::TestWithParam<Kind> {
protected:
    void SetUp() override
    {
        if (GetParam() == Kind::Memory) {
            auto* mem = new TMemDataSet(&owner_);
            mem->AddFieldDef("id", ftInteger);
            mem->AddFieldDef("code", ftString);
            mem->AddFieldDef("name", ftString);
            mem->AddFieldDef("price", ftFloat);
            mem->Open();
            mem->AppendRecord({1LL, "590123412345", "Apple", 1.5});
            mem->AppendRecord({2LL, "400638133393", "Pear", 2.25});
            mem->AppendRecord({3LL, "978020137962", "Plum", {}});
            mem->Close();
            data_ = mem;
        } else {
            dbtest::Connection(dir_.File("p.db")).Exec(dbtest::kProductsSql);
            auto* sql = new TSQLiteDataSet(&owner_);
            sql->SetDatabaseName(dir_.File("p.db"));
            sql->SetTableName("products");
            data_ = sql;
        }
        data_->SetName("Products");
        source_ = new TDataSource(&owner_);
        source_->SetDataSet(data_);
    }

    std::string Code() { return data_->FieldByName("code")->AsString(); }

    dbtest::TempDir dir_;
    TComponent owner_{nullptr};
    TDataSet* data_ = nullptr;
    TDataSource* source_ = nullptr;
};

INSTANTIATE_TEST_SUITE_P(Both, DataSetTest, testing::Values(Kind::Memory, Kind::SQLite),
                         [](const auto& info) { return info.param == Kind::Memory ? "Memory" : "SQLite"; });

TEST_P(DataSetTest, NavigationSetsPositionAndEnds)
{
    struct Step {
        const char* name;
        std::function<int(TDataSet&)> move;
        int moved, recNo;
        bool bof, eof;
    };
    auto none = [](auto f) {
        return [f](TDataSet& d) {
            f(d);
            return 0;
        };
    };
    const Step steps[] = {
        {"open", none([](TDataSet& d) { d.Open(); }), 0, 1, true, false},
        {"next", [](TDataSet& d) { return d.MoveBy(1); }, 1, 2, false, false},
        {"past the end", [](TDataSet& d) { return d.MoveBy(5); }, 1, 3, false, true},
        {"next at the end", [](TDataSet& d) { return d.MoveBy(1); }, 0, 3, false, true},
        {"prior", [](TDataSet& d) { return d.MoveBy(-1); }, -1, 2, false, false},
        {"before the start", [](TDataSet& d) { return d.MoveBy(-9); }, -1, 1, true, false},
        {"last", none([](TDataSet& d) { d.Last(); }), 0, 3, false, true},
        {"first", none([](TDataSet& d) { d.First(); }), 0, 1, true, false},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(s.move(*data_), s.moved) << s.name;
        EXPECT_EQ(data_->RecNo(), s.recNo) << s.name;
        EXPECT_EQ(data_->Bof(), s.bof) << s.name;
        EXPECT_EQ(data_->Eof(), s.eof) << s.name;
    }
    EXPECT_EQ(data_->RecordCount(), 3);
    data_->Close();
    EXPECT_EQ(data_->RecordCount(), 0);
    EXPECT_EQ(MessageOf([&] { data_->Next(); }), "Products: Cannot perform this operation on a closed dataset");
}

TEST(MemDataSet, FieldsCanChangeOnlyWhileClosedAndEmpty)
{
    TMemDataSet data(nullptr);
    data.SetName("Mem");
    EXPECT_EQ(MessageOf([&] { data.Open(); }), "Mem: No fields defined");
    data.AddFieldDef("a", ftString);
    data.Open();
    EXPECT_EQ(MessageOf([&] { data.AddFieldDef("b", ftString); }),
              "Mem: Cannot perform this operation on an open dataset");
    EXPECT_EQ(MessageOf([&] { data.AppendRecord({"x", "y"}); }), "Mem: 2 values for 1 fields");
    data.AppendRecord({"x"});
    data.Close();
    EXPECT_EQ(MessageOf([&] { data.AddFieldDef("b", ftString); }), "Mem: Cannot add a field to a dataset holding rows");
    data.ClearDefinitions();
    data.AddFieldDef("b", ftInteger);
    data.Open();
    EXPECT_EQ(data.RecordCount(), 0);
}

TEST_P(DataSetTest, FieldsReadAndConvert)
{
    data_->Open();
    ASSERT_EQ(data_->FieldCount(), 4);
    TField* id = data_->FieldByName("ID");
    TField* price = data_->FieldByName("price");
    EXPECT_EQ(id->DataType(), ftInteger);
    EXPECT_EQ(price->DataType(), ftFloat);
    EXPECT_EQ(data_->FieldByName("code")->DataType(), ftString);
    EXPECT_EQ(id->AsInteger(), 1);
    EXPECT_EQ(price->AsString(), "1.5");
    EXPECT_EQ(price->DisplayText(), "1.5");
    EXPECT_DOUBLE_EQ(price->AsFloat(), 1.5);
    EXPECT_EQ(data_->FieldByName("code")->AsFloat(), 590123412345.0);
    EXPECT_EQ(MessageOf([&] { data_->FieldByName("name")->AsInteger(); }), "'Apple' is not a valid integer value");
    EXPECT_EQ(MessageOf([&] { data_->FieldByName("nope"); }), "Field 'nope' not found");
    EXPECT_EQ(data_->FindField("nope"), nullptr);
    data_->Last();
    EXPECT_TRUE(price->IsNull());
    EXPECT_EQ(price->Text(), "");
}

TEST_P(DataSetTest, EditPostCancelInsertDelete)
{
    data_->Open();
    TField* name = data_->FieldByName("name");
    EXPECT_EQ(MessageOf([&] { name->SetText("x"); }), "Dataset not in edit or insert mode");
    EXPECT_EQ(MessageOf([&] { data_->Post(); }), "Dataset not in edit or insert mode");

    data_->Edit();
    EXPECT_EQ(data_->State(), dsEdit);
    name->SetText("Green apple");
    data_->FieldByName("price")->SetText("");
    EXPECT_EQ(MessageOf([&] { data_->FieldByName("id")->SetText("1x"); }), "'1x' is not a valid integer value");
    data_->Cancel();
    EXPECT_EQ(name->AsString(), "Apple");
    EXPECT_EQ(data_->FieldByName("price")->AsString(), "1.5");

    data_->Edit();
    name->SetText("Green apple");
    data_->FieldByName("price")->SetText("");
    data_->Next(); // leaving a changed record posts it
    EXPECT_EQ(data_->State(), dsBrowse);

    data_->Append();
    EXPECT_EQ(data_->State(), dsInsert);
    EXPECT_EQ(data_->RecNo(), 0);
    data_->FieldByName("id")->SetAsInteger(9);
    data_->FieldByName("code")->SetText("123");
    data_->Post();
    EXPECT_EQ(data_->RecNo(), 4);
    EXPECT_EQ(data_->RecordCount(), 4);

    data_->First();
    data_->Insert(); // cancelled: nothing stored
    data_->Cancel();
    EXPECT_EQ(data_->RecordCount(), 4);
    EXPECT_EQ(Code(), "590123412345");

    data_->Next();
    data_->Delete();
    EXPECT_EQ(data_->RecordCount(), 3);
    EXPECT_EQ(Code(), "978020137962");

    // What was stored is what a fresh open sees.
    data_->Close();
    data_->Open();
    std::vector<std::string> rows;
    for (data_->First(); !data_->Eof(); data_->Next())
        rows.push_back(data_->FieldByName("id")->AsString() + ":" + data_->FieldByName("name")->AsString() + ":" +
                       data_->FieldByName("price")->AsString());
    EXPECT_EQ(rows, (std::vector<std::string>{"1:Green apple:", "3:Plum:", "9::"}));
}

// Records what a field link reports, as the data-aware control would see it.
struct LinkLog {
    explicit LinkLog(TDataSource* source, const std::string& field)
    {
        link.OnDataChange = TNotifyEvent(
            [this](TObject*) { events.push_back(link.Field() ? link.Field()->AsString() : "<no field>"); });
        link.SetDataSource(source);
        link.SetFieldName(field);
    }
    std::vector<std::string> Take() { return std::exchange(events, {}); }
    TFieldDataLink link;
    std::vector<std::string> events;
};

TEST_P(DataSetTest, FieldLinkHearsOfOpeningScrollingEditsAndClosing)
{
    LinkLog log(source_, "code");
    struct Step {
        const char* name;
        std::function<void(TDataSet&)> run;
        std::vector<std::string> events;
    };
    const Step steps[] = {
        {"open", [](TDataSet& d) { d.Open(); }, {"590123412345"}},
        {"next", [](TDataSet& d) { d.Next(); }, {"400638133393"}},
        {"next at the end twice", [](TDataSet& d) { d.Next(), d.Next(), d.Next(); }, {"978020137962"}},
        {"edit", [](TDataSet& d) { d.Edit(); }, {}},
        {"another field changes", [](TDataSet& d) { d.FieldByName("name")->SetText("P"); }, {}},
        {"the linked field changes", [](TDataSet& d) { d.FieldByName("code")->SetText("1"); }, {"1"}},
        {"cancel", [](TDataSet& d) { d.Cancel(); }, {"978020137962"}},
        {"hidden scrolling is one change",
         [](TDataSet& d) {
             d.DisableControls();
             d.First();
             d.Next();
             d.EnableControls();
         },
         {"400638133393"}},
        {"close", [](TDataSet& d) { d.Close(); }, {"<no field>"}},
    };
    for (const Step& s : steps) {
        s.run(*data_);
        EXPECT_EQ(log.Take(), s.events) << s.name;
    }
}

TEST_P(DataSetTest, FieldLinkWritesPendingValueOnPost)
{
    LinkLog log(source_, "name");
    std::string typed = "Typed";
    log.link.OnUpdateData = TNotifyEvent([&](TObject*) { log.link.Field()->SetText(typed); });
    data_->Open();
    EXPECT_TRUE(log.link.Edit());
    EXPECT_EQ(data_->State(), dsEdit);
    log.link.Modified();
    data_->Post();
    EXPECT_EQ(data_->FieldByName("name")->AsString(), "Typed");

    // A read-only link does not put the dataset into edit state.
    log.link.SetReadOnly(true);
    EXPECT_FALSE(log.link.Edit());
    EXPECT_EQ(data_->State(), dsBrowse);

    log.link.DataSourceFixed = true;
    EXPECT_EQ(MessageOf([&] { log.link.SetDataSource(nullptr); }), "DataSource cannot be changed");
    log.link.DataSourceFixed = false;

    EXPECT_EQ(MessageOf([&] { log.link.SetFieldName("nope"); }), "Field 'nope' not found");
    EXPECT_EQ(log.link.Field(), nullptr);
}

TEST_P(DataSetTest, FreeingTheDataSourceLeavesTheLinkWithNone)
{
    LinkLog log(source_, "code");
    data_->Open();
    log.Take();
    delete source_;
    EXPECT_EQ(log.link.DataSource(), nullptr);
    EXPECT_FALSE(log.link.Active());
    EXPECT_EQ(log.Take(), std::vector<std::string>{"<no field>"});
    data_->Next(); // nothing reaches the link any more
    EXPECT_TRUE(log.events.empty());
}

TEST_P(DataSetTest, FreeingTheDataSetLeavesSourceAndLinkWithNone)
{
    LinkLog log(source_, "code");
    data_->Open();
    log.Take();
    delete data_;
    EXPECT_EQ(source_->DataSet(), nullptr);
    EXPECT_EQ(source_->State(), dsInactive);
    EXPECT_EQ(log.link.Field(), nullptr);
    EXPECT_EQ(log.Take(), std::vector<std::string>{"<no field>"});
}

TEST_P(DataSetTest, LinkAnswersDataSetActions)
{
    LinkLog log(source_, "code");
    data_->Open();
    TDataSetNext next(&owner_);
    TDataSetPrior prior(&owner_);
    TDataSetEdit edit(&owner_);
    TDataSetPost post(&owner_);
    auto enabled = [&](TDataSetAction& a) {
        EXPECT_TRUE(log.link.UpdateAction(&a));
        return a.Enabled();
    };
    EXPECT_FALSE(enabled(prior));
    EXPECT_TRUE(enabled(next));
    EXPECT_TRUE(log.link.ExecuteAction(&next));
    EXPECT_EQ(Code(), "400638133393");
    EXPECT_TRUE(enabled(prior));
    EXPECT_FALSE(enabled(post));
    EXPECT_TRUE(log.link.ExecuteAction(&edit));
    EXPECT_EQ(data_->State(), dsEdit);
    EXPECT_TRUE(enabled(post));
    EXPECT_FALSE(enabled(edit));

    // An action bound to another data source leaves this link alone.
    TDataSource other(&owner_);
    other.SetDataSet(data_);
    next.SetDataSource(&other);
    EXPECT_FALSE(log.link.ExecuteAction(&next));
    EXPECT_EQ(Code(), "400638133393");
}

} // namespace
