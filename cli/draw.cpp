// qbarcode draw: a barcode to a PNG, SVG or PDF file, or many from a batch.
#include "common.h"
#include "render.h"

#include "qbarcode/fileio.h"
#include "qbarcode/sysutils.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>

#include <sys/stat.h>

using namespace qb;

namespace {

struct DrawOptions {
    EncodingOptions encoding;
    AppearanceOptions appearance;
    ImageOptions image;
    std::string output;
    std::string batch;
};

// Draws one text with the command's text rules applied to it.
void DrawText(BarcodeStyle style, const EncodingOptions& encoding, const std::string& text, const std::string& path)
{
    const TextToEncode prepared = encoding.Prepare(style.type, text);
    style.checksum = prepared.checksum;
    RenderBarcodeFile(style, prepared.text, path);
}

// "out.png" numbered 7 is "out-7.png"; a pattern with one %d (optionally
// zero-padded: %04d) has the number put there, and %% stands for a percent
// sign. The pattern is read here, never handed to printf, so no other
// conversion can reach memory it should not.
std::string NumberedPath(const std::string& pattern, long long n)
{
    std::string out;
    bool numbered = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            out += pattern[i];
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        const bool zeros = j < pattern.size() && pattern[j] == '0';
        std::size_t width = 0;
        for (; j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9' && width < 100; ++j)
            width = width * 10 + static_cast<std::size_t>(pattern[j] - '0');
        if (numbered || j >= pattern.size() || pattern[j] != 'd' || width >= 100)
            throw UsageError("-o: " + QuotedFileName(pattern) + " may hold one %d (as in label-%04d.png) and %% only");
        const std::string digits = std::to_string(n);
        if (digits.size() < width)
            out.append(width - digits.size(), zeros ? '0' : ' ');
        out += digits;
        numbered = true;
        i = j;
    }
    if (numbered)
        return out;
    const auto dot = out.find_last_of('.');
    const auto slash = out.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return out + "-" + std::to_string(n);
    return out.substr(0, dot) + "-" + std::to_string(n) + out.substr(dot);
}

// The numbered outputs of a batch file must not include the file itself:
// its lines are counted and every name checked before the first is drawn.
void RefuseOverwritingBatch(const DrawOptions& opts)
{
    struct stat st;
    if (opts.batch == "-" || ::stat(opts.batch.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return; // a pipe or terminal is never an output; a missing file is reported when read
    std::ifstream in(opts.batch, std::ios::binary);
    long long n = 0;
    for (std::string line; std::getline(in, line);)
        RefuseOverwritingInput("-o", NumberedPath(opts.output, ++n), {{"--batch", opts.batch}});
}

int RunBatch(const BarcodeStyle& style, const DrawOptions& opts)
{
    std::ifstream file;
    std::istream* in = &std::cin;
    if (opts.batch != "-") {
        file.open(opts.batch, std::ios::binary);
        if (!file)
            throw Exception("Cannot read " + QuotedFileName(opts.batch));
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
            DrawText(style, opts.encoding, line, NumberedPath(opts.output, n));
        } catch (const Exception& e) {
            PrintError("line " + std::to_string(n) + ": " + CutEchoedText(e.Message, line));
            ++failures;
        }
    }
    // The stream keeps a read error (or memory running out on an endless
    // line) to itself: the lines after it were never drawn.
    if (in->bad())
        throw Exception("Cannot read " + QuotedFileName(opts.batch) + " to its end, after line " + std::to_string(n));
    return failures ? 1 : 0;
}

} // namespace

std::function<int()> AddDrawCommand(CLI::App& app)
{
    auto* cmd = app.add_subcommand("draw", "Draw a barcode to a PNG, SVG or PDF file");
    auto o = std::make_shared<DrawOptions>();
    o->encoding.Add(*cmd, "Narrow module width in pixels");
    o->appearance.Add(*cmd);
    o->image.Add(*cmd, "Bar height in pixels");
    cmd->add_option("-o,--output", o->output, "Output file (.png, .svg, .pdf); with --batch a name to number")
        ->required();
    cmd->add_option("--batch", o->batch, "Draw one barcode per line of FILE (- for standard input)");
    return [o] {
        const BarcodeStyle style = DrawingStyle(o->encoding, o->appearance, o->image);
        ImageFormatOf(o->output);
        if (!o->batch.empty()) {
            NumberedPath(o->output, 1); // a bad pattern is a usage error before any file is drawn
            RefuseOverwritingBatch(*o);
            return RunBatch(style, *o);
        }
        RefuseOverwritingInput("-o", o->output, {{"--text-file", o->encoding.textFile}});
        DrawText(style, o->encoding, o->encoding.Text(), o->output);
        return 0;
    };
}
