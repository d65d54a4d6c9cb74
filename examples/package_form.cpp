// An application built with the runtime packages that loads the component
// package Kavrel at run time, puts a TBarCode and a TDBBarcode (following a
// column of an SQLite table) on a form, and saves the painted form as PNG.
//
//   package_form PACKAGE DATABASE OUT.png
//
// DATABASE is created with a small "products" table when it does not exist.
// The package's classes are reached through their class information, which
// the package exports, and set up through their published properties: the
// application needs no link to the package and no registration.
#include "qbarcode/controls.h"
#include "qbarcode/db.h"
#include "qbarcode/graphics.h"
#include "qbarcode/packages.h"

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

void CreateDatabase(const std::string& path)
{
    if (std::filesystem::exists(path))
        return;
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        throw qb::Exception("Cannot create " + path);
    }
    const char* sql = "CREATE TABLE products(sku TEXT, name TEXT);"
                      "INSERT INTO products VALUES('590123412345', 'Tea'), ('400638133393', 'Coffee');";
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        throw qb::Exception("Cannot fill " + path);
}

// The class information a package exports for class (its C++ API), or nullptr.
const qb::TClassInfo* PackageClass(qb::HMODULE package, const std::string& cls)
{
    using ClassInfoFn = const qb::TClassInfo& (*)();
    // qb::<cls>::StaticClassInfo(), as the compiler names it.
    const std::string mangled = "_ZN2qb" + std::to_string(cls.size()) + cls + "15StaticClassInfoEv";
    auto fn = reinterpret_cast<ClassInfoFn>(qb::GetProcAddress(package, mangled));
    return fn ? &fn() : nullptr;
}

void Set(qb::TComponent& component, const char* property, const qb::TPropValue& value)
{
    const qb::TPropInfo* prop = qb::GetPropInfo(component.ClassInfo(), property);
    if (!prop)
        throw qb::Exception(component.ClassName() + " has no property " + property);
    qb::SetPropValue(component, *prop, value);
}

// Creates a control of class cls on form and sets its place and text.
qb::TControl& AddControl(qb::TForm& form, const qb::TClassInfo& cls, int top, const std::string& name)
{
    auto* control = dynamic_cast<qb::TControl*>(cls.Create(&form));
    if (!control)
        throw qb::Exception(std::string(cls.Name) + " is not a control");
    control->SetName(name);
    control->SetParent(&form);
    control->SetBounds(8, top, 304, 100);
    Set(*control, "BarType", std::int64_t{14}); // bcCodeEAN13
    Set(*control, "CheckSum", std::int64_t{1}); // csModulo10
    return *control;
}

void Run(const std::string& packagePath, const std::string& database, const std::string& out)
{
    CreateDatabase(database);
    qb::HMODULE package = qb::LoadPackage(packagePath);
    struct Unload {
        qb::HMODULE p;
        ~Unload() { qb::UnloadPackage(p); }
    } unload{package};
    {
        qb::TForm form(nullptr);
        form.SetName("Form1");
        form.SetBounds(0, 0, 320, 240);
        const qb::TClassInfo* barCode = PackageClass(package, "TBarCode");
        if (!barCode)
            throw qb::Exception(packagePath + " does not export TBarCode");
        Set(AddControl(form, *barCode, 8, "BarCode1"), "BarCode", std::string("590123412345"));

        auto* table = new qb::TSQLiteDataSet(&form);
        table->SetDatabaseName(database);
        table->SetTableName("products");
        auto* source = new qb::TDataSource(&form);
        source->SetDataSet(table);
        if (const qb::TClassInfo* dbBarCode = PackageClass(package, "TDBBarcode")) {
            qb::TControl& control = AddControl(form, *dbBarCode, 124, "DBBarcode1");
            Set(control, "DataSource", static_cast<qb::TComponent*>(source));
            Set(control, "DataField", std::string("sku"));
        }
        table->Open();
        table->Next(); // the second row: the data-aware control follows
        qb::TBitmap image(form.Width(), form.Height());
        form.PaintTo(image.Canvas(), 0, 0);
        image.SaveToFile(out);
        std::printf("%s: %s on a %dx%d form, record %s\n", out.c_str(),
                    PackageClass(package, "TDBBarcode") ? "TBarCode and TDBBarcode" : "TBarCode", form.Width(),
                    form.Height(), table->FindField("sku")->AsString().c_str());
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s PACKAGE DATABASE OUT.png\n", argv[0]);
        return 2;
    }
    try {
        Run(argv[1], argv[2], argv[3]);
    } catch (const qb::Exception& e) {
        std::fprintf(stderr, "%s\n", e.Message.c_str());
        return 1;
    }
    return 0;
}
