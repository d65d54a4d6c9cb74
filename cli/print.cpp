// qbarcode print and measure: barcodes in millimetres or inches.
#include "common.h"
#include "render.h"

#include "qbarcode/printers.h"
#include "qbarcode/sysutils.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <memory>

using namespace qb;

namespace {

TUnits ParseUnits(const std::string& text)
{
    return text == "in" ? utInch : utMillimeter;
}

// A length of printer pixels at `dpi` in the user's unit, to two decimals.
std::string InUnits(double pixels, int dpi, TUnits units)
{
    const double inches = pixels / dpi;
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", units == utInch ? inches : inches * 25.4);
    return text;
}

std::string MmInUnits(double mm, TUnits units)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", units == utInch ? mm / 25.4 : mm);
    return text;
}

// The library draws wherever it is told; a page is refused when the drawing
// lies partly or wholly off the paper, rather than written with bars cut off
// or missing.
void RequireOnPaper(const TRect& drawing, TPrinter& printer, TUnits units)
{
    if (drawing.Left >= 0 && drawing.Top >= 0 && drawing.Right <= printer.PageWidth() &&
        drawing.Bottom <= printer.PageHeight())
        return;
    const std::string unit = units == utInch ? " in" : " mm";
    const int dx = printer.XResolution(), dy = printer.YResolution();
    throw Exception("The barcode does not fit on the paper: it spans " + InUnits(drawing.Left, dx, units) + " to " +
                    InUnits(drawing.Right, dx, units) + unit + " across and " + InUnits(drawing.Top, dy, units) +
                    " to " + InUnits(drawing.Bottom, dy, units) + unit + " down; the paper is " +
                    MmInUnits(printer.PageWidthMm(), units) + " x " + MmInUnits(printer.PageHeightMm(), units) + unit +
                    ".");
}

struct PrintOptions {
    EncodingOptions encoding;
    AppearanceOptions appearance;
    std::string units = "mm";
    double left = 10, top = 10, height = kDefaultHeightMm, modul = kDefaultModulMm;
    std::string dpi = "600";
    std::string paper = "a4";
    bool landscape = false;
    std::string output, printer, title = "qbarcode";
};

// Where a barcode goes on the printer's page, in printer pixels: the left
// edge along x, the top and the bar height along y, as the printing routines
// convert them.
struct PrinterPlace {
    std::int32_t x, y, h;
};

PrinterPlace PlaceOnPaper(TUnits units, double left, double top, double height)
{
    return {PrinterPixels(units, left, true), PrinterPixels(units, top, false), PrinterPixels(units, height, false)};
}

// One barcode encoded for the printer's resolution, with the style and font
// it is printed in.
struct PrintedBarcode {
    BarcodeStyle style;
    TFont font;
    StyledSymbol symbol;
};

void Prepare(PrintedBarcode& b, const EncodingOptions& encoding, const AppearanceOptions& appearance, TUnits units,
             double modul, const std::string& given)
{
    appearance.Apply(b.style);
    b.style.symbology = encoding.Type();
    b.style.addOn = encoding.addOn;
    b.style.ratio = encoding.ratio;
    RequireCaptionFits(b.style);
    MakeFont(b.style, b.font);
    const TextToEncode prepared = encoding.Prepare(b.style.symbology, given);
    b.style.checksum = prepared.checksum;
    b.symbol = EncodeStyled(b.style, prepared.text, PrinterPixels(units, modul, true));
}

// A length of printer pixels in whole units, rounded as the printing
// routines round their measures.
double WholeUnits(std::int64_t pixels, int dpi, TUnits units)
{
    const long double v = units == utInch ? pixels / static_cast<long double>(dpi) : 25.4L * pixels / dpi;
    return static_cast<double>(Round(v));
}

// Configures the global printer for one job and prints on it; the job is
// aborted (its file removed) when anything fails.
void PrintJob(const PrintOptions& o, const std::string& file)
{
    TPrinter& printer = *Printer();
    const PrinterResolution dpi = ParsePrinterResolution(o.dpi);
    printer.SetResolution(dpi.x, dpi.y);
    printer.SetPaperSize(o.paper == "letter" ? TPaperSize::Letter : TPaperSize::A4);
    printer.SetOrientation(o.landscape ? poLandscape : poPortrait);
    const TUnits units = ParseUnits(o.units);
    RequirePrinterPixel("--modul", o.modul, units, dpi.x);
    RequirePrinterPixel("--height", o.height, units, dpi.y);

    PrintedBarcode b;
    Prepare(b, o.encoding, o.appearance, units, o.modul, o.encoding.Text());
    const PrinterPlace at = PlaceOnPaper(units, o.left, o.top, o.height);
    RequireOnPaper(StyledBounds(printer.Canvas(), b.style, b.symbol, b.font, at.x, at.y, at.h), printer, units);
    RunPrintJob(printer, file, o.printer, o.title,
                [&] { PaintStyled(printer.Canvas(), b.style, b.symbol, b.font, at.x, at.y, at.h); });
}

// The image draw writes and the routines' measures, in pixels.
void MeasurePixels(const EncodingOptions& encoding, BarcodeStyle style, const std::string& given, bool json,
                   const char* separator)
{
    const TextToEncode prepared = encoding.Prepare(style.symbology, given);
    style.checksum = prepared.checksum;
    const ImageSize drawn = BarcodeImageSize(style, prepared.text);
    const qb::EncodedSymbol symbol = EncodeStyled(style, prepared.text, style.modul).Symbol();
    const std::int32_t width = symbol.BarWidth;
    const std::int32_t canvasWidth = qb::SymbolCanvasWidth(symbol, style.height, style.angle);
    const std::int32_t canvasHeight = qb::SymbolCanvasHeight(symbol, style.height, style.angle);
    std::fputs(json ? "" : separator, stdout);
    if (json)
        std::printf("{\"unit\": \"px\", \"image\": {\"width\": %d, \"height\": %d}, \"Q_GetBarWidth\": %d, "
                    "\"Q_GetCanvasWidth\": %d, \"Q_GetCanvasHeight\": %d}\n",
                    drawn.width, drawn.height, width, canvasWidth, canvasHeight);
    else
        std::printf("image:             %d x %d px (what draw writes: quiet zone and caption included)\n"
                    "Q_GetBarWidth:     %d px\n"
                    "Q_GetCanvasWidth:  %d px (across the code at 0 degrees)\n"
                    "Q_GetCanvasHeight: %d px (along the code at 0 degrees)\n",
                    drawn.width, drawn.height, width, canvasWidth, canvasHeight);
}

// What print draws and the printing routines' measures, in the unit and in
// printer pixels.
void MeasurePrinted(const EncodingOptions& encoding, const AppearanceOptions& appearance, const std::string& given,
                    TUnits u, double modul, double height, bool json, const char* separator)
{
    TPrinter& printer = *Printer();
    const int dpiX = printer.XResolution(), dpiY = printer.YResolution();
    PrintedBarcode b;
    Prepare(b, encoding, appearance, u, modul, given);
    const qb::EncodedSymbol& symbol = b.symbol.Symbol();
    const double angle = b.style.angle;
    // The library's measures are whole units: the canvas extents take the
    // bar height along x, as its printed measuring routines do.
    const std::int32_t acrossH = PrinterPixels(u, height, true);
    const std::int32_t widthPx = symbol.BarWidth;
    const double width = WholeUnits(widthPx, dpiX, u);
    const double canvasWidth = WholeUnits(qb::SymbolCanvasWidth(symbol, acrossH, angle), dpiX, u);
    const double canvasHeight = WholeUnits(qb::SymbolCanvasHeight(symbol, acrossH, angle), dpiY, u);
    // Beside them, the printer pixels that will be printed (bars only), exactly.
    const PrinterPlace at = PlaceOnPaper(u, 0, 0, height);
    const TRect box = qb::SymbolBounds(printer.Canvas(), symbol, at.x, at.y, at.h, nullptr, tsNone, tpTopLeft, angle);
    const long long acrossPx = static_cast<long long>(box.Bottom) - box.Top; // along the paper's y
    const long long alongPx = static_cast<long long>(box.Right) - box.Left;  // along the paper's x
    // What print draws: the bars with the caption.
    const TRect drawing = StyledBounds(printer.Canvas(), b.style, b.symbol, b.font, at.x, at.y, at.h);
    const long long drawingX = static_cast<long long>(drawing.Right) - drawing.Left;
    const long long drawingY = static_cast<long long>(drawing.Bottom) - drawing.Top;
    const std::string unit = u == utInch ? "in" : "mm";
    std::fputs(json ? "" : separator, stdout);
    if (json) {
        std::printf("{\"unit\": \"%s\", \"bar_width\": %g, \"canvas_width\": %g, \"canvas_height\": %g, "
                    "\"printer_pixels\": {\"bar_width\": %d, \"canvas_width\": %lld, \"canvas_height\": %lld, "
                    "\"printed\": {\"width\": %lld, \"height\": %lld}, \"dpi\": [%d, %d]}}\n",
                    unit.c_str(), width, canvasWidth, canvasHeight, widthPx, acrossPx, alongPx, drawingX, drawingY,
                    dpiX, dpiY);
        return;
    }
    auto exact = [&](long long pixels, int perInch) {
        return std::to_string(pixels) + " printer pixels = " + InUnits(static_cast<double>(pixels), perInch, u) + " " +
               unit + " at " + std::to_string(perInch) + " dpi";
    };
    std::printf("printed:       %s x %s %s (what print draws, caption included: %lld x %lld printer pixels at "
                "%d x %d dpi)\n",
                InUnits(static_cast<double>(drawingX), dpiX, u).c_str(),
                InUnits(static_cast<double>(drawingY), dpiY, u).c_str(), unit.c_str(), drawingX, drawingY, dpiX, dpiY);
    std::printf("bar width:     %g %s (%s)\n", width, unit.c_str(), exact(widthPx, dpiX).c_str());
    std::printf("canvas width:  %g %s (across the code at 0 degrees; %s)\n", canvasWidth, unit.c_str(),
                exact(acrossPx, dpiY).c_str());
    std::printf("canvas height: %g %s (along the code at 0 degrees; %s)\n", canvasHeight, unit.c_str(),
                exact(alongPx, dpiX).c_str());
}

} // namespace

std::function<int()> AddPrintCommand(CLI::App& app)
{
    auto* cmd = app.add_subcommand("print", "Print a barcode on a page, sized in millimetres or inches");
    auto o = std::make_shared<PrintOptions>();
    o->encoding.Add(*cmd, "");
    o->encoding.AddAddOn(*cmd);
    cmd->add_option("--units", o->units, "Unit of the sizes: mm or in")
        ->check(CLI::IsMember({"mm", "in"}))
        ->capture_default_str();
    // The defaults are millimetres; with --units in, the same lengths in inches.
    auto* left = cmd->add_option("--left", o->left, "Left edge of the drawing on the paper")->capture_default_str();
    auto* top = cmd->add_option("--top", o->top, "Top edge of the drawing on the paper")->capture_default_str();
    auto* height = cmd->add_option("--height", o->height, "Bar height")->capture_default_str();
    auto* modul = cmd->add_option("--modul,-m", o->modul, "Narrow module width in the unit")->capture_default_str();
    o->appearance.Add(*cmd);
    cmd->add_option("--dpi", o->dpi, "Printer resolution: 600, or 600x1200 for x by y")->capture_default_str();
    cmd->add_option("--paper", o->paper, "a4 or letter")->check(CLI::IsMember({"a4", "letter"}))->capture_default_str();
    cmd->add_flag("--landscape", o->landscape, "Turn the paper");
    cmd->add_option("--title", o->title, "Job title")->capture_default_str();
    auto* out = cmd->add_option("-o,--output", o->output, "Output file: .pdf or .ps (PostScript)");
    auto* queue = cmd->add_option("--printer", o->printer, "Send the job to this print queue (lp)");
    return [o, out, queue, left, top, height, modul] {
        if (o->units == "in")
            for (auto [option, value] :
                 {std::pair{left, &o->left}, {top, &o->top}, {height, &o->height}, {modul, &o->modul}})
                if (option->count() == 0)
                    *value /= 25.4;
        if (out->count() == 0 && queue->count() == 0)
            throw UsageError("print: give -o FILE, --printer NAME, or both");
        if (out->count())
            PrintFormatOf(o->output);
        RefuseOverwritingInput("-o", o->output, {{"--text-file", o->encoding.textFile}});
        // The printer writes the document whole or not at all; when only its
        // submission to the print queue fails, the document is kept under its
        // own name and the message says so.
        PrintJob(*o, o->output);
        return 0;
    };
}

std::function<int()> AddMeasureCommand(CLI::App& app)
{
    auto* cmd = app.add_subcommand("measure", "Measure a barcode's image in pixels, or printed in mm or inches");
    auto o = std::make_shared<PrintOptions>();
    auto image = std::make_shared<ImageOptions>();
    auto json = std::make_shared<bool>(false);
    auto units = std::make_shared<std::string>();
    auto modul = std::make_shared<double>(kDefaultModulPixels);
    auto height = std::make_shared<double>(kDefaultHeightPixels);
    o->encoding.Add(*cmd, "");
    o->encoding.AddAddOn(*cmd);
    auto* modulOption = cmd->add_option("--modul,-m", *modul, "Narrow module: pixels (default 2), or in --units");
    auto* heightOption = cmd->add_option("--height", *height, "Bar height: pixels (default 60), or in --units");
    o->appearance.Add(*cmd);
    image->Add(*cmd, "");
    cmd->add_option("--units", *units, "Measure the printed barcode: mm or in")->check(CLI::IsMember({"mm", "in"}));
    cmd->add_option("--dpi", o->dpi, "Printer resolution with --units")->capture_default_str();
    cmd->add_flag("--json", *json, "Print one JSON object (with --batch: one per line)");
    auto batch = std::make_shared<std::string>();
    o->encoding.AddBatch(*cmd, *batch, "Measure the barcode of each line of FILE (- for standard input)");
    return [=] {
        BarcodeStyle style;
        o->appearance.Apply(style);
        // In a batch, a blank line between the reports of two lines.
        std::function<void(const std::string&, const char*)> measure;
        if (units->empty()) {
            auto whole = [](double v) { return v >= INT32_MIN && v <= INT32_MAX && v == std::trunc(v); };
            if (!whole(*modul) || !whole(*height))
                throw UsageError("measure: pixel sizes are whole numbers (use --units for mm or in)");
            for (auto [name, value] : {std::pair{"--modul", *modul}, {"--height", *height}})
                if (value < 1)
                    throw UsageError(std::string(name) + ": a size below 1 pixel draws nothing");
            o->encoding.modul = static_cast<std::int32_t>(*modul);
            image->height = static_cast<std::int32_t>(*height);
            style = DrawingStyle(o->encoding, o->appearance, *image);
            measure = [=](const std::string& given, const char* separator) {
                MeasurePixels(o->encoding, style, given, *json, separator);
            };
        } else {
            const PrinterResolution dpi = ParsePrinterResolution(o->dpi);
            Printer()->SetResolution(dpi.x, dpi.y);
            const TUnits u = ParseUnits(*units);
            // Not given: the sizes print takes by default, in the unit.
            const double perMm = u == utInch ? 1 / 25.4 : 1;
            if (modulOption->count() == 0)
                *modul = kDefaultModulMm * perMm;
            if (heightOption->count() == 0)
                *height = kDefaultHeightMm * perMm;
            RequirePrinterPixel("--modul", *modul, u, dpi.x);
            RequirePrinterPixel("--height", *height, u, dpi.y);
            o->encoding.Type(); // an unknown symbology is a usage error before any line is read
            measure = [=](const std::string& given, const char* separator) {
                MeasurePrinted(o->encoding, o->appearance, given, u, *modul, *height, *json, separator);
            };
        }
        if (batch->empty()) {
            measure(o->encoding.Text(), "");
            return 0;
        }
        long long measured = 0;
        return RunBatch(
            *batch,
            [&](const std::string& line, long long) {
                measure(line, measured > 0 ? "\n" : "");
                ++measured;
            },
            JsonErrorLines(*json));
    };
}
