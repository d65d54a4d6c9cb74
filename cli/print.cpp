// qbarcode print and measure: barcodes in millimetres or inches.
#include "common.h"
#include "render.h"

#include "qbarcode/printers.h"
#include "qbarcode/sysutils.h"

#include <cstdio>
#include <memory>

namespace {

struct Resolution {
    int x = 600, y = 600;
};

Resolution ParseDpi(const std::string& text)
{
    Resolution r;
    const auto sep = text.find_first_of("xX");
    try {
        std::size_t used = 0;
        r.x = std::stoi(text.substr(0, sep), &used);
        if (used != (sep == std::string::npos ? text.size() : sep))
            throw std::invalid_argument(text);
        r.y = r.x;
        if (sep != std::string::npos) {
            r.y = std::stoi(text.substr(sep + 1), &used);
            if (used != text.size() - sep - 1)
                throw std::invalid_argument(text);
        }
    } catch (const std::logic_error&) {
        throw UsageError("--dpi: '" + text + "' is not a resolution such as 600 or 600x1200");
    }
    if (r.x < 1 || r.y < 1 || r.x > 9600 || r.y > 9600)
        throw UsageError("--dpi: each resolution must be 1 to 9600 pixels per inch");
    return r;
}

TUnits ParseUnits(const std::string& text) { return text == "in" ? utInch : utMillimeter; }

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
    const Resolution dpi = ParseDpi(o.dpi);
    printer.SetResolution(dpi.x, dpi.y);
    printer.SetPaperSize(o.paper == "letter" ? TPaperSize::Letter : TPaperSize::A4);
    printer.SetOrientation(o.landscape ? poLandscape : poPortrait);
    const bool postScript = file.size() > 3 && file.compare(file.size() - 3, 3, ".ps") == 0;
    printer.SetOutputFormat(postScript ? TPrintFormat::PostScript : TPrintFormat::Pdf);
    printer.SetOutputFile(file);
    printer.SetPrinterName(o.printer);
    printer.Title = o.title;

    BarcodeStyle style;
    o.appearance.Apply(style);
    TFont font;
    MakeFont(style, font);
    const std::string text = o.encoding.Text();
    printer.BeginDoc();
    try {
        Q_PrintBar(ParseUnits(o.units), o.encoding.Type(), text, o.modul, o.encoding.ratio, o.encoding.CheckSum(),
                   o.left, o.top, o.height, &font, style.show, style.position, style.barColor, style.spaceColor,
                   style.captionColor, style.angle);
        printer.EndDoc();
    } catch (...) {
        if (printer.Printing())
            printer.Abort();
        throw;
    }
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
    cmd->add_option("--left", o->left, "Left edge of the drawing on the paper")->capture_default_str();
    cmd->add_option("--top", o->top, "Top edge of the drawing on the paper")->capture_default_str();
    cmd->add_option("--height", o->height, "Bar height")->capture_default_str();
    cmd->add_option("--modul,-m", o->modul, "Narrow module width in the unit")->capture_default_str();
    o->appearance.Add(*cmd);
    cmd->add_option("--dpi", o->dpi, "Printer resolution: 600, or 600x1200 for x by y")->capture_default_str();
    cmd->add_option("--paper", o->paper, "a4 or letter")
        ->check(CLI::IsMember({"a4", "letter"}))
        ->capture_default_str();
    cmd->add_flag("--landscape", o->landscape, "Turn the paper");
    cmd->add_option("--title", o->title, "Job title")->capture_default_str();
    auto* out = cmd->add_option("-o,--output", o->output, "Output file, .pdf or .ps");
    auto* queue = cmd->add_option("--printer", o->printer, "Send the job to this print queue (lp)");
    return [o, out, queue] {
        if (out->count() == 0 && queue->count() == 0)
            throw UsageError("print: give -o FILE, --printer NAME, or both");
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
        double width, canvasWidth, canvasHeight;
        std::string unit = "px";
        if (units->empty()) {
            if (*modul != static_cast<std::int32_t>(*modul) || *height != static_cast<std::int32_t>(*height))
                throw UsageError("measure: pixel sizes are whole numbers (use --units for mm or in)");
            const auto m = static_cast<std::int32_t>(*modul), h = static_cast<std::int32_t>(*height);
            width = Q_GetBarWidth(type, text, m, ratio, cs);
            canvasWidth = Q_GetCanvasWidth(type, text, m, ratio, cs, h, *angle);
            canvasHeight = Q_GetCanvasHeight(type, text, m, ratio, cs, h, *angle);
        } else {
            const Resolution dpi = ParseDpi(o->dpi);
            Printer()->SetResolution(dpi.x, dpi.y);
            const TUnits u = ParseUnits(*units);
            unit = *units;
            width = Q_GetPrnBarWidth(u, type, text, *modul, ratio, cs);
            canvasWidth = Q_PrnCanvasWidth(u, type, text, *modul, ratio, cs, *height, *angle);
            canvasHeight = Q_PrnCanvasHeight(u, type, text, *modul, ratio, cs, *height, *angle);
        }
        if (*json) {
            std::printf("{\"unit\": \"%s\", \"bar_width\": %g, \"canvas_width\": %g, \"canvas_height\": %g}\n",
                        unit.c_str(), width, canvasWidth, canvasHeight);
            return 0;
        }
        std::printf("bar width:     %g %s\n", width, unit.c_str());
        std::printf("canvas width:  %g %s (across the code at 0 degrees)\n", canvasWidth, unit.c_str());
        std::printf("canvas height: %g %s (along the code at 0 degrees)\n", canvasHeight, unit.c_str());
        return 0;
    };
}
