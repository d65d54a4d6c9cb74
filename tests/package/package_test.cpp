// The component packages loaded into a host built with the runtime packages:
// entry points, the unit life cycle, registration, resources, assertions, and
// the refusal of a second copy of the library.
#include "qbarcode/controls.h"
#include "qbarcode/packages.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <link.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace qb;

namespace {

struct PackageFile {
    const char* name;
    const char* path;
};
const PackageFile kPackages[] = {{"Kavrel", KAVREL_PATH}, {"Kavrin", KAVRIN_PATH}};

// True while a library named file ("libKavrel.so"), or a versioned name of it
// ("libKavrel.so.2.0.0"), is mapped in the process.
bool Mapped(const std::string& file)
{
    struct Search {
        std::string file;
        bool found = false;
    } search{"/" + file};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto* s = static_cast<Search*>(data);
            const std::string name = info->dlpi_name ? info->dlpi_name : "";
            const std::size_t at = name.rfind(s->file);
            if (at != std::string::npos) {
                const std::string rest = name.substr(at + s->file.size());
                if (rest.empty() || rest[0] == '.')
                    s->found = true;
            }
            return 0;
        },
        &search);
    return search.found;
}

std::string Events()
{
    std::string out;
    for (const TUnitEvent& e : UnitEvents())
        out += (out.empty() ? "" : " ") + std::string(e.Startup ? "+" : "-") + e.Unit;
    return out;
}

// The class information a package exports for cls, or nullptr.
const TClassInfo* PackageClass(HMODULE package, const std::string& cls)
{
    using ClassInfoFn = const TClassInfo& (*)();
    auto fn = reinterpret_cast<ClassInfoFn>(
        GetProcAddress(package, "_ZN2qb" + std::to_string(cls.size()) + cls + "15StaticClassInfoEv"));
    return fn ? &fn() : nullptr;
}

class PackageTest : public ::testing::Test {
protected:
    void SetUp() override { ClearUnitEvents(); }
    void TearDown() override
    {
        EXPECT_TRUE(LoadedPackages().empty()) << "a test left a package loaded";
        while (!LoadedPackages().empty())
            UnloadPackage(LoadedPackages().back());
    }
};

TEST_F(PackageTest, ExportsEntryPointsRoutinesAndTheCxxApi)
{
    for (const PackageFile& p : kPackages) {
        SCOPED_TRACE(p.name);
        void* handle = dlopen(p.path, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        const std::string own = p.name;
        for (const std::string& symbol : std::vector<std::string>{
                 "Initialize", "Finalize", "GetPackageInfoTable", "GetPackageResources", "Pbarcode_Register",
                 "Pdbbarcode_Register", "Qbarcode_Startup", "Qbarcode_Shutdown", "Pbarcode_Startup",
                 "Pbarcode_Shutdown", "Pdbbarcode_Startup", "Pdbbarcode_Shutdown", own + "_Startup", own + "_Shutdown",
                 // The C++ API: qb::BCData, a Q_ routine and TBarCode's class information.
                 "_ZN2qb6BCDataE",
                 "_ZN2qb13Q_GetBarWidthENS_8TBarTypeERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEEid"
                 "NS_9TCheckSumE",
                 "_ZN2qb8TBarCode15StaticClassInfoEv"})
            EXPECT_NE(dlsym(handle, symbol.c_str()), nullptr) << symbol;
        auto table = reinterpret_cast<TGetPackageInfoTable>(dlsym(handle, "GetPackageInfoTable"))();
        EXPECT_STREQ(table->Name, p.name);
        // Usable at design time and at run time, never rebuilt by a host.
        EXPECT_EQ(table->Flags, pfNeverBuild);
        std::vector<std::string> requires_(table->Requires, table->Requires + table->RequireCount);
        EXPECT_EQ(requires_, (std::vector<std::string>{"qbrtl", "qbvisual", "qbdbrtl", "qbdbaware"}));
        // Loading alone runs no unit.
        EXPECT_EQ(Events(), "");
        dlclose(handle);
    }
}

TEST_F(PackageTest, UnitsStartInOrderOncePerProcessAndStopInReverse)
{
    for (const PackageFile& p : kPackages) {
        SCOPED_TRACE(p.name);
        ClearUnitEvents();
        HMODULE first = LoadPackage(p.path);
        EXPECT_EQ(GetPackageInfo(first).Flags, pfNeverBuild);
        const std::string own = p.name;
        EXPECT_EQ(Events(), "+SysUtils +Classes +Graphics +Printers +Controls +Qbarcode +Pbarcode +DB +DBLinks "
                            "+Pdbbarcode +" +
                                own);
        // A second load of the same package starts nothing again.
        EXPECT_EQ(LoadPackage(p.path), first);
        EXPECT_EQ(UnitEvents().size(), 11u);
        UnloadPackage(first);
        EXPECT_EQ(UnitEvents().size(), 11u);
        EXPECT_TRUE(UnitStarted("Qbarcode"));
        EXPECT_TRUE(Mapped(std::string("lib") + p.name + ".so"));
        ClearUnitEvents();
        UnloadPackage(first);
        EXPECT_EQ(Events(), "-" + own +
                                " -Pdbbarcode -DBLinks -DB -Pbarcode -Qbarcode -Controls -Printers -Graphics "
                                "-Classes -SysUtils");
        EXPECT_FALSE(UnitStarted("Qbarcode"));
        EXPECT_FALSE(Mapped(std::string("lib") + p.name + ".so")) << "the library stays mapped after unloading";
    }
}

TEST_F(PackageTest, UnitsSharedWithAnotherPackageRunOnce)
{
    HMODULE kavrel = LoadPackage(KAVREL_PATH);
    ClearUnitEvents();
    HMODULE other = LoadPackage(TEST_PACKAGE_PATH);
    EXPECT_EQ(Events(), "+Widgets");
    ClearUnitEvents();
    UnloadPackage(kavrel);
    EXPECT_EQ(Events(), "-Kavrel -Pdbbarcode -DBLinks -DB -Pbarcode -Qbarcode -Controls -Printers -Graphics");
    ClearUnitEvents();
    UnloadPackage(other);
    EXPECT_EQ(Events(), "-Widgets -Classes -SysUtils");
}

// Start-ups of a table whose third unit fails.
void StartA()
{
    NoteUnitEvent("A", true);
}
void StopA()
{
    NoteUnitEvent("A", false);
}
void StartB()
{
    NoteUnitEvent("B", true);
}
void StopB()
{
    NoteUnitEvent("B", false);
}
void StartBroken()
{
    throw Exception("broken start-up");
}

TEST_F(PackageTest, FailedStartUpStopsTheUnitsItStarted)
{
    const TUnitInfo units[] = {{"A", StartA, StopA, 1}, {"B", StartB, StopB, 1}, {"C", StartBroken, StopA, 1}};
    const TPackageInfoTable table = {"Broken", 0, 0, nullptr, 3, units};
    EXPECT_THROW(InitializePackage(table), Exception);
    EXPECT_EQ(Events(), "+A +B -B -A");
    for (const char* unit : {"A", "B", "C"})
        EXPECT_FALSE(UnitStarted(unit)) << unit;
}

TEST_F(PackageTest, RegisterPutsOneClassPerCallOnOrlenvo)
{
    struct Case {
        const char* procedure;
        const char* cls;
    };
    const Case cases[] = {{"Pbarcode_Register", "TBarCode"}, {"Pdbbarcode_Register", "TDBBarcode"}};
    for (const PackageFile& p : kPackages) {
        SCOPED_TRACE(p.name);
        ClearPalette();
        HMODULE package = LoadPackage(p.path);
        // Loading registers nothing: at run time classes are used directly.
        EXPECT_EQ(RegisterComponentsCallCount(), 0);
        EXPECT_EQ(FindClass("TBarCode"), nullptr);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.procedure);
            const TClassInfo* cls = PackageClass(package, c.cls);
            if (!cls) {
                std::printf("note: %s has no %s yet\n", p.name, c.cls);
                continue;
            }
            const int calls = RegisterComponentsCallCount();
            reinterpret_cast<TRegisterProc>(GetProcAddress(package, c.procedure))();
            EXPECT_EQ(RegisterComponentsCallCount(), calls + 1);
            ASSERT_EQ(GetPalette().size(), 1u);
            EXPECT_EQ(GetPalette()[0].Name, "Orlenvo");
            ASSERT_FALSE(GetPalette()[0].Classes.empty());
            EXPECT_EQ(GetPalette()[0].Classes.back(), cls);
            EXPECT_EQ(FindClass(c.cls), cls);
        }
        // The host's palette and the one the package filled are the same here.
        EXPECT_EQ(&GetPackagePalette(package), &GetPalette());
        UnloadPackage(package);
        EXPECT_EQ(FindClass("TBarCode"), nullptr);
        EXPECT_TRUE(GetPalette()[0].Classes.empty());
    }
}

TEST_F(PackageTest, InstallCallsEveryRegisterProcedure)
{
    ClearPalette();
    HMODULE package = LoadPackage(KAVREL_PATH);
    InstallPackage(package);
    const int classes = PackageClass(package, "TDBBarcode") ? 2 : 1;
    EXPECT_EQ(RegisterComponentsCallCount(), classes);
    ASSERT_EQ(GetPalette().size(), 1u);
    EXPECT_EQ(GetPalette()[0].Classes.size(), static_cast<std::size_t>(classes));
    for (const TClassInfo* cls : GetPalette()[0].Classes)
        EXPECT_TRUE(PackageHolds(package, cls)) << cls->Name;
    UnloadPackage(package);
}

TEST_F(PackageTest, PaletteBitmapsAre24By24With8BitsAndShowBars)
{
    for (const PackageFile& p : kPackages) {
        SCOPED_TRACE(p.name);
        HMODULE package = LoadPackage(p.path);
        for (const char* name : {"TBARCODE", "TDBBARCODE"}) {
            SCOPED_TRACE(name);
            TResourceBytes res = FindResource(package, name, "BITMAP");
            ASSERT_NE(res.Data, nullptr);
            TDibImage dib = ReadDib(res.Data, res.Size);
            EXPECT_EQ(dib.Width, 24);
            EXPECT_EQ(dib.Height, 24);
            EXPECT_EQ(dib.BitCount, 8);
            // A row through the bars changes between black and white many times.
            int changes = 0;
            for (int x = 1; x < 24; ++x)
                changes += (dib.Pixels[5 * 24 + x] == 0) != (dib.Pixels[5 * 24 + x - 1] == 0);
            EXPECT_GE(changes, 10);
        }
        // The database drum: yellow below the bars, only in TDBBARCODE.
        auto yellow = [&](const char* name) {
            TResourceBytes res = FindResource(package, name, "BITMAP");
            TDibImage dib = ReadDib(res.Data, res.Size);
            return std::count(dib.Pixels.begin() + 12 * 24, dib.Pixels.end(), 0xFFFF00u);
        };
        EXPECT_GT(yellow("TDBBARCODE"), 40);
        EXPECT_EQ(yellow("TBARCODE"), 0);
        TResourceBytes icon = FindResource(package, "PACKAGEICON", "ICON");
        ASSERT_GE(icon.Size, 22u);
        EXPECT_EQ(std::memcmp(icon.Data, "\0\0\1\0\1\0", 6), 0);
        UnloadPackage(package);
    }
}

TEST_F(PackageTest, DescriptionAndVersionBlock)
{
    for (const PackageFile& p : kPackages) {
        SCOPED_TRACE(p.name);
        HMODULE package = LoadPackage(p.path);
        EXPECT_EQ(GetPackageDescription(package), "qbarcode");
        TVersionInfo v = GetPackageVersion(package);
        EXPECT_EQ(v.Major, QB_VERSION_MAJOR);
        EXPECT_EQ(v.Minor, QB_VERSION_MINOR);
        EXPECT_EQ(v.ProductName, "qbarcode");
        EXPECT_EQ(v.FileDescription, std::string("qbarcode component package ") + p.name);
        EXPECT_FALSE(v.LegalCopyright.empty());
        UnloadPackage(package);
    }
}

TEST_F(PackageTest, OnlyKavrelRaisesTheEanAssertion)
{
    struct Case {
        const char* path;
        bool raises;
    };
    for (const Case& c : {Case{KAVREL_PATH, true}, Case{KAVRIN_PATH, false}}) {
        SCOPED_TRACE(c.path);
        HMODULE package = LoadPackage(c.path);
        {
            TForm form(nullptr);
            const TClassInfo* cls = PackageClass(package, "TBarCode");
            ASSERT_NE(cls, nullptr);
            TComponent* barCode = cls->Create(&form);
            auto set = [&](const char* prop, const TPropValue& v) {
                SetPropValue(*barCode, *GetPropInfo(*cls, prop), v);
            };
            set("BarType", std::int64_t{14}); // bcCodeEAN13
            set("CheckSum", std::int64_t{0}); // csNone: the text reaches the encoder whole
            try {
                set("BarCode", std::string("59012341234579"));
                EXPECT_FALSE(c.raises) << "no assertion";
            } catch (const EAssertionFailed& e) {
                EXPECT_TRUE(c.raises) << e.Message;
                EXPECT_EQ(e.Message.rfind("EAN13 : Invalid barcode length. (", 0), 0u) << e.Message;
            }
        }
        UnloadPackage(package);
    }
}

TEST_F(PackageTest, TheSecondCopyOfTheLibraryIsRefused)
{
    struct Case {
        const PackageFile& held;
        const PackageFile& refused;
    };
    for (const Case& c : {Case{kPackages[0], kPackages[1]}, Case{kPackages[1], kPackages[0]}}) {
        SCOPED_TRACE(c.held.name);
        HMODULE held = LoadPackage(c.held.path);
        ClearUnitEvents();
        try {
            LoadPackage(c.refused.path);
            ADD_FAILURE() << "loaded both";
        } catch (const EPackageError& e) {
            EXPECT_EQ(e.Message, std::string("Cannot load package ") + c.refused.name +
                                     ": it contains unit Qbarcode, "
                                     "which is also in package " +
                                     c.held.name + ", already loaded");
        }
        // Nothing of the refused package ran or stayed; the held one still works.
        EXPECT_EQ(Events(), "");
        EXPECT_FALSE(Mapped(std::string("lib") + c.refused.name + ".so"));
        EXPECT_EQ(LoadedPackages(), std::vector<HMODULE>{held});
        ClearPalette();
        InstallPackage(held);
        EXPECT_EQ(FindClass("TBarCode"), PackageClass(held, "TBarCode"));
        UnloadPackage(held);
    }
}

TEST_F(PackageTest, BadFilesAreRefusedWithTheirReason)
{
    struct Case {
        std::string path;
        std::string message;
    };
    const Case cases[] = {
        {"/nonexistent/libKavrel.so", "Cannot load package /nonexistent/libKavrel.so: "},
        {RUNTIME_LIBRARY_PATH, std::string(RUNTIME_LIBRARY_PATH) + " is not a package: it does not export "
                                                                   "Initialize, Finalize and GetPackageInfoTable"},
    };
    for (const Case& c : cases) {
        try {
            LoadPackage(c.path);
            ADD_FAILURE() << c.path;
        } catch (const EPackageError& e) {
            EXPECT_EQ(e.Message.substr(0, c.message.size()), c.message);
        }
    }
    int notAPackage = 0;
    EXPECT_THROW(UnloadPackage(reinterpret_cast<HMODULE>(&notAPackage)), EPackageError);
}

// Every output is the visual library's own: raster, PNG, SVG, PDF,
// PostScript and EPS documents map no 2-D graphics library into the
// process. Checked in a child process, which no earlier test has
// given a document.
TEST(Documents, AreWrittenByTheVisualLibraryAlone)
{
    const std::string dir = testing::TempDir();
    const std::string files[] = {"module_test.png", "module_test.svg", "module_test.pdf", "module_test.ps",
                                 "module_test.eps"};
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        int failed = 0;
        try {
            TBitmap bitmap(120, 60);
            LOGFONTA lf;
            GetObject(bitmap.Canvas().Font().Handle(), sizeof lf, &lf);
            lf.lfEscapement = 300;
            SelectObject(bitmap.Canvas().Handle(), CreateFontIndirect(&lf));
            bitmap.Canvas().TextOut(10, 50, "Turned 590");
            bitmap.SaveToFile(dir + files[0]);
            const TVectorFormat formats[] = {TVectorFormat::Svg, TVectorFormat::Pdf, TVectorFormat::PostScript,
                                             TVectorFormat::Eps};
            for (std::size_t i = 0; i < std::size(formats); ++i) {
                TVectorDocument doc(formats[i], dir + files[i + 1], 100, 50);
                doc.Canvas().TextOut(5, 5, "Text");
                doc.Close();
            }
            failed |= Mapped("libcairo") || Mapped("libpixman") ? 1 : 0;
        } catch (const Exception& e) {
            std::fprintf(stderr, "%s\n", e.Message.c_str());
            failed |= 2;
        }
        _exit(failed);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    const int failed = WEXITSTATUS(status);
    EXPECT_FALSE(failed & 1) << "a 2-D graphics library mapped";
    EXPECT_FALSE(failed & 2) << "drawing raised";
    for (const std::string& file : files) {
        EXPECT_TRUE(std::filesystem::exists(dir + file)) << file;
        std::remove((dir + file).c_str());
    }
}

} // namespace
