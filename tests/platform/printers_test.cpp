// The global printer: device capabilities, jobs, files, and handing them to
// the print system (a stand-in `lp` on PATH).
#include "qbarcode/printers.h"
#include "qbarcode/sysutils.h"

#include "support/files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

using namespace qb;

namespace {

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::RunCommand;

class PrinterTest : public testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override
    {
        Printer()->Abort();
        Reset();
        if (!savedPath_.empty())
            setenv("PATH", savedPath_.c_str(), 1);
        std::filesystem::remove_all(Temp("bin"));
    }

    static void Reset()
    {
        TPrinter& p = *Printer();
        p.SetResolution(600, 600);
        p.SetPaperSize(TPaperSize::A4);
        p.SetOrientation(poPortrait);
        p.SetOutputFormat(TPrintFormat::Pdf);
        p.SetOutputFile("");
        p.SetPrinterName("");
        p.Title.clear();
    }

    // Named by process: ctest runs the tests of this suite side by side.
    std::string Temp(const std::string& name)
    {
        return testing::TempDir() + "printer_test_" + std::to_string(getpid()) + "_" + name;
    }

    // Puts a directory holding an `lp` made of `script` first on PATH (or, with
    // an empty script, a PATH without any lp).
    std::string InstallLp(const std::string& script)
    {
        const std::string dir = Temp("bin");
        mkdir(dir.c_str(), 0755);
        std::remove((dir + "/lp").c_str());
        if (!script.empty()) {
            std::ofstream(dir + "/lp") << "#!/bin/sh\n" << script;
            chmod((dir + "/lp").c_str(), 0755);
        }
        savedPath_ = std::getenv("PATH");
        setenv("PATH", script.empty() ? dir.c_str() : (dir + ":" + savedPath_).c_str(), 1);
        return dir;
    }

private:
    std::string savedPath_;
};

struct PageCase {
    TPaperSize paper;
    TPrinterOrientation orientation;
    int dpiX, dpiY;
    int width, height; // round(millimetres / 25.4 * resolution)
};

const PageCase kPages[] = {
    {TPaperSize::A4, poPortrait, 600, 600, 4961, 7016},       {TPaperSize::A4, poLandscape, 600, 600, 7016, 4961},
    {TPaperSize::Letter, poPortrait, 600, 1200, 5100, 13200}, {TPaperSize::Legal, poLandscape, 300, 300, 4200, 2550},
    {TPaperSize::A5, poPortrait, 72, 72, 420, 595},
};

TEST_F(PrinterTest, HandleReportsTheDeviceWithoutAJob)
{
    TPrinter& p = *Printer();
    for (const PageCase& c : kPages) {
        p.SetPaperSize(c.paper);
        p.SetOrientation(c.orientation);
        p.SetResolution(c.dpiX, c.dpiY);
        EXPECT_EQ(p.PageWidth(), c.width);
        EXPECT_EQ(p.PageHeight(), c.height);
        EXPECT_EQ(GetDeviceCaps(p.Handle(), LOGPIXELSX), c.dpiX);
        EXPECT_EQ(GetDeviceCaps(p.Handle(), LOGPIXELSY), c.dpiY);
        EXPECT_EQ(GetDeviceCaps(p.Handle(), HORZRES), c.width);
        EXPECT_EQ(GetDeviceCaps(p.Handle(), VERTRES), c.height);
        EXPECT_EQ(p.Canvas().Font().PixelsPerInch, c.dpiY);
    }
    EXPECT_THROW(p.SetResolution(0, 600), Exception);
}

TEST_F(PrinterTest, DrawingNeedsAJob)
{
    TPrinter& p = *Printer();
    EXPECT_FALSE(p.Printing());
    try {
        p.Canvas().FillRect({0, 0, 10, 10});
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "The printer is not printing: call BeginDoc before drawing");
    }
    EXPECT_GT(p.Canvas().TextWidth("12345"), 100) << "measuring works, at 600 pixels per inch";
    EXPECT_THROW(p.NewPage(), Exception);
    EXPECT_THROW(p.EndDoc(), Exception);
    try {
        p.BeginDoc();
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Cannot print: set an output file or a printer name");
    }
}

TEST_F(PrinterTest, BarsMeasureTheirPrinterPixelsInInches)
{
    if (RunCommand("command -v pdftoppm").empty())
        GTEST_SKIP() << "pdftoppm not installed";
    TPrinter& p = *Printer();
    const std::string path = Temp("bars.pdf");
    p.SetResolution(600, 1200);
    p.SetPaperSize(TPaperSize::Letter);
    p.SetOutputFile(path);
    p.Title = "Bars";
    p.BeginDoc();
    EXPECT_TRUE(p.Printing());
    EXPECT_THROW(p.SetResolution(300, 300), Exception);
    TCanvas& canvas = p.Canvas();
    canvas.Brush().SetColor(clBlack);
    canvas.FillRect({600, 1200, 900, 3600}); // x 1 to 1.5 inches, y 1 to 3 inches
    p.EndDoc();
    EXPECT_FALSE(p.Printing());

    // At 10 pixels per inch the bar is columns 10..14 and rows 10..29.
    RunCommand("pdftoppm -r 10 -gray -singlefile " + path + " " + path);
    std::string pgm = ReadFile(path + ".pgm");
    std::istringstream header(pgm);
    std::string magic;
    int width = 0, height = 0, maxval = 0;
    header >> magic >> width >> height >> maxval;
    ASSERT_EQ(width, 85);
    ASSERT_EQ(height, 110);
    const std::size_t start = static_cast<std::size_t>(header.tellg()) + 1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            bool bar = x >= 10 && x < 15 && y >= 10 && y < 30;
            ASSERT_EQ(static_cast<unsigned char>(pgm[start + y * width + x]) < 128, bar) << x << "," << y;
        }
    EXPECT_NE(RunCommand("pdfinfo " + path).find("Bars"), std::string::npos);
    std::remove(path.c_str());
    std::remove((path + ".pgm").c_str());
}

TEST_F(PrinterTest, PagesAbortAndPostScript)
{
    TPrinter& p = *Printer();
    const std::string path = Temp("job.ps");
    p.SetOutputFormat(TPrintFormat::PostScript);
    p.SetOutputFile(path);
    p.BeginDoc();
    p.NewPage();
    EXPECT_EQ(p.PageNumber(), 2);
    p.Abort();
    EXPECT_TRUE(p.Aborted());
    EXPECT_FALSE(FileExists(path));

    p.BeginDoc();
    EXPECT_FALSE(p.Aborted());
    p.NewPage();
    p.EndDoc();
    const std::string ps = ReadFile(path);
    EXPECT_EQ(ps.rfind("%!PS-Adobe-3.0", 0), 0u);
    EXPECT_NE(ps.find("%%Pages: 2"), std::string::npos);
    std::remove(path.c_str());
}

TEST_F(PrinterTest, UnwritableOutputFailsAtBeginDoc)
{
    TPrinter& p = *Printer();
    p.SetOutputFile("/nonexistent-dir/job.pdf");
    try {
        p.BeginDoc();
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Cannot create file \"/nonexistent-dir/job.pdf\": No such file or directory");
    }
    EXPECT_FALSE(p.Printing());
}

TEST_F(PrinterTest, EndDocSubmitsTheFileToLp)
{
    const std::string log = Temp("lp.log");
    std::remove(log.c_str());
    InstallLp("for a in \"$@\"; do echo \"$a\" >> " + log + "; done\n");
    TPrinter& p = *Printer();
    p.SetPrinterName("office");
    p.Title = "Labels";
    p.BeginDoc();
    p.EndDoc();
    std::istringstream args(ReadFile(log));
    std::string d, name, t, title, file;
    args >> d >> name >> t >> title >> file;
    EXPECT_EQ(d + " " + name + " " + t + " " + title, "-d office -t Labels");
    EXPECT_EQ(file.substr(file.size() - 4), ".pdf");
    EXPECT_FALSE(FileExists(file)) << "the temporary file is gone once submitted";
    std::remove(log.c_str());
}

TEST_F(PrinterTest, LpFailuresKeepTheFile)
{
    TPrinter& p = *Printer();
    const std::string path = Temp("kept.pdf");
    p.SetOutputFile(path);
    p.SetPrinterName("office");

    InstallLp("echo 'lp: The printer or class does not exist.' >&2\nexit 1\n");
    try {
        p.BeginDoc();
        p.EndDoc();
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Cannot print: lp failed (lp: The printer or class does not exist.); the document "
                             "was kept as \"" +
                                 path + "\"");
    }
    EXPECT_TRUE(FileExists(path));
    TearDown();

    InstallLp("");
    try {
        p.SetOutputFile(path);
        p.SetPrinterName("office");
        p.BeginDoc();
        p.EndDoc();
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Cannot print: the print system's lp command was not found; the document was kept as \"" +
                                 path + "\"");
    }
    EXPECT_TRUE(FileExists(path));
    std::remove(path.c_str());
}

} // namespace
