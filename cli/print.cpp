// qbarcode print and measure: barcodes in millimetres or inches.
#include "common.h"
#include "render.h"

#include "qbarcode/printers.h"
#include "qbarcode/sysutils.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <memory>

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
    double left = 10, top = 10, height = 15, modul = 0.33;
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

    BarcodeStyle style;
    o.appearance.Apply(style);
    TFont font;
    MakeFont(style, font);
    const std::string text = o.encoding.Text();
    const TUnits units = ParseUnits(o.units);
    const TBarType type = o.encoding.Type();
    RequireOnPaper(PrintedBounds(units, type, text, o.modul, o.encoding.ratio, o.encoding.CheckSum(), o.left, o.top,
                                 o.height, &font, style.show, style.position, style.angle),
                   printer, units);
    RunPrintJob(printer, file, o.printer, o.title, [&] {
        Q_PrintBar(units, type, text, o.modul, o.encoding.ratio, o.encoding.CheckSum(), o.left, o.top, o.height, &font,
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
    auto* out = cmd->add_option("-o,--output", o->output, "Output file, .pdf or .ps");
    auto* queue = cmd->add_option("--printer", o->printer, "Send the job to this print queue (lp)");
    return [o, out, queue, left, top, height, modul] {
        if (o->units == "in")
            for (auto [option, value] :
                 {std::pair{left, &o->left}, {top, &o->top}, {height, &o->height}, {modul, &o->modul}})
                if (option->count() == 0)
                    *value /= 25.4;
        if (out->count() == 0 && queue->count() == 0)
            throw UsageError("print: give -o FILE, --printer NAME, or both");
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
    auto* cmd = app.add_subcommand("measure", "Measure a barcode in pixels, or printed in mm or inches");
    auto o = std::make_shared<PrintOptions>();
    auto json = std::make_shared<bool>(false);
    auto units = std::make_shared<std::string>();
    auto modul = std::make_shared<double>(1);
    auto height = std::make_shared<double>(60);
    auto angle = std::make_shared<double>(0);
    o->encoding.Add(*cmd, "");
    cmd->add_option("--modul,-m", *modul, "Narrow module: pixels, or in --units")->capture_default_str();
    cmd->add_option("--height", *height, "Bar height: pixels, or in --units")->capture_default_str();
    cmd->add_option("--angle", *angle, "Angle in degrees")->capture_default_str();
    cmd->add_option("--units", *units, "Measure the printed barcode: mm or in")->check(CLI::IsMember({"mm", "in"}));
    cmd->add_option("--dpi", o->dpi, "Printer resolution with --units")->capture_default_str();
    cmd->add_flag("--json", *json, "Print one JSON object");
    return [=] {
        const TBarType type = o->encoding.Type();
        const std::string text = o->encoding.Text();
        const double ratio = o->encoding.ratio;
        const TCheckSum cs = o->encoding.CheckSum();
        if (units->empty()) {
            auto whole = [](double v) { return v >= INT32_MIN && v <= INT32_MAX && v == std::trunc(v); };
            if (!whole(*modul) || !whole(*height))
                throw UsageError("measure: pixel sizes are whole numbers (use --units for mm or in)");
            const auto m = static_cast<std::int32_t>(*modul), h = static_cast<std::int32_t>(*height);
            const double width = Q_GetBarWidth(type, text, m, ratio, cs);
            const double canvasWidth = Q_GetCanvasWidth(type, text, m, ratio, cs, h, *angle);
            const double canvasHeight = Q_GetCanvasHeight(type, text, m, ratio, cs, h, *angle);
            if (*json)
                std::printf("{\"unit\": \"px\", \"bar_width\": %g, \"canvas_width\": %g, \"canvas_height\": %g}\n",
                            width, canvasWidth, canvasHeight);
            else
                std::printf("bar width:     %g px\n"
                            "canvas width:  %g px (across the code at 0 degrees)\n"
                            "canvas height: %g px (along the code at 0 degrees)\n",
                            width, canvasWidth, canvasHeight);
            return 0;
        }
        const PrinterResolution dpi = ParsePrinterResolution(o->dpi);
        Printer()->SetResolution(dpi.x, dpi.y);
        const TUnits u = ParseUnits(*units);
        const std::string& unit = *units;
        const double width = Q_GetPrnBarWidth(u, type, text, *modul, ratio, cs);
        const double canvasWidth = Q_PrnCanvasWidth(u, type, text, *modul, ratio, cs, *height, *angle);
        const double canvasHeight = Q_PrnCanvasHeight(u, type, text, *modul, ratio, cs, *height, *angle);
        // The library's measures are whole units; beside them, the printer
        // pixels that will be printed (bars only), exactly.
        const std::int32_t widthPx = Q_GetBarWidth(type, text, PrinterPixels(u, *modul, true), ratio, cs);
        const TRect box =
            PrintedBounds(u, type, text, *modul, ratio, cs, 0, 0, *height, nullptr, tsNone, tpTopLeft, *angle);
        const long long acrossPx = static_cast<long long>(box.Bottom) - box.Top; // along the paper's y
        const long long alongPx = static_cast<long long>(box.Right) - box.Left;  // along the paper's x
        if (*json) {
            std::printf("{\"unit\": \"%s\", \"bar_width\": %g, \"canvas_width\": %g, \"canvas_height\": %g, "
                        "\"printer_pixels\": {\"bar_width\": %d, \"canvas_width\": %lld, \"canvas_height\": %lld, "
                        "\"dpi\": [%d, %d]}}\n",
                        unit.c_str(), width, canvasWidth, canvasHeight, widthPx, acrossPx, alongPx, dpi.x, dpi.y);
            return 0;
        }
        auto exact = [&](long long pixels, int perInch) {
            return std::to_string(pixels) + " printer pixels = " + InUnits(static_cast<double>(pixels), perInch, u) +
                   " " + unit + " at " + std::to_string(perInch) + " dpi";
        };
        std::printf("bar width:     %g %s (%s)\n", width, unit.c_str(), exact(widthPx, dpi.x).c_str());
        std::printf("canvas width:  %g %s (across the code at 0 degrees; %s)\n", canvasWidth, unit.c_str(),
                    exact(acrossPx, dpi.y).c_str());
        std::printf("canvas height: %g %s (along the code at 0 degrees; %s)\n", canvasHeight, unit.c_str(),
                    exact(alongPx, dpi.x).c_str());
        return 0;
    };
}
