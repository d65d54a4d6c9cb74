// Datasets and data sources stored in form files.
#include "db_fixture.h"

using namespace qb;

namespace {

TEST(DbForms, PublishedPropertiesInOrder)
{
    auto names = [](const TClassInfo& cls) {
        std::vector<std::string> out;
        for (const TPropInfo* p : GetPropList(cls))
            out.push_back(p->Name);
        return out;
    };
    EXPECT_EQ(names(TDataSource::StaticClassInfo()),
              (std::vector<std::string>{"Name", "Tag", "AutoEdit", "DataSet", "Enabled"}));
    EXPECT_EQ(names(TSQLiteDataSet::StaticClassInfo()),
              (std::vector<std::string>{"Name", "Tag", "DatabaseName", "TableName", "Where", "SQL", "RecordLimit",
                                        "ForwardOnly", "WindowRows", "BusyTimeout", "Active"}));
}

TEST(DbForms, FormOpensItsDataSetOnceLoadedAndWritesItBack)
{
    dbtest::TempDir dir;
    const std::string path = dir.File("p.db");
    dbtest::Connection(path).Exec(dbtest::kProductsSql);
    RegisterClass(TComponent::StaticClassInfo());
    RegisterDatabaseClasses();

    // The data source names the dataset before the dataset is read, and Active
    // comes before nothing else needs it: both only take effect once loaded.
    const std::string form = "object Form1: TComponent\n"
                             "  object DataSource1: TDataSource\n"
                             "    DataSet = Products\n"
                             "  end\n"
                             "  object Products: TSQLiteDataSet\n"
                             "    Active = True\n"
                             "    DatabaseName = '" +
                             path +
                             "'\n"
                             "    SQL = 'SELECT code, name FROM products WHERE name <> ''Pear'''\n"
                             "  end\n"
                             "end\n";
    std::unique_ptr<TComponent> root(ReadComponentString(form, "form.txt", nullptr));
    auto* source = dynamic_cast<TDataSource*>(root->FindComponent("DataSource1"));
    auto* data = dynamic_cast<TSQLiteDataSet*>(root->FindComponent("Products"));
    ASSERT_TRUE(source && data);
    EXPECT_EQ(source->DataSet(), data);
    EXPECT_EQ(source->State(), dsBrowse);
    EXPECT_EQ(data->RecordCount(), 2);
    EXPECT_EQ(data->FieldByName("code")->AsString(), "590123412345");

    const std::string written = WriteComponentString(*root);
    EXPECT_NE(written.find("    DataSet = Products\n"), std::string::npos) << written;
    EXPECT_NE(written.find("    SQL = 'SELECT code, name FROM products WHERE name <> ''Pear'''\n"), std::string::npos)
        << written;
    EXPECT_NE(written.find("    Active = True\n"), std::string::npos) << written;
    EXPECT_EQ(written.find("TableName"), std::string::npos) << written; // defaults are not written

    // An unopenable dataset fails the load with SQLite's message and leaves nothing behind.
    std::string bad = form;
    bad.replace(bad.find(path), path.size(), dir.File("missing.db"));
    try {
        delete ReadComponentString(bad, "form.txt", nullptr);
        ADD_FAILURE() << "the form loaded";
    } catch (const Exception& e) {
        EXPECT_NE(e.Message.find("unable to open database file"), std::string::npos) << e.Message;
    }
}

} // namespace
