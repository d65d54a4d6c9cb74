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

    BarcodeStyle style;
    o.appearance.Apply(style);
    TFont font;
    MakeFont(style, font);
    const TBarType type = o.encoding.Type();
    const TextToEncode prepared = o.encoding.Prepare(type, o.encoding.Text());
    const std::string& text = prepared.text;
    RequireOnPaper(PrintedBounds(units, type, text, o.modul, o.encoding.ratio, prepared.checksum, o.left, o.top,
                                 o.height, &font, style.show, style.position, style.angle),
                   printer, units);
    RunPrintJob(printer, file, o.printer, o.title, [&] {
        Q_PrintBar(units, type, text, o.modul, o.encoding.ratio, prepared.checksum, o.left, o.top, o.height, &font,
                   style.show, style.position, style.barColor, style.spaceColor, style.captionColor, style.angle);
    });
}

} // namespace

std::function<int()> AddPrintCommand(CLI::App& app)
{
    auto* cmd = app.add_subcommand("print", "Print a barcode on a page, sized in millimetres or inches");
    auto o = std::make_shared<PrintOptions>();
    o->encoding.Add(*cmd, "");
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
    auto* modulOption = cmd->add_option("--modul,-m", *modul, "Narrow module: pixels (default 2), or in --units");
    auto* heightOption = cmd->add_option("--height", *height, "Bar height: pixels (default 60), or in --units");
    o->appearance.Add(*cmd);
    image->Add(*cmd, "");
    cmd->add_option("--units", *units, "Measure the printed barcode: mm or in")->check(CLI::IsMember({"mm", "in"}));
    cmd->add_option("--dpi", o->dpi, "Printer resolution with --units")->capture_default_str();
    cmd->add_flag("--json", *json, "Print one JSON object");
    return [=] {
        const TBarType type = o->encoding.Type();
        const TextToEncode prepared = o->encoding.Prepare(type, o->encoding.Text());
        const std::string& text = prepared.text;
        const double ratio = o->encoding.ratio;
        const TCheckSum cs = prepared.checksum;
        BarcodeStyle style;
        o->appearance.Apply(style);
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
            style.checksum = cs;
            const ImageSize drawn = BarcodeImageSize(style, text);
            const auto m = style.modul, h = style.height;
            const double angle = style.angle;
            const std::int32_t width = Q_GetBarWidth(type, text, m, ratio, cs);
            const std::int32_t canvasWidth = Q_GetCanvasWidth(type, text, m, ratio, cs, h, angle);
            const std::int32_t canvasHeight = Q_GetCanvasHeight(type, text, m, ratio, cs, h, angle);
            if (*json)
                std::printf("{\"unit\": \"px\", \"image\": {\"width\": %d, \"height\": %d}, \"Q_GetBarWidth\": %d, "
                            "\"Q_GetCanvasWidth\": %d, \"Q_GetCanvasHeight\": %d}\n",
                            drawn.width, drawn.height, width, canvasWidth, canvasHeight);
            else
                std::printf("image:             %d x %d px (what draw writes: quiet zone and caption included)\n"
                            "Q_GetBarWidth:     %d px\n"
                            "Q_GetCanvasWidth:  %d px (across the code at 0 degrees)\n"
                            "Q_GetCanvasHeight: %d px (along the code at 0 degrees)\n",
                            drawn.width, drawn.height, width, canvasWidth, canvasHeight);
            return 0;
        }
        const PrinterResolution dpi = ParsePrinterResolution(o->dpi);
        Printer()->SetResolution(dpi.x, dpi.y);
        const TUnits u = ParseUnits(*units);
        const std::string& unit = *units;
        // Not given: the sizes print takes by default, in the unit.
        const double perMm = u == utInch ? 1 / 25.4 : 1;
        if (modulOption->count() == 0)
            *modul = kDefaultModulMm * perMm;
        if (heightOption->count() == 0)
            *height = kDefaultHeightMm * perMm;
        RequirePrinterPixel("--modul", *modul, u, dpi.x);
        RequirePrinterPixel("--height", *height, u, dpi.y);
        const double angle = style.angle;
        const double width = Q_GetPrnBarWidth(u, type, text, *modul, ratio, cs);
        const double canvasWidth = Q_PrnCanvasWidth(u, type, text, *modul, ratio, cs, *height, angle);
        const double canvasHeight = Q_PrnCanvasHeight(u, type, text, *modul, ratio, cs, *height, angle);
        // The library's measures are whole units; beside them, the printer
        // pixels that will be printed (bars only), exactly.
        const std::int32_t widthPx = Q_GetBarWidth(type, text, PrinterPixels(u, *modul, true), ratio, cs);
        const TRect box =
            PrintedBounds(u, type, text, *modul, ratio, cs, 0, 0, *height, nullptr, tsNone, tpTopLeft, angle);
        const long long acrossPx = static_cast<long long>(box.Bottom) - box.Top; // along the paper's y
        const long long alongPx = static_cast<long long>(box.Right) - box.Left;  // along the paper's x
        // What print draws: the bars with the caption.
        TFont font;
        MakeFont(style, font);
        const TRect drawing =
            PrintedBounds(u, type, text, *modul, ratio, cs, 0, 0, *height, &font, style.show, style.position, angle);
        const long long drawingX = static_cast<long long>(drawing.Right) - drawing.Left;
        const long long drawingY = static_cast<long long>(drawing.Bottom) - drawing.Top;
        if (*json) {
            std::printf("{\"unit\": \"%s\", \"bar_width\": %g, \"canvas_width\": %g, \"canvas_height\": %g, "
                        "\"printer_pixels\": {\"bar_width\": %d, \"canvas_width\": %lld, \"canvas_height\": %lld, "
                        "\"printed\": {\"width\": %lld, \"height\": %lld}, \"dpi\": [%d, %d]}}\n",
                        unit.c_str(), width, canvasWidth, canvasHeight, widthPx, acrossPx, alongPx, drawingX, drawingY,
                        dpi.x, dpi.y);
            return 0;
        }
        auto exact = [&](long long pixels, int perInch) {
            return std::to_string(pixels) + " printer pixels = " + InUnits(static_cast<double>(pixels), perInch, u) +
                   " " + unit + " at " + std::to_string(perInch) + " dpi";
        };
        std::printf("printed:       %s x %s %s (what print draws, caption included: %lld x %lld printer pixels at "
                    "%d x %d dpi)\n",
                    InUnits(static_cast<double>(drawingX), dpi.x, u).c_str(),
                    InUnits(static_cast<double>(drawingY), dpi.y, u).c_str(), unit.c_str(), drawingX, drawingY, dpi.x,
                    dpi.y);
        std::printf("bar width:     %g %s (%s)\n", width, unit.c_str(), exact(widthPx, dpi.x).c_str());
        std::printf("canvas width:  %g %s (across the code at 0 degrees; %s)\n", canvasWidth, unit.c_str(),
                    exact(acrossPx, dpi.y).c_str());
        std::printf("canvas height: %g %s (along the code at 0 degrees; %s)\n", canvasHeight, unit.c_str(),
                    exact(alongPx, dpi.x).c_str());
        return 0;
    };
}
