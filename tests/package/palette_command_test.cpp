// qbarcode palette and the example application, run as their users run them.
#include "support/files.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

struct Result {
    int status = -1;
    std::string out, err;
};

Result RunShell(const std::string& command)
{
    // One file per process: CTest runs the tests of this suite side by side.
    const std::string errFile = testing::TempDir() + "palette_stderr_" + std::to_string(getpid()) + ".txt";
    Result r;
    if (FILE* pipe = popen((command + " 2>" + errFile).c_str(), "r")) {
        char buf[4096];
        while (std::size_t n = fread(buf, 1, sizeof buf, pipe))
            r.out.append(buf, n);
        const int raw = pclose(pipe);
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    r.err = testsupport::ReadFile(errFile);
    return r;
}

// Width and height from a PNG file's header.
std::pair<int, int> PngSize(const std::string& path)
{
    const std::string b = testsupport::ReadFile(path);
    if (b.size() < 24 || b.compare(1, 3, "PNG") != 0)
        return {0, 0};
    auto u32 = [&](std::size_t at) {
        return int(static_cast<unsigned char>(b[at])) << 24 | int(static_cast<unsigned char>(b[at + 1])) << 16 |
               int(static_cast<unsigned char>(b[at + 2])) << 8 | int(static_cast<unsigned char>(b[at + 3]));
    };
    return {u32(16), u32(20)};
}

const std::string kBin = QBARCODE_BIN;

TEST(PaletteCommand, ListsEachPackageAsJsonAndWritesItsBitmaps)
{
    for (const std::string package : {"Kavrel", "Kavrin"}) {
        SCOPED_TRACE(package);
        const std::string dir = testing::TempDir() + "bitmaps-" + package;
        std::filesystem::remove_all(dir);
        const std::string path = std::string(PACKAGE_DIR) + "/lib" + package + ".so";
        Result r = RunShell(kBin + " palette " + path + " --json --bitmaps " + dir);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string head = "{\"package\": \"" + package +
                                 "\", \"description\": \"qbarcode\", \"requires\": [\"qbrtl\", \"qbvisual\", "
                                 "\"qbdbrtl\", \"qbdbaware\"], \"units\": [\"SysUtils\", \"Classes\", \"Graphics\", "
                                 "\"Printers\", \"Controls\", \"Qbarcode\", \"Pbarcode\", \"DB\", \"DBLinks\", "
                                 "\"Pdbbarcode\", \"" +
                                 package + "\"], \"palette\": {\"Orlenvo\": [\"TBarCode\"";
        EXPECT_EQ(r.out.substr(0, head.size()), head);
        // TDBBarcode follows TBarCode once the controls hold it.
        const bool withDb = r.out.find("\"TDBBarcode\"") != std::string::npos;
        EXPECT_EQ(r.out.substr(head.size()), withDb ? ", \"TDBBarcode\"]}}\n" : "]}}\n");
        EXPECT_EQ(PngSize(dir + "/TBARCODE.png"), std::make_pair(24, 24));
        if (withDb) {
            EXPECT_EQ(PngSize(dir + "/TDBBARCODE.png"), std::make_pair(24, 24));
        }
    }
}

TEST(PaletteCommand, RefusesTheSecondCopyAndGoesOn)
{
    const std::string dir = PACKAGE_DIR;
    Result r = RunShell(kBin + " palette " + dir + "/libKavrel.so " + dir + "/libKavrin.so");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Cannot load package Kavrin: it contains unit Qbarcode, which is also in package Kavrel, "
                     "already loaded\n");
    EXPECT_NE(r.out.find("package:     Kavrel\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("palette:     Orlenvo: TBarCode"), std::string::npos) << r.out;
}

// Arguments that cannot work say why: a bitmap folder that is a file, a
// bitmap that would replace a package given, a file in the working folder
// named without "./" (which the loader alone would look for elsewhere).
TEST(PaletteCommand, BadArgumentsSayWhatIsWrongAndWriteNothing)
{
    const std::string dir = testing::TempDir() + "palette-args-" + std::to_string(getpid());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir + "/libs");
    // The package under a bitmap's name, beside the libraries it needs.
    for (const auto& entry : std::filesystem::directory_iterator(PACKAGE_DIR))
        std::filesystem::create_symlink(entry.path(), dir + "/libs/" + entry.path().filename().string());
    std::filesystem::create_symlink(std::string(PACKAGE_DIR) + "/libKavrel.so", dir + "/libs/TBARCODE.png");
    std::ofstream(dir + "/afile") << "kept";
    std::ofstream(dir + "/garbage.so") << "not a library";
    const std::string kavrel = std::string(PACKAGE_DIR) + "/libKavrel.so";
    struct Case {
        std::string args;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {kavrel + " --bitmaps afile", 1,
         "Cannot write the palette bitmaps into \"afile\": it is a file, not a folder\n"},
        {"libs/TBARCODE.png --bitmaps libs", 2,
         "--bitmaps \"libs/TBARCODE.png\" is the same file as the package \"libs/TBARCODE.png\": the command "
         "never writes over a file it reads\n"},
        {"garbage.so", 1, "Cannot load package ./garbage.so: ./garbage.so: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const Result r = RunShell("cd " + dir + " && " + kBin + " palette " + c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
        EXPECT_EQ(r.err.find("No such file"), std::string::npos) << r.err;
    }
    EXPECT_EQ(testsupport::ReadFile(dir + "/afile"), "kept");
    EXPECT_TRUE(std::filesystem::is_symlink(dir + "/libs/TBARCODE.png"));
    std::filesystem::remove_all(dir);
}

// The command is an ordinary program of the distribution: position
// independent, hardened, linked against the runtime packages (whose copy of
// the framework the packages it loads share), never against a 2-D graphics
// library, with no helper program beside it.
TEST(Command, IsAHardenedProgramOverTheRuntimePackages)
{
    Result r = RunShell("readelf -h -l -d " + kBin);
    ASSERT_EQ(r.status, 0) << r.err;
    struct Expect {
        const char* text;
        bool present;
    };
    const Expect expects[] = {
        {"DYN (Position-Independent Executable file)", true},
        {"Requesting program interpreter", true},
        {"GNU_RELRO", true},
        {"BIND_NOW", true},
        {"Shared library: [libqbrtl.so.", true},
        {"Shared library: [libqbvisual.so.", true},
        {"Shared library: [libqbdbrtl.so.", true},
        {"libcairo", false},
        {"libpixman", false},
        {"libKavrel", false},
    };
    for (const Expect& e : expects)
        EXPECT_EQ(r.out.find(e.text) != std::string::npos, e.present) << e.text;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(kBin).parent_path() / "qbarcode-packages"));
    r = RunShell("nm -D --defined-only " + kBin + " | grep -c TBarCode");
    EXPECT_EQ(r.out, "0\n") << "the command's own controls are not offered to the packages it loads";
}

// The command and its libraries alone, without the folder of modules beside
// them, write every file format.
TEST(Command, WritesEveryFormatWithItsLibrariesAlone)
{
    namespace fs = std::filesystem;
    const fs::path tree = testing::TempDir() + "no-module-" + std::to_string(getpid());
    fs::remove_all(tree);
    fs::create_directories(tree / "lib");
    fs::copy_file(kBin, tree / "qbarcode");
    for (const auto& entry : fs::directory_iterator(PACKAGE_DIR))
        if (entry.path().filename().string().find(".so.") != std::string::npos && !entry.is_symlink())
            fs::copy_file(entry.path(), tree / "lib" / entry.path().filename());
    for (const char* library : {"libqbrtl", "libqbvisual", "libqbdbrtl"})
        if (const std::string soname = library + (".so." + std::to_string(QB_VERSION_MAJOR));
            !fs::exists(tree / "lib" / soname))
            fs::copy_file(fs::path(PACKAGE_DIR) / soname, tree / "lib" / soname);
    const std::string draw = (tree / "qbarcode").string() + " draw --type ean13 --text 590123412345 --checksum -o ";
    for (const char* file : {"x.png", "x.svg", "x.pdf"}) {
        Result r = RunShell("cd / && " + draw + (tree / file).string());
        EXPECT_EQ(r.status, 0) << file << ": " << r.err;
        EXPECT_TRUE(fs::exists(tree / file)) << file;
    }
    fs::remove_all(tree);
}

TEST(ExampleApplication, LoadsKavrelAndRendersItsForm)
{
    const std::string db = testing::TempDir() + "example.sqlite", png = testing::TempDir() + "example.png";
    std::filesystem::remove(db);
    Result r = RunShell(std::string(EXAMPLE_BIN) + " " + PACKAGE_DIR + "/libKavrel.so " + db + " " + png);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("record 400638133393"), std::string::npos) << r.out;
    EXPECT_EQ(PngSize(png), std::make_pair(320, 240));
}

} // namespace
