// The qbarcode command end to end: output, messages, exit status, files.
#include "qbarcode/qbarcode.h"
#include "support/files.h"
#include "support/line_image.h"
#include "support/reader.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/wait.h>

using namespace qb;

namespace fs = std::filesystem;

namespace {

struct Result {
    int status;
    std::string out, err;
};

Result Qbarcode(const std::string& args, const std::string& input = "", const std::string& environment = "")
{
    static int counter = 0;
    const fs::path dir = fs::temp_directory_path();
    const std::string tag = std::to_string(::getpid()) + "-" + std::to_string(counter++);
    const fs::path out = dir / ("qb-out-" + tag), err = dir / ("qb-err-" + tag), in = dir / ("qb-in-" + tag);
    std::ofstream(in, std::ios::binary) << input;
    const std::string cmd = environment + " " + std::string(QBARCODE_BIN) + " " + args + " <" + in.string() + " >" +
                            out.string() + " 2>" + err.string();
    const int raw = std::system(cmd.c_str());
    auto slurp = [](const fs::path& p) {
        std::ifstream f(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    };
    Result r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
    fs::remove(out), fs::remove(err), fs::remove(in);
    return r;
}

class TempDir {
public:
    TempDir() : path_(fs::temp_directory_path() / ("qb-cli-" + std::to_string(::getpid())))
    {
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    std::size_t Count() const { return std::distance(fs::directory_iterator(path_), fs::directory_iterator()); }

private:
    fs::path path_;
};

// A PNG read back through Cairo: size and pixels.
struct Image {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x] & 0xFFFFFF; }
};

Image LoadPng(const std::string& path)
{
    Image img;
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        img.width = cairo_image_surface_get_width(s);
        img.height = cairo_image_surface_get_height(s);
        const int stride = cairo_image_surface_get_stride(s);
        const auto* data = cairo_image_surface_get_data(s);
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x)
                img.pixels.push_back(reinterpret_cast<const std::uint32_t*>(data + y * stride)[x]);
    }
    cairo_surface_destroy(s);
    return img;
}

testsupport::Decoded Decode(const Image& img)
{
    std::vector<const std::uint32_t*> rows;
    for (int y = 0; y < img.height; ++y)
        rows.push_back(img.pixels.data() + static_cast<std::size_t>(y) * img.width);
    return testsupport::ReadLinear(rows.data(), img.width, img.height);
}

TEST(Cli, EncodePrintsLineCodesAndMeasures)
{
    const Result r = Qbarcode("encode --type bcCodeEAN13 --text 590123412345 --checksum");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("50525060517061615160805170505050616060615350507151705251505"), std::string::npos);
    EXPECT_NE(r.out.find("bar width:     190"), std::string::npos); // 95 modules of 2 pixels

    const Result j = Qbarcode("encode --type EAN13 --text 1 --json --modul 3 --ratio 2.6");
    EXPECT_EQ(j.status, 0);
    EXPECT_NE(j.out.find("\"module_widths\": [3, 8, 12, 16]"), std::string::npos) << j.out;
    EXPECT_NE(j.out.find("\"ratio\": 2.6"), std::string::npos) << j.out;
}

TEST(Cli, TextFileIsReadByteForByte)
{
    TempDir dir;
    std::ofstream(dir / "t.bin", std::ios::binary) << std::string("A\x01\"\xe9 \n", 6);
    // The caption is the text as given, blanks and control characters kept.
    const Result r = Qbarcode("encode --type code39 --text-file " + dir / "t.bin" + " --json --modules --modul 1");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\"caption\": \"A\\u0001\\\"\\u00e9 \\n\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"modules\": \"1001011011010"), std::string::npos) << r.out; // '*' start
}

TEST(Cli, ErrorsAndStatus)
{
    struct Case {
        std::string args;
        int status;
        std::string err; // exact standard error, or empty to only check the status
    };
    const Case cases[] = {
        {"encode --type bcCode93 --text abc", 1, "abc : Code_93 bad data.\n"},
        {"encode --type ean13 --text 12A4", 1, "12A4 : Barcode must be numeric.\n"},
        {"encode --type code128b --text x --modul 2147483647", 1, "Module width out of range.\n"},
        {"encode --type nosuch --text 1", 2, ""},
        {"encode --text 1", 2, ""},
        {"encode --type ean13", 2, ""},
        {"draw --type ean13 --text 1 -o x.gif", 2, ""},
        {"bogus", 2, ""},
        // Every printer size that does not fit gets the one message, also
        // those beyond what rounding itself can hold.
        {"measure --type ean13 --text 1 --units mm --modul 1e12", 1, "Printer coordinate out of range.\n"},
        {"measure --type ean13 --text 1 --units mm --modul 1e300", 1, "Printer coordinate out of range.\n"},
        {"measure --type ean13 --text 1 --units mm --height 1e20", 1, "Printer coordinate out of range.\n"},
        {"print --type ean13 --text 1 --top 1e300 -o x.pdf", 1, "Printer coordinate out of range.\n"},
        // A font that is not installed is named, not replaced by another.
        {"draw --type ean13 --text 1 --font NoSuchFont:12 -o x.png", 2,
         "--font: no installed font family is called 'NoSuchFont' ('qbarcode fonts' lists those installed)\n"},
        {"print --type ean13 --text 1 --font \"Dejavu Sansx\" -o x.pdf", 2,
         "--font: no installed font family is called 'Dejavu Sansx' ('qbarcode fonts' lists those installed)\n"},
    };
    for (const Case& c : cases) {
        const Result r = Qbarcode(c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        if (!c.err.empty()) {
            EXPECT_EQ(r.err, c.err) << c.args;
        }
    }
}

// Installed families by any name fontconfig gives them, and the list that
// the missing-font message points to.
TEST(Cli, FontsByNameAndTheirList)
{
    TempDir dir;
    for (const char* font : {"dejavu sans:9:bold", "DejaVu Serif:12", "sans-serif:10", "monospace:8:italic"}) {
        const Result r =
            Qbarcode(std::string("draw --type code39 --text A --font \"") + font + "\" -o " + dir / "f.png");
        EXPECT_EQ(r.status, 0) << font << ": " << r.err;
    }
    const Result list = Qbarcode("fonts");
    EXPECT_EQ(list.status, 0);
    EXPECT_NE(list.out.find("\nDejaVu Serif\n"), std::string::npos) << list.out;
}

// A text may hold NUL bytes; a message about it shows every byte and the
// reason after them.
TEST(Cli, MessagesKeepEveryByteOfTheText)
{
    TempDir dir;
    const std::string text("A1\0B2", 5);
    std::ofstream(dir / "nul.bin", std::ios::binary) << text;
    const Result one = Qbarcode("encode --type codabar --text-file " + dir / "nul.bin");
    EXPECT_EQ(one.status, 1);
    EXPECT_EQ(one.err, text + " : Codabar bad data.\n");

    const Result batch = Qbarcode("draw --type ean13 --batch - -o " + dir / "b.png", "12\n" + text + "\n");
    EXPECT_EQ(batch.status, 1);
    EXPECT_EQ(batch.err, "line 2: " + text + " : Barcode must be numeric.\n");
}

// With no quiet zone the image is exactly the painted pixels.
TEST(Cli, DrawWithoutQuietZoneHoldsExactlyTheSymbol)
{
    TempDir dir;
    const int w = Q_GetBarWidth(bcCodeEAN13, "590123412345", 2, 2.0, csModulo10);
    for (int angle : {0, 90, 180, 270}) {
        SCOPED_TRACE(angle);
        const std::string png = dir / "e.png";
        const Result r = Qbarcode("draw --type ean13 --text 590123412345 --checksum --modul 2 --height 50 "
                                  "--caption none --quiet-zone 0 --angle " +
                                  std::to_string(angle) + " -o " + png);
        ASSERT_EQ(r.status, 0) << r.err;
        const Image img = LoadPng(png);
        const bool upright = angle % 180 == 0;
        EXPECT_EQ(img.width, upright ? w : 51);
        EXPECT_EQ(img.height, upright ? 51 : w);
        EXPECT_EQ(img.At(0, 0), 0u); // a guard bar's corner
    }
    // By default EAN-13 keeps its own quiet zone: 11 modules each side.
    const std::string png = dir / "q.png";
    ASSERT_EQ(Qbarcode("draw --type ean13 --text 590123412345 --checksum --modul 2 -o " + png).status, 0);
    EXPECT_EQ(LoadPng(png).width, w + 2 * 11 * 2);
}

// A black-and-white barcode with a crisp caption is two colours; a smooth
// caption adds the shades between.
TEST(Cli, CaptionsAreCrispUnlessAskedToBeSmooth)
{
    TempDir dir;
    auto colours = [&](const std::string& options) {
        const std::string png = dir / "c.png";
        EXPECT_EQ(Qbarcode("draw --type code39 --text CAPTION --caption both -o " + png + " " + options).status, 0);
        const Image img = LoadPng(png);
        return std::set<std::uint32_t>(img.pixels.begin(), img.pixels.end()).size();
    };
    EXPECT_EQ(colours(""), 2u);
    EXPECT_GT(colours("--smooth-text"), 2u);
}

TEST(Cli, DrawnFilesDecode)
{
    TempDir dir;
    const std::string png = dir / "c.png";
    const Result r = Qbarcode("draw --type code128b --text \"Hello 128\" --angle 90 --caption both -o " + png);
    ASSERT_EQ(r.status, 0) << r.err;
    const testsupport::Decoded d = Decode(LoadPng(png));
    EXPECT_TRUE(d.found);
    EXPECT_EQ(d.text, "Hello 128");
    // The quiet zone is white and ten modules wide.
    const Image img = LoadPng(png);
    EXPECT_EQ(img.At(10, 19), 0xFFFFFFu);
}

TEST(Cli, FailedDrawLeavesNoFile)
{
    TempDir dir;
    for (const char* out : {"bad.png", "bad.svg", "bad.pdf"}) {
        const Result r = Qbarcode(std::string("draw --type ean13 --text 12A -o ") + dir / out);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "12A : Barcode must be numeric.\n");
    }
    const Result r = Qbarcode("draw --type ean13 --text 1 -o /nonexistent-dir/x.png");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(dir.Count(), 0u);
}

TEST(Cli, BatchNumbersItsOutputs)
{
    TempDir dir;
    const Result r = Qbarcode("draw --type code39 --batch - -o " + dir / "b-%02d.svg", "ONE\nTWO\nbad\xff\nFOUR\n");
    EXPECT_EQ(r.status, 0) << r.err; // Code 39 drops what it cannot encode
    EXPECT_EQ(dir.Count(), 4u);
    EXPECT_TRUE(fs::exists(dir / "b-04.svg"));
    const Result bad = Qbarcode("draw --type ean13 --batch - -o " + dir / "n.png", "123\n12A\n");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "line 2: 12A : Barcode must be numeric.\n");
    EXPECT_TRUE(fs::exists(dir / "n-1.png"));
    EXPECT_FALSE(fs::exists(dir / "n-2.png"));
}

// The output name is read by us, never used as a printf format: anything but
// one %d and %% is refused before a file is drawn.
TEST(Cli, BatchOutputPatterns)
{
    TempDir dir;
    EXPECT_EQ(Qbarcode("draw --type code39 --batch - -o " + dir / "100%%-%3d.svg", "A\n").status, 0);
    EXPECT_TRUE(fs::exists(dir / "100%-  1.svg"));
    for (const char* bad : {"x-%s.png", "x-%d-%d.png", "x-%n.png", "x-%.png", "x-%999d.png"}) {
        const Result r = Qbarcode(std::string("draw --type code39 --batch - -o ") + dir / bad, "A\n");
        EXPECT_EQ(r.status, 2) << bad;
    }
    EXPECT_EQ(dir.Count(), 1u);
}

} // namespace

namespace {

TEST(Cli, MeasureInPixelsAndUnits)
{
    const Result px = Qbarcode("measure --type ean13 --text 590123412345 --modul 2 --height 50 --json");
    EXPECT_EQ(px.out, "{\"unit\": \"px\", \"image\": {\"width\": 234, \"height\": 51}, \"Q_GetBarWidth\": 190, "
                      "\"Q_GetCanvasWidth\": 50, \"Q_GetCanvasHeight\": 190}\n");
    // The library's whole units, and the printer pixels actually printed:
    // 4-pixel modules along x, a bar height of 709 pixels plus the last row
    // along y; the caption, wider than the bars, widens what is printed.
    const Result mm = Qbarcode("measure --type code128b --text ABCDEFGHIJKLMNO --modul 0.16933 --units mm "
                               "--height 15 --dpi 600x1200 --json");
    EXPECT_EQ(mm.out, "{\"unit\": \"mm\", \"bar_width\": 34, \"canvas_width\": 15, \"canvas_height\": 17, "
                      "\"printer_pixels\": {\"bar_width\": 800, \"canvas_width\": 710, \"canvas_height\": 800, "
                      "\"printed\": {\"width\": 817, \"height\": 710}, \"dpi\": [600, 1200]}}\n");
    EXPECT_EQ(Qbarcode("measure --type ean13 --text 1 --modul 1.5").status, 2);

    // 0.33 mm is 8 pixels at 600 dpi: 95 modules are 760 pixels, 32.17 mm,
    // where the library's whole millimetres say 32.
    const Result text = Qbarcode("measure --type ean13 --text 590123412345 --units mm --modul 0.33 --height 20");
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("bar width:     32 mm (760 printer pixels = 32.17 mm at 600 dpi)\n"), std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("(across the code at 0 degrees; 473 printer pixels = 20.02 mm at 600 dpi)"),
              std::string::npos)
        << text.out;
    const Result inches = Qbarcode("measure --type ean13 --text 590123412345 --units in --modul 0.01 --dpi 300");
    EXPECT_NE(inches.out.find("bar width:     1 in (285 printer pixels = 0.95 in at 300 dpi)\n"), std::string::npos)
        << inches.out;
}

TEST(Cli, PrintWritesAPageOrSaysWhyNot)
{
    TempDir dir;
    const Result pdf =
        Qbarcode("print --type ean13 --text 590123412345 --checksum --paper letter --landscape -o " + dir / "p.pdf");
    EXPECT_EQ(pdf.status, 0) << pdf.err;
    EXPECT_EQ(testsupport::ReadFile(dir / "p.pdf").substr(0, 5), "%PDF-");
    EXPECT_NE(testsupport::RunCommand("pdfinfo " + dir / "p.pdf").find("792 x 612 pts (letter)"), std::string::npos);

    const Result ps = Qbarcode("print --type code39 --text PS --units in --modul 0.01 -o " + dir / "p.ps");
    EXPECT_EQ(ps.status, 0) << ps.err;
    EXPECT_TRUE(fs::exists(dir / "p.ps"));

    const Result bad = Qbarcode("print --type ean13 --text 12A -o " + dir / "bad.pdf");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "12A : Barcode must be numeric.\n");
    const Result nowhere = Qbarcode("print --type ean13 --text 1 -o /nonexistent-dir/p.pdf");
    EXPECT_EQ(nowhere.status, 1);
    EXPECT_EQ(nowhere.err, "Cannot create file \"/nonexistent-dir/p.pdf\": No such file or directory\n");
    EXPECT_EQ(Qbarcode("print --type ean13 --text 1").status, 2);
    EXPECT_EQ(dir.Count(), 2u); // p.pdf and p.ps only: nothing half-written
}

} // namespace

namespace {

// The command's own rules, before the library sees anything: what it
// refuses, with which status and message, and that a refusal writes nothing.
TEST(CliRules, RefusalsAndWarnings)
{
    TempDir dir;
    std::ofstream(dir / "c.csv") << "code\nA\n";
    const std::string csv = "--csv " + dir / "c.csv" + " --field code --type code39 ";
    const std::string out = dir / "out.png";
    struct Case {
        std::string args;
        int status;
        std::string err; // standard error starts with this
    };
    const Case cases[] = {
        // No text, no barcode; the library's trimming decides what is empty.
        {"draw --type ean13 --text '' --checksum -o " + out, 1, "no text to encode\n"},
        {"draw --type code128b --text ' \t ' -o " + out, 1, "no text to encode\n"},
        {"encode --type code39 --text-file " + dir / "", 1, "Cannot read \"" + dir / "" + "\": it is a folder\n"},
        {"encode --type ean13 --text '' --verbatim", 0, ""},
        // Check digits (worked out by hand: weights 3 and 1 from the right;
        // UPC-E 425261 stands for UPC-A 04210000526).
        {"draw --type ean13 --text 5901234123458 -o " + out, 1, "5901234123458: check digit should be 7\n"},
        {"encode --type ean8 --text 96385075", 1, "96385075: check digit should be 4\n"},
        {"encode --type upca --text 036000291453", 1, "036000291453: check digit should be 2\n"},
        {"encode --type upce0 --text 4252615", 1, "4252615: check digit should be 4\n"},
        {"encode --type upce1 --text 1234567", 1, "1234567: check digit should be 2\n"},
        {"measure --type ean13 --text 5901234123458", 1, "5901234123458: check digit should be 7\n"},
        {"print --type ean13 --text 5901234123458 -o " + dir / "p.pdf", 1, "5901234123458: check digit should be 7\n"},
        {"form new --type ean13 --text 5901234123458 -o -", 1, "5901234123458: check digit should be 7\n"},
        {"encode --type ean13 --text 59012341234570", 1,
         "59012341234570: too long: EAN13 has 13 digits, the check digit included\n"},
        {"encode --type ean13 --text 5901234123458 --verbatim", 0, ""},
        // Sizes that draw nothing and numbers that are none.
        {"encode --type code128b --text x --modul -3", 2, "--modul: "},
        {"draw --type code39 --text A --modul 0 -o " + out, 2, "--modul: "},
        {"draw --type code39 --text A --height 0 -o " + out, 2, "--height: "},
        {"draw --type code39 --text A --height -5 -o " + out, 2, "--height: "},
        {"measure --type code39 --text A --height 0", 2, "--height: "},
        {"print --type code39 --text A --modul 0.04 -o " + dir / "p.pdf", 2,
         "--modul: 0.04 mm is less than one printer pixel at 600 dpi\n"},
        {"print --type code39 --text A --units in --height 0.003 --dpi 300 -o " + dir / "p.pdf", 2, "--height: "},
        {"measure --type code39 --text A --units mm --height -1e20", 2, "--height: "},
        {"labels " + csv + "--modul 0 -o " + dir / "l.pdf", 2, "--modul: "},
        {"draw --type code39 --text A --angle nan -o " + out, 2, "--angle: 'nan' is not a finite number\n"},
        {"encode --type code39 --text A --ratio nan", 2, "--ratio: "},
        {"measure --type code39 --text A --units in --height inf", 2, "--height: "},
        {"print --type code39 --text A --left -inf -o " + dir / "p.pdf", 2, "--left: "},
        {"labels " + csv + "--modul nan -o " + dir / "l.pdf", 2, "--modul: "},
        // Print jobs are PDF or PostScript, by name.
        {"print --type code39 --text A -o " + dir / "p.svg", 2, "-o \"" + dir / "p.svg" + "\": "},
        {"print --type code39 --text A -o " + dir / "p.png", 2, "-o "},
        {"print --type code39 --text A -o " + dir / "noext", 2, "-o "},
        {"labels " + csv + "-o " + dir / "s.svg", 2, "-o "},
        // --checksum where it changes nothing.
        {"encode --type code93 --text ABC --checksum", 0,
         "warning: --checksum has no effect on Code93, which has no optional check character\n"},
        {"draw --type i25 --checksum --batch - -o " + dir / "b.png", 0, "warning: --checksum has no effect"},
    };
    for (const Case& c : cases) {
        const Result r = Qbarcode(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << c.args;
        if (c.status != 0) {
            EXPECT_EQ(dir.Count(), 1u) << c.args; // the CSV file alone
        }
    }
    // The warning is given once per command, for exactly the symbologies
    // whose symbol --checksum leaves as it is.
    const std::set<std::string> warned = {"i25",      "industrial25", "matrix25", "code93", "code93ext",
                                          "msi",      "postnet",      "codabar",  "upc2",   "upc5",
                                          "code128a", "code128b",     "code128c"};
    for (const char* type :
         {"i25",    "industrial25", "matrix25", "code39",  "code39ext", "code128a", "code128b", "code128c",
          "code93", "code93ext",    "msi",      "postnet", "codabar",   "ean8",     "ean13",    "upca",
          "upce0",  "upce1",        "upc2",     "upc5",    "ean128a",   "ean128b",  "ean128c"}) {
        const Result r = Qbarcode(std::string("measure --checksum --text 12 --type ") + type);
        EXPECT_EQ(r.status, 0) << type << ": " << r.err;
        EXPECT_EQ(r.err.empty(), !warned.count(type)) << type << ": " << r.err;
    }
}

std::string JsonText(const std::string& json)
{
    const auto at = json.find("\"text\": \"");
    return at == std::string::npos ? "" : json.substr(at + 9, json.find('"', at + 9) - at - 9);
}

// A number without its check digit gets it, as --checksum gives it; a
// full-length one keeps its own. A reader, which checks the digit itself,
// reads the drawn symbol back; encode shows the number the symbol carries.
TEST(CliRules, CheckDigitsAreAddedOrKept)
{
    struct Case {
        const char* type;
        const char* text;
        const char* read; // as the reader reports it (an EAN-13 with a leading 0 as a UPC-A)
    };
    const Case cases[] = {
        {"ean13", "590123412345", "5901234123457"},
        {"ean13", "4006381333931", "4006381333931"},
        {"ean13", "17", "000000000178"},
        {"ean8", "9638507", "96385074"},
        {"upca", "036000291452", "036000291452"},
        {"upce0", "4252614", "04252614"},
        {"upce1", "1234562", "11234562"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " " + c.text);
        const std::string png = dir / "c.png";
        const Result r = Qbarcode(std::string("draw --type ") + c.type + " --text " + c.text + " -o " + png);
        ASSERT_EQ(r.status, 0) << r.err;
        const testsupport::Decoded d = Decode(LoadPng(png));
        EXPECT_TRUE(d.found);
        EXPECT_EQ(d.text, c.read);
    }
    // UPC-E: the digit of the UPC-A number the six digits stand for.
    for (const auto& [args, text] : {std::pair{"--type ean13 --text 590123412345", "5901234123457"},
                                     {"--type ean8 --text 9638507", "96385074"},
                                     {"--type ean13 --text 590123412345 --checksum", "5901234123457"},
                                     {"--type upca --text 03600029145", "036000291452"},
                                     {"--type upce0 --text 425261", "4252614"},
                                     {"--type upce1 --text 123456", "1234562"},
                                     {"--type upce0 --text 425261 --verbatim", "425261"}}) {
        const Result r = Qbarcode(std::string("encode --json ") + args);
        EXPECT_EQ(JsonText(r.out), text) << args << ": " << r.out << r.err;
    }
    // A form file holds the text as given, and the check-sum choice that completes it.
    const Result form = Qbarcode("form new --type ean13 --text 590123412345 -o -");
    EXPECT_NE(form.out.find("CheckSum = csModulo10"), std::string::npos) << form.out << form.err;
}

Image Drawn(const std::string& args, const TempDir& dir)
{
    const std::string png = dir / "m.png";
    const Result r = Qbarcode("draw " + args + " -o " + png);
    EXPECT_EQ(r.status, 0) << args << ": " << r.err;
    return LoadPng(png);
}

// measure reports the image draw writes for the same options, and one angle
// draws one picture however it is written.
TEST(CliRules, MeasureDescribesTheDrawnImageAtAnyAngle)
{
    TempDir dir;
    for (const char* options : {"--type ean13 --text 590123412345 --checksum",
                                "--type code128b --text Hello --modul 3 --height 40 --caption both --angle 90",
                                "--type code39 --text AB --quiet-zone 0 --font 'DejaVu Sans:24' --angle 30",
                                "--type upca --text 036000291452 --caption none --angle -120 --ratio 2.5"}) {
        SCOPED_TRACE(options);
        const Image img = Drawn(options, dir);
        const Result m = Qbarcode(std::string("measure --json ") + options);
        EXPECT_NE(m.out.find("\"image\": {\"width\": " + std::to_string(img.width) +
                             ", \"height\": " + std::to_string(img.height) + "}"),
                  std::string::npos)
            << m.out << m.err;
    }
    const std::string code = "--type code128b --text ANGLE ";
    for (const auto& [a, b] : {std::pair{"-45", "315"}, {"-90", "270"}, {"405", "45"}, {"-720", "0"}}) {
        const Image first = Drawn(code + "--angle " + a, dir), second = Drawn(code + "--angle " + b, dir);
        EXPECT_EQ(first.width, second.width) << a << " and " << b;
        EXPECT_EQ(first.height, second.height) << a << " and " << b;
        EXPECT_EQ(first.pixels, second.pixels) << a << " and " << b;
    }
}

// print and labels write the format their file's name asks for.
TEST(CliRules, PrintJobsTakeTheirFormatFromTheName)
{
    TempDir dir;
    std::ofstream(dir / "c.csv") << "code\nA\n";
    for (const auto& [args, magic] :
         {std::pair{"print --type code39 --text A -o " + dir / "p.PDF", "%PDF-"},
          {"print --type code39 --text A -o " + dir / "p.PS", "%!PS"},
          {"labels --csv " + dir / "c.csv" + " --field code --type code39 -o " + dir / "l.ps", "%!PS"}}) {
        const Result r = Qbarcode(args);
        ASSERT_EQ(r.status, 0) << args << ": " << r.err;
        const std::string file = args.substr(args.rfind(' ') + 1);
        EXPECT_EQ(testsupport::ReadFile(file).substr(0, std::string(magic).size()), magic) << args;
    }
}

} // namespace

namespace {

// The library draws where it is told; the command refuses a page whose
// drawing lies partly or wholly off the paper, and writes no file.
TEST(Cli, PrintRefusesADrawingOffThePaper)
{
    TempDir dir;
    const std::string ean = "print --type ean13 --text 590123412345 --checksum --modul 0.33 --height 20 ";
    // At 600 dpi: left 11811 pixels (500 mm), 95 modules of 8 pixels (760
    // pixels, 32.17 mm); top 709 pixels (30.01 mm), bars 472 + 1 rows high.
    const Result far = Qbarcode(ean + "--left 500 --top 30 -o " + dir / "far.pdf");
    EXPECT_EQ(far.status, 1);
    EXPECT_EQ(far.err, "The barcode does not fit on the paper: it spans 500.00 to 532.17 mm across and 30.01 to "
                       "50.04 mm down; the paper is 210.00 x 297.00 mm.\n");
    const Result inches = Qbarcode("print --type ean13 --text 1 --units in --left 8.5 -o " + dir / "in.pdf");
    EXPECT_NE(inches.err.find("spans 8.50 to 9.77 in across"), std::string::npos) << inches.err; // 5100 + 760
    const char* partly[] = {"--left 190", "--top 290", "--left -1", "--angle 90 --top 270",
                            "--paper letter --landscape --top 200"};
    for (const char* where : partly) {
        const Result r = Qbarcode(ean + where + " -o " + dir / "p.pdf");
        EXPECT_EQ(r.status, 1) << where;
        EXPECT_EQ(r.err.rfind("The barcode does not fit on the paper", 0), 0u) << where << ": " << r.err;
    }
    EXPECT_EQ(dir.Count(), 0u);
    // Touching the paper's edges is on the paper.
    EXPECT_EQ(Qbarcode(ean + "--left 177.8 --top 0 -o " + dir / "edge.pdf").status, 0);
}

// A print queue that refuses the job: the complete document stays, under the
// name asked for, and the message says where.
TEST(Cli, RefusedPrintJobKeepsTheDocument)
{
    TempDir dir;
    const std::string lp = dir / "lp";
    std::ofstream(lp) << "#!/bin/sh\necho 'queue is paused' >&2\nexit 1\n";
    fs::permissions(lp, fs::perms::owner_all);
    const std::string pdf = dir / "job.pdf";
    const Result r =
        Qbarcode("print --type ean13 --text 1 --printer office -o " + pdf, "", "PATH=" + (dir / "") + ":$PATH");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Cannot print: lp failed (queue is paused); the document was kept as \"" + pdf + "\"\n");
    EXPECT_GT(fs::file_size(pdf), 0u);
    EXPECT_EQ(dir.Count(), 2u); // lp and the document: no temporary left
}

} // namespace

// ---------------------------------------------------------------------------
// qbarcode form

// The pixels of one control's rectangle, for the reader.
testsupport::Decoded DecodeRegion(const Image& img, int left, int top, int width, int height)
{
    std::vector<const std::uint32_t*> rows;
    std::vector<std::uint32_t> pixels;
    pixels.reserve(static_cast<std::size_t>(width) * height);
    for (int y = top; y < top + height; ++y)
        for (int x = left; x < left + width; ++x)
            pixels.push_back(img.At(x, y));
    for (int y = 0; y < height; ++y)
        rows.push_back(pixels.data() + static_cast<std::size_t>(y) * width);
    return testsupport::ReadLinear(rows.data(), width, height);
}

TEST(CliForm, RenderPaintsEveryControlReadably)
{
    struct Control {
        const char* type;
        const char* text;
        const char* orientation;
        const char* checkSum;
        int left, top, width, height;
        const char* decoded;
    };
    const Control controls[] = {
        {"bcCode128B", "Form-128", "toLeftRight", "csNone", 10, 10, 300, 100, "Form-128"},
        {"bcCodeEAN13", "590123412345", "toTopBottom", "csModulo10", 330, 10, 110, 260, "5901234123457"},
        {"bcCode39", "CODE 39", "toTopBottom", "csNone", 460, 10, 110, 300, "CODE 39"},
        {"bcCode93", "NINETY3", "toLeftRight", "csNone", 10, 130, 300, 100, "NINETY3"},
    };
    std::string form = "object Form1: TForm\n  Width = 600\n  Height = 330\n  Color = clWhite\n";
    int n = 0;
    for (const Control& c : controls) {
        form += "  object BarCode" + std::to_string(++n) + ": TBarCode\n";
        form += "    Left = " + std::to_string(c.left) + "\n    Top = " + std::to_string(c.top) + "\n";
        form += "    Width = " + std::to_string(c.width) + "\n    Height = " + std::to_string(c.height) + "\n";
        form += std::string("    BarType = ") + c.type + "\n    BarCode = '" + c.text + "'\n";
        form += std::string("    Modul = 1\n    Ratio = 2.5\n    CheckSum = ") + c.checkSum +
                "\n    TextShow = tsBarCode\n";
        form += std::string("    Orientation = ") + c.orientation + "\n  end\n";
    }
    form += "end\n";
    TempDir dir;
    std::ofstream(dir / "form.txt", std::ios::binary) << form;
    const Result r = Qbarcode("form render " + dir / "form.txt" + " -o " + dir / "form.png");
    ASSERT_EQ(r.status, 0) << r.err;
    const Image img = LoadPng(dir / "form.png");
    ASSERT_EQ(img.width, 600);
    ASSERT_EQ(img.height, 330);
    for (const Control& c : controls) {
        const testsupport::Decoded d = DecodeRegion(img, c.left, c.top, c.width, c.height);
        EXPECT_TRUE(d.found) << c.type;
        EXPECT_EQ(d.text, c.decoded) << c.type;
    }
    for (const char* vector : {"form.svg", "form.pdf"}) {
        const Result v = Qbarcode("form render " + dir / "form.txt" + " -o " + dir / vector);
        EXPECT_EQ(v.status, 0) << v.err;
    }
    const std::string svg = testsupport::ReadFile(dir / "form.svg");
    EXPECT_NE(svg.find(">Form-128<"), std::string::npos) << "captions stay text";
    EXPECT_EQ(testsupport::ReadFile(dir / "form.pdf").rfind("%PDF", 0), 0u);
}

// A form may hold data-aware controls. Rendered as the designer shows it, a
// TDBBarcode shows the text its file stores; a data source it names must be
// in the form, as any reference must.
TEST(CliForm, DataAwareControlsAreKnown)
{
    const Result props = Qbarcode("form properties TDBBarcode");
    ASSERT_EQ(props.status, 0) << props.err;
    EXPECT_EQ(std::count(props.out.begin(), props.out.end(), '\n'), 83);
    EXPECT_NE(props.out.find("\nBarCode String none\n"), std::string::npos) << props.out;
    EXPECT_TRUE(props.out.ends_with("\nDataField String none\nDataSource TDataSource nil\nReadOnly Boolean False\n"))
        << props.out;

    struct Row {
        const char* root;   // the file's root class
        const char* link;   // the control's data properties
        const char* others; // other components of the form
        const char* error;  // nullptr: renders the stored text
    };
    // A panel at the root resolves the reference too (it owns what is nested
    // in it); only a form paints its controls.
    const char* const source = "  object Source1: TDataSource\n  end\n";
    const char* const linked = "    DataField = 'code'\n    DataSource = Source1\n";
    const Row rows[] = {
        {"TForm", "", "", nullptr},
        {"TForm", "    DataField = 'code'\n", "", nullptr},
        {"TForm", linked, source, nullptr},
        {"TPanel", linked, source, nullptr},
        {"TForm", linked, "", ":13: DataSource: Component Source1 not found\n"},
    };
    TempDir dir;
    for (const Row& row : rows) {
        const std::string form = std::string("object Form1: ") + row.root +
                                 "\n  Width = 320\n  Height = 120\n  Color = clWhite\n"
                                 "  object DBBarcode1: TDBBarcode\n    Left = 10\n    Top = 10\n"
                                 "    Width = 300\n    Height = 100\n    BarType = bcCode128B\n"
                                 "    BarCode = 'DB-42'\n" +
                                 row.link + "  end\n" + row.others + "end\n";
        std::ofstream(dir / "db.txt", std::ios::binary | std::ios::trunc) << form;
        const Result r = Qbarcode("form render " + dir / "db.txt" + " -o " + dir / "db.png");
        if (row.error) {
            EXPECT_EQ(r.status, 1) << form;
            EXPECT_EQ(r.err, dir / "db.txt" + row.error);
            EXPECT_FALSE(testsupport::FileExists(dir / "db.png"));
            continue;
        }
        ASSERT_EQ(r.status, 0) << r.err << form;
        const Image img = LoadPng(dir / "db.png");
        std::filesystem::remove(dir / "db.png");
        if (std::string(row.root) != "TForm")
            continue;
        const testsupport::Decoded d = DecodeRegion(img, 10, 10, 300, 100);
        EXPECT_TRUE(d.found) << form;
        EXPECT_EQ(d.text, "DB-42") << form;
    }
}

TEST(CliForm, NewPipesIntoRender)
{
    TempDir dir;
    const std::string cmd = std::string(QBARCODE_BIN) +
                            " form new --name Price --type ean13 --text 590123412345 --checksum --modul 2 -o - | " +
                            QBARCODE_BIN + " form render - -o " + dir / "x.png";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const testsupport::Decoded d = Decode(LoadPng(dir / "x.png"));
    EXPECT_TRUE(d.found);
    EXPECT_EQ(d.text, "5901234123457");

    const Result file = Qbarcode("form new --type code39 --text ABC --angle 90 --left 4 --top 6 -o " + dir / "f.txt");
    ASSERT_EQ(file.status, 0) << file.err;
    const std::string text = testsupport::ReadFile(dir / "f.txt");
    EXPECT_NE(text.find("  object BarCode1: TBarCode\n    Left = 4\n    Top = 6\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Orientation = toBottomTop"), std::string::npos) << text;
    EXPECT_EQ(Qbarcode("form new --type code39 --text ABC --angle 45 -o -").status, 2);
}

// Each caption choice of the command selects its own enumerator: the form
// the command writes names it (the control's defaults, tsNone and
// tpBottomCenter, are left out), and an unknown choice is refused.
TEST(CliForm, CaptionChoicesSelectTheirEnumerators)
{
    const struct {
        const char *show, *position, *showLine, *positionLine;
    } rows[] = {
        {"none", "top-left", nullptr, "TextPosition = tpTopLeft\n"},
        {"code", "top-right", "TextShow = tsBarCode\n", "TextPosition = tpTopRight\n"},
        {"type", "top-center", "TextShow = tsBarType\n", "TextPosition = tpTopCenter\n"},
        {"both", "bottom-left", "TextShow = tsBoth\n", "TextPosition = tpBottomLeft\n"},
        {"code", "bottom-right", "TextShow = tsBarCode\n", "TextPosition = tpBottomRight\n"},
        {"code", "bottom-center", "TextShow = tsBarCode\n", nullptr},
    };
    for (const auto& row : rows) {
        const Result r = Qbarcode(std::string("form new --type code39 --text ABC --caption ") + row.show +
                                  " --caption-pos " + row.position + " -o -");
        ASSERT_EQ(r.status, 0) << r.err;
        for (const char* line : {row.showLine, row.positionLine}) {
            if (line) {
                EXPECT_NE(r.out.find(line), std::string::npos) << row.show << " " << row.position << "\n" << r.out;
            }
        }
        EXPECT_EQ(r.out.find("TextShow") != std::string::npos, row.showLine != nullptr) << r.out;
        EXPECT_EQ(r.out.find("TextPosition") != std::string::npos, row.positionLine != nullptr) << r.out;
    }
    EXPECT_EQ(Qbarcode("form new --type code39 --text ABC --caption top -o -").status, 2);
    EXPECT_EQ(Qbarcode("form new --type code39 --text ABC --caption-pos center -o -").status, 2);
}

TEST(CliForm, BadFormFilesSayWhyAndWriteNothing)
{
    struct Row {
        const char* form;
        const char* message; // after "<file>:"
    };
    const Row rows[] = {
        {"object Form1: TForm\n  object B: TBarCode\n    BarType = bcCode40\n  end\nend\n",
         "3: BarType: 'bcCode40' is not a TBarType value"},
        {"object Form1: TForm\n  object B: TBarCode\n    BarType = bcCodeEAN13\n    BarCode = 'x1'\n  end\nend\n",
         "4: BarCode: x1: Barcode must be numeric."},
    };
    TempDir dir;
    for (const Row& row : rows) {
        std::ofstream(dir / "bad.txt", std::ios::binary | std::ios::trunc) << row.form;
        const Result r = Qbarcode("form render " + dir / "bad.txt" + " -o " + dir / "bad.png");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, dir / "bad.txt" + ":" + row.message + "\n");
        EXPECT_FALSE(testsupport::FileExists(dir / "bad.png"));
    }
}

TEST(CliForm, PropertiesListsTheControlsEightyInOrder)
{
    const Result r = Qbarcode("form properties TBarCode");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 80);
    EXPECT_EQ(r.out.rfind("Name String none\nTag Integer 0\nLeft Integer none\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\nBarType TBarType bcCode39\nBarCode String none\nBarHeight Integer 0\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nAnchors TAnchors [akLeft, akTop]\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nColor TColor clBtnFace\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nOnChange TNotifyEvent nil\n"), std::string::npos);
    const Result j = Qbarcode("form properties TBarCode --json");
    EXPECT_EQ(j.out.front(), '[');
    std::size_t entries = 0;
    for (std::size_t at = j.out.find("{\"name\""); at != std::string::npos; at = j.out.find("{\"name\"", at + 1))
        ++entries;
    EXPECT_EQ(entries, 80u);
    EXPECT_EQ(Qbarcode("form properties TNothing").err, "Class TNothing not found\n");
}

namespace {

testsupport::LineImage AsLineImage(const Image& img)
{
    return {img.width, img.height, img.pixels};
}

// What draw writes for Code 128 and GS1-128 reads back as the text or the
// element strings given: the symbology identifier says GS1 for GS1-128, and
// FNC1 (a GS for the readers) follows only data of variable length that is
// not the last. zbar reads every GS1-128 symbol too.
TEST(CliSymbologies, Code128AndGs1_128ReadBackAsGiven)
{
    struct Row {
        std::string type, text, options;
        std::string read, symbology; // the bytes the readers report, and its identifier
    };
    const Row rows[] = {
        {"code128", "Hello, World", "", "Hello, World", "]C0"},
        // UTF-8 on the command line, Latin-1 in the symbol (FNC4 and set B).
        {"code128",
         "Gr\xc3\xb6\xc3\x9f"
         "e 12345",
         "--angle 90 --caption both",
         "Gr\xf6\xdf"
         "e 12345",
         "]C0"},
        {"code128", "ab1234cd56789x", "--modul 3", "ab1234cd56789x", "]C0"},
        {"gs1-128", "(01)09501101530003(17)261231(10)AB-123", "",
         "010950110153000317261231"
         "10AB-123",
         "]C1"},
        {"gs1-128", "(10)AB-123(01)09501101530003", "--caption none",
         "10AB-123\x1d"
         "0109501101530003",
         "]C1"},
        {"gs1-128", "(01)09501101530003(21)12345(15)270101", "--modul 1",
         "0109501101530003"
         "2112345\x1d"
         "15270101",
         "]C1"},
        // The raw form, FNC1 in first place left out.
        {"gs1-128",
         "0109501101530003"
         "21X7",
         "--angle 180",
         "0109501101530003"
         "21X7",
         "]C1"},
        {"gs1-128", "(8200)http://example.com(01)09501101530003", "--caption type",
         "8200http://example.com\x1d"
         "0109501101530003",
         "]C1"},
    };
    TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type + " " + row.text + " " + row.options);
        const std::string png = dir / "s.png";
        const Result r =
            Qbarcode("draw --type " + row.type + " --text '" + row.text + "' " + row.options + " -o " + png);
        ASSERT_EQ(r.status, 0) << r.err;
        const Image img = LoadPng(png);
        const testsupport::Decoded zxing = Decode(img);
        ASSERT_TRUE(zxing.found);
        EXPECT_EQ(zxing.format, "Code128");
        EXPECT_EQ(zxing.symbology, row.symbology);
        EXPECT_EQ(zxing.bytes, row.read);
        if (row.symbology == "]C1" && row.options.find("--angle") == std::string::npos) {
            const testsupport::Decoded zbar = testsupport::ReadWithZbar(AsLineImage(img));
            ASSERT_TRUE(zbar.found);
            EXPECT_EQ(zbar.symbology, "]C1");
            EXPECT_EQ(zbar.text, row.read);
        }
    }
    // What encode says of them: the human-readable text of GS1, the text as given.
    const Result gs1 = Qbarcode("encode --type GS1-128 --text '(01)09501101530003(17)261231(10)AB-123' --json");
    EXPECT_NE(gs1.out.find("\"type\": \"gs1-128\", \"text\": \"(01)09501101530003(17)261231(10)AB-123\""),
              std::string::npos)
        << gs1.out;
    EXPECT_NE(gs1.out.find("\"caption\": \"(01) 09501101530003 (17) 261231 (10) AB-123\""), std::string::npos);
    const Result latin = Qbarcode("encode --type Code128 --text 'Gr\xc3\xb6\xc3\x9f"
                                  "e'");
    EXPECT_NE(latin.out.find("text:          Gr\xc3\xb6\xc3\x9f"
                             "e\n"),
              std::string::npos)
        << latin.out;
    EXPECT_NE(latin.out.find("caption:       Gr\xc3\xb6\xc3\x9f"
                             "e\n"),
              std::string::npos)
        << latin.out;
    const Result latinJson = Qbarcode("encode --type code128 --text 'Gr\xc3\xb6\xc3\x9f"
                                      "e' --json");
    EXPECT_NE(latinJson.out.find("\"text\": \"Gr\\u00f6\\u00dfe\""), std::string::npos) << latinJson.out;

    const Result types = Qbarcode("types");
    EXPECT_NE(types.out.find("\n+   (command only)           Code128              code128        no\n"
                             "+   (command only)           GS1-128              gs1-128        no\n"),
              std::string::npos)
        << types.out;
}

// --caption retail: EAN and UPC, with an add-on, read back whole; the image
// holds the digits outside the bars, and measure describes it.
TEST(CliSymbologies, RetailCaptionsReadBackWithTheirAddOns)
{
    struct Row {
        std::string options, read;
    };
    const Row rows[] = {
        {"--type ean13 --text 590123412345 --add-on 52495", "5901234123457 52495"},
        {"--type ean13 --text 9780201379624 --quiet-zone-marks", "9780201379624"},
        {"--type upca --text 03600029145 --add-on 12 --angle 90 --quiet-zone-marks", "036000291452 12"},
        {"--type upce0 --text 505646 --modul 3", "05056460"},
        {"--type ean8 --text 9638507 --add-on 12 --angle 270", "96385074 12"},
    };
    TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.options);
        const std::string options = row.options + " --caption retail";
        const Image img = Drawn(options, dir);
        std::vector<const std::uint32_t*> lines;
        for (int y = 0; y < img.height; ++y)
            lines.push_back(img.pixels.data() + static_cast<std::size_t>(y) * img.width);
        const testsupport::Decoded d = testsupport::ReadWithAddOn(lines.data(), img.width, img.height);
        ASSERT_TRUE(d.found);
        EXPECT_EQ(d.text, row.read);
        const Result m = Qbarcode("measure --json " + options);
        EXPECT_NE(m.out.find("\"image\": {\"width\": " + std::to_string(img.width) +
                             ", \"height\": " + std::to_string(img.height) + "}"),
                  std::string::npos)
            << m.out << m.err;
    }
    // Upright, the first digit stands left of the bars, within the image, and
    // the quiet zone of the bars is white.
    const Image ean = Drawn("--type ean13 --text 5901234123457 --caption retail --height 40", dir);
    int firstBar = 0;
    while (firstBar < ean.width && ean.At(firstBar, 0) != 0)
        ++firstBar;
    EXPECT_EQ(firstBar, 11 * 2); // the quiet zone: 11 modules of 2 pixels
    bool digit = false;
    for (int x = 0; x < firstBar; ++x)
        for (int y = 40; y < ean.height; ++y)
            digit = digit || ean.At(x, y) == 0;
    EXPECT_TRUE(digit);
}

// Options of the new symbologies and captions that do not go together, and
// data they refuse, say why; a usage error exits with 2 before any file.
TEST(CliSymbologies, RefusalsSayWhatIsWrong)
{
    struct Case {
        std::string args;
        int status;
        std::string err; // exact standard error
    };
    const Case cases[] = {
        {"encode --type gs1-128 --text '(01)09501101530004'", 1, "(01): check digit should be 3\n"},
        {"encode --type gs1-128 --text '(01)09501101530003(17)261340'", 1, "(17): 261340 is not a date\n"},
        {"encode --type gs1-128 --text '(23)1'", 1, "(23): unknown application identifier\n"},
        {"encode --type gs1-128 --text '(10)ABCDEFGHIJKLMNOPQRSTU'", 1, "(10): longer than 20 characters\n"},
        {"encode --type gs1-128 --text '(21)\xc2\xa3"
         "5'",
         1, "(21): character '\xc2\xa3' not allowed\n"},
        {"draw --type gs1-128 --text ' ' -o x.png", 1, "no text to encode\n"},
        {"encode --type code128 --text '\xce\xa9"
         "1'",
         1,
         "\xce\xa9"
         "1: '\xce\xa9' is not a Latin-1 character\n"},
        {"encode --type code128 --text A --checksum", 0,
         "warning: --checksum has no effect on Code128, which has no optional check character\n"},
        {"encode --type ean13 --text 590123412345 --add-on 123", 1, "123 : an add-on has 2 or 5 digits.\n"},
        {"encode --type code39 --text A --add-on 12", 2,
         "--add-on goes with EAN-8, EAN-13, UPC-A and UPC-E, not Code39\n"},
        {"print --type upc5 --text 52495 --add-on 12 -o x.pdf", 2,
         "--add-on goes with EAN-8, EAN-13, UPC-A and UPC-E, not UPC Supp5\n"},
        {"draw --type code39 --text A --caption retail -o x.png", 2,
         "--caption retail goes with EAN-8, EAN-13, UPC-A, UPC-E and the supplements, not Code39\n"},
        {"measure --type gs1-128 --text '(01)09501101530003' --caption retail --units mm", 2,
         "--caption retail goes with EAN-8, EAN-13, UPC-A, UPC-E and the supplements, not GS1-128\n"},
        {"form new --type code128 --text A -o x.txt", 2,
         "form new: a TBarCode cannot hold Code128 (its BarType is one of the 23 of 'qbarcode types'); draw it "
         "with 'qbarcode draw'\n"},
        {"draw --type ean13 --text 590123412345 --quiet-zone-marks -o x.png", 2,
         "--quiet-zone-marks goes with --caption retail\n"},
        {"form new --type ean13 --text 590123412345 --caption retail -o x.txt", 2,
         "form new: a TBarCode has no retail caption (its TextShow is none, code, type or both)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const Result r = Qbarcode(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_FALSE(fs::exists("x.png"));
}

// A batch prints for each line what one call prints for it as a text (a
// blank line between two reports, one JSON object a line with --json, one
// for a failed line too), names the failed lines on standard error and
// exits with 1 when one failed.
TEST(CliBatch, EncodeAndMeasureEachLineAsOneCallWould)
{
    struct Case {
        std::string command;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"encode --type ean13", {"590123412345", "12A", "4006381333931"}},
        {"encode --type ean13 --json --modules", {"590123412345", "5901234123458", "96385074"}},
        {"encode --type gs1-128 --json",
         {"(01)09501101530003(10)AB-123", "(01)09501101530004", "(00)106141411234567897"}},
        {"measure --type code128 --caption both",
         {"Hello", "",
          "Gr\xc3\xb6\xc3\x9f"
          "e"}},
        {"measure --type ean13 --json --units mm --dpi 300", {"590123412345", "1", "X"}},
        {"measure --type upca --caption retail --add-on 12 --json", {"03600029145", "036000291452"}},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        std::string input, out, err;
        int status = 0;
        long long n = 0;
        const bool json = c.command.find("--json") != std::string::npos;
        for (const std::string& line : c.lines) {
            input += line + (++n == 2 ? "\r\n" : "\n"); // a CR before the line feed is dropped
            std::ofstream(dir / "line.txt", std::ios::binary) << line;
            const Result one = Qbarcode(c.command + " --text-file " + dir / "line.txt");
            if (one.status == 0) {
                out += (json || out.empty() ? "" : "\n") + one.out;
                continue;
            }
            status = 1;
            std::string message = one.err.substr(0, one.err.size() - 1);
            err += "line " + std::to_string(n) + ": " + one.err;
            if (json) {
                std::string escaped;
                for (char ch : message)
                    escaped += ch == '"' ? std::string("\\\"") : std::string(1, ch);
                out += "{\"line\": " + std::to_string(n) + ", \"error\": \"" + escaped + "\"}\n";
            }
        }
        const Result batch = Qbarcode(c.command + " --batch -", input);
        EXPECT_EQ(batch.status, status);
        EXPECT_EQ(batch.out, out);
        EXPECT_EQ(batch.err, err);
        std::ofstream(dir / "lines.txt", std::ios::binary) << input;
        EXPECT_EQ(Qbarcode(c.command + " --batch " + dir / "lines.txt").out, out);
    }
    // A text given beside a batch would be left unread: a usage error.
    for (const char* command : {"encode", "measure", "draw -o x.png"})
        for (const std::string& text : {std::string("--text 1"), "--text-file " + dir / "line.txt"}) {
            SCOPED_TRACE(std::string(command) + " " + text);
            EXPECT_EQ(Qbarcode(std::string(command) + " --type ean13 --batch - " + text, "1\n").status, 2);
        }
    EXPECT_FALSE(fs::exists("x.png"));
    EXPECT_EQ(Qbarcode("measure --type ean13 --batch " + dir / "none.txt").err,
              "Cannot read \"" + dir / "none.txt" + "\"\n");
}

} // namespace
