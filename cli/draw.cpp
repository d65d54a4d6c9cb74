// qbarcode draw: a barcode to a PNG, SVG or PDF file, or many from a batch.
#include "common.h"
#include "render.h"

#include "qbarcode/fileio.h"
#include "qbarcode/sysutils.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string_view>
#include <vector>

#include <dirent.h>
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
void DrawText(BarcodeStyle style, const TFont& font, const EncodingOptions& encoding, const std::string& text,
              const std::string& path)
{
    const TextToEncode prepared = encoding.Prepare(style.symbology, text);
    style.checksum = prepared.checksum;
    RenderBarcodeFile(style, font, prepared.text, path);
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

// The names in `folder` ("" for the current one) that lead to the file `st`
// describes: the file itself, hard links, symbolic links. Null when the
// folder cannot be read.
std::unique_ptr<std::vector<std::string>> NamesOfFileIn(const std::string& folder, const struct stat& st)
{
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return nullptr;
    auto names = std::make_unique<std::vector<std::string>>();
    while (const dirent* entry = ::readdir(dir)) {
        struct stat at;
        if (::fstatat(::dirfd(dir), entry->d_name, &at, 0) == 0 && at.st_dev == st.st_dev && at.st_ino == st.st_ino)
            names->emplace_back(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

// Whether two names may be one on a file system that ignores case.
bool SameIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return static_cast<unsigned char>(x) >= 0x80 || static_cast<unsigned char>(y) >= 0x80 ||
                      std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The numbered outputs of a batch file must not include the file itself:
// its lines are counted and every name checked before the first is drawn.
// When the names share a folder, the folder is read once for the names that
// lead to the batch file, and only outputs that may be one of those are
// looked up: a batch into a fresh folder costs one listing, not a look-up
// per file.
void RefuseOverwritingBatch(const DrawOptions& opts)
{
    struct stat st;
    if (opts.batch == "-" || ::stat(opts.batch.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return; // a pipe or terminal is never an output; a missing file is reported when read
    std::ifstream in(opts.batch, std::ios::binary);
    long long lines = 0;
    for (std::string line; std::getline(in, line);)
        ++lines;
    auto folderOf = [](const std::string& path) { return path.substr(0, path.rfind('/') + 1); };
    const std::string folder = folderOf(NumberedPath(opts.output, 1));
    const bool oneFolder = lines < 2 || folderOf(NumberedPath(opts.output, lines)) == folder;
    const auto inputNames = oneFolder ? NamesOfFileIn(folder, st) : nullptr;
    for (long long n = 1; n <= lines; ++n) {
        const std::string output = NumberedPath(opts.output, n);
        auto mayBeInput = [&](const std::string& input) {
            return SameIgnoringCase(std::string_view(output).substr(folder.size()), input);
        };
        if (inputNames && folderOf(output) == folder &&
            std::none_of(inputNames->begin(), inputNames->end(), mayBeInput))
            continue;
        RefuseOverwritingInput("-o", output, {{"--batch", opts.batch}});
    }
}

} // namespace

std::function<int()> AddDrawCommand(CLI::App& app)
{
    auto* cmd = app.add_subcommand("draw", "Draw a barcode to a PNG, SVG or PDF file");
    auto o = std::make_shared<DrawOptions>();
    o->encoding.Add(*cmd, "Narrow module width in pixels");
    o->encoding.AddAddOn(*cmd);
    o->appearance.Add(*cmd);
    o->image.Add(*cmd, "Bar height in pixels");
    cmd->add_option("-o,--output", o->output, "Output file (.png, .svg, .pdf); with --batch a name to number")
        ->required();
    o->encoding.AddBatch(*cmd, o->batch, "Draw one barcode per line of FILE (- for standard input)");
    return [o] {
        const BarcodeStyle style = DrawingStyle(o->encoding, o->appearance, o->image);
        TFont font; // one for every file of a batch
        MakeFont(style, font);
        ImageFormatOf(o->output);
        if (!o->batch.empty()) {
            NumberedPath(o->output, 1); // a bad pattern is a usage error before any file is drawn
            RefuseOverwritingBatch(*o);
            const std::string first = NumberedPath(o->output, 1);
            const TOutputFolder folder(first.substr(0, first.rfind('/') + 1));
            return RunBatch(o->batch, [&](const std::string& line, long long n) {
                DrawText(style, font, o->encoding, line, NumberedPath(o->output, n));
            });
        }
        RefuseOverwritingInput("-o", o->output, {{"--text-file", o->encoding.textFile}});
        DrawText(style, font, o->encoding, o->encoding.Text(), o->output);
        return 0;
    };
}
