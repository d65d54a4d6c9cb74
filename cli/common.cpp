#include "common.h"

#include "qbarcode/fileio.h"
#include "qbarcode/sysutils.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include <sys/stat.h>

namespace {

std::string& LastText()
{
    static std::string text;
    return text;
}

// Where a path leads once every symbolic link is followed, also through a
// last component that does not exist yet: names of files not made yet are
// compared this way.
std::string ResolvedPath(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path p = path;
    for (int hop = 0; hop < 40 && fs::is_symlink(fs::symlink_status(p, error)); ++hop) {
        const fs::path link = fs::read_symlink(p, error);
        if (error)
            break;
        p = link.is_absolute() ? link : p.parent_path() / link;
    }
    const fs::path resolved = fs::weakly_canonical(fs::absolute(p, error), error);
    return (error ? p : resolved).lexically_normal().string();
}

} // namespace

void EncodingOptions::Add(CLI::App& app, const std::string& modulHelp)
{
    app.add_option("--type,-t", typeName, "Symbology: enumerator (bcCodeEAN13), name (EAN13) or alias (ean13)")
        ->required();
    auto* text = textOption = app.add_option("--text", this->text, "Text to encode");
    auto* file = app.add_option("--text-file", textFile, "Read the text to encode from a file, byte for byte");
    text->excludes(file);
    file->excludes(text);
    app.add_flag("--checksum", checksum, "Add the symbology's check character");
    if (!modulHelp.empty())
        app.add_option("--modul,-m", modul, modulHelp);
    app.add_option("--ratio,-r", ratio, "Wide-to-narrow ratio (clamped per symbology)");
}

TBarType EncodingOptions::Type() const
{
    TBarType type;
    if (!FindBarType(typeName, type))
        throw UsageError("Unknown barcode type '" + typeName + "' (see 'qbarcode types')");
    return type;
}

std::string EncodingOptions::Text() const
{
    if (textFile.empty()) {
        if (!textOption || textOption->count() == 0)
            throw UsageError("--text or --text-file is required");
        return LastText() = text;
    }
    std::ifstream in(textFile, std::ios::binary);
    if (!in)
        throw Exception("Cannot read " + QuotedFileName(textFile));
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return LastText() = bytes.str();
}

std::int32_t EncodingOptions::Modul() const
{
    if (modul < std::numeric_limits<std::int32_t>::min() || modul > std::numeric_limits<std::int32_t>::max())
        throw UsageError("--modul: " + std::to_string(modul) + " does not fit a 32-bit integer");
    return static_cast<std::int32_t>(modul);
}

void PrintError(std::string_view message)
{
    std::string line(message);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

const std::string& EncodedText()
{
    return LastText();
}

std::string CutEchoedText(std::string message, std::string_view text)
{
    constexpr std::size_t kShown = 80;
    if (text.size() <= kShown)
        return message;
    for (const std::string& echoed : {std::string(text), Trim(text)}) {
        const auto at = message.find(echoed);
        if (echoed.size() <= kShown || at == std::string::npos)
            continue;
        std::size_t cut = kShown;
        while (cut > 0 && (static_cast<unsigned char>(echoed[cut]) & 0xC0) == 0x80)
            --cut; // never inside a UTF-8 character
        return message.replace(at + cut, echoed.size() - cut, "\u2026");
    }
    return message;
}

void RefuseOverwritingInput(std::string_view option, const std::string& output, const std::vector<InputFile>& inputs)
{
    if (output.empty() || output == "-")
        return;
    struct stat out;
    const bool outputExists = ::stat(output.c_str(), &out) == 0;
    if (outputExists && S_ISCHR(out.st_mode))
        return; // a device is written to, never replaced
    for (const InputFile& input : inputs) {
        if (input.path.empty() || input.path == "-")
            continue;
        struct stat in;
        const bool inputExists = ::stat(input.path.c_str(), &in) == 0;
        const bool same = outputExists && inputExists
                              ? out.st_dev == in.st_dev && out.st_ino == in.st_ino
                              : !outputExists && !inputExists && ResolvedPath(output) == ResolvedPath(input.path);
        if (same)
            throw UsageError(std::string(option) + " " + QuotedFileName(output) + " is the same file as " +
                             std::string(input.name) + " " + QuotedFileName(input.path) +
                             ": the command never writes over a file it reads");
    }
}

std::string Counted(long long n, std::string_view noun)
{
    return std::to_string(n) + " " + std::string(noun) + (n == 1 ? "" : "s");
}

PrinterResolution ParsePrinterResolution(const std::string& text)
{
    PrinterResolution r;
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

std::string JsonString(const std::string& s)
{
    std::string out = "\"";
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (u < 0x20 || u > 0x7e) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", u);
                out += buf;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

void RunPrintJob(TPrinter& printer, const std::string& file, const std::string& queue, const std::string& title,
                 const std::function<void()>& print)
{
    const bool postScript = file.size() > 3 && file.compare(file.size() - 3, 3, ".ps") == 0;
    printer.SetOutputFormat(postScript ? TPrintFormat::PostScript : TPrintFormat::Pdf);
    printer.SetOutputFile(file);
    printer.SetPrinterName(queue);
    printer.Title = title;
    printer.BeginDoc();
    try {
        print();
        printer.EndDoc();
    } catch (...) {
        if (printer.Printing())
            printer.Abort();
        throw;
    }
}
