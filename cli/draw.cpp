// qbarcode draw: a barcode to a PNG, SVG or PDF file, or many from a batch.
#include "cli/common.h"
#include "cli/render.h"

#include "platform/sysutils.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>

namespace {

struct DrawOptions {
    EncodingOptions encoding;
    AppearanceOptions appearance;
    int height = 60;
    int quietZone = -1;
    std::string output;
    std::string batch;
};

// "out.png" numbered 7 is "out-7.png"; a printf pattern ("out-%04d.png") is
// filled in.
std::string NumberedPath(const std::string& pattern, long long n)
{
    if (pattern.find('%') != std::string::npos) {
        char buf[4096];
        std::snprintf(buf, sizeof buf, pattern.c_str(), n);
        return buf;
    }
    const auto dot = pattern.find_last_of('.');
    const auto slash = pattern.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return pattern + "-" + std::to_string(n);
    return pattern.substr(0, dot) + "-" + std::to_string(n) + pattern.substr(dot);
}

int RunBatch(const BarcodeStyle& style, const DrawOptions& opts)
{
    std::ifstream file;
    std::istream* in = &std::cin;
    if (opts.batch != "-") {
        file.open(opts.batch, std::ios::binary);
        if (!file)
            throw Exception("Cannot read '" + opts.batch + "'");
        in = &file;
    }
    int failures = 0;
    long long n = 0;
    std::string line;
    while (std::getline(*in, line)) {
        ++n;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        try {
            RenderBarcodeFile(style, line, NumberedPath(opts.output, n));
        } catch (const Exception& e) {
            std::fprintf(stderr, "line %lld: %s\n", n, e.Message.c_str());
            ++failures;
        }
    }
    return failures ? 1 : 0;
}

} // namespace

std::function<int()> AddDrawCommand(CLI::App& app)
{
    auto* cmd = app.add_subcommand("draw", "Draw a barcode to a PNG, SVG or PDF file");
    auto o = std::make_shared<DrawOptions>();
    o->encoding.modul = 2;
    o->encoding.Add(*cmd, "Narrow module width in pixels");
    cmd->add_option("--height", o->height, "Bar height in pixels")->capture_default_str();
    o->appearance.Add(*cmd);
    cmd->add_option("--quiet-zone", o->quietZone, "Blank modules each side along the code (default: the "
                                                   "symbology's own, mostly 10; 0 for none)");
    cmd->add_option("-o,--output", o->output, "Output file (.png, .svg, .pdf); with --batch a name to number")
        ->required();
    cmd->add_option("--batch", o->batch, "Draw one barcode per line of FILE (- for standard input)");
    return [o] {
        BarcodeStyle style;
        style.type = o->encoding.Type();
        style.checksum = o->encoding.CheckSum();
        style.modul = o->encoding.Modul();
        style.ratio = o->encoding.ratio;
        style.height = o->height;
        o->appearance.Apply(style);
        style.quietZone = o->quietZone;
        ImageFormatOf(o->output);
        if (!o->batch.empty())
            return RunBatch(style, *o);
        RenderBarcodeFile(style, o->encoding.Text(), o->output);
        return 0;
    };
}
