#include "common.h"

#include "qbarcode/fileio.h"
#include "qbarcode/sysutils.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

#include <sys/stat.h>

using namespace qb;

namespace {

// What the command's text rules know of each symbology: the length of its
// number with the check digit (EAN and UPC, whose check digit the command
// verifies or adds; 0 for the others), and whether --checksum changes its
// symbol. Code 93, MSI and Code 128 always add their own check characters;
// the supplements show one in the caption only.
struct SymbologyRules {
    TBarType type;
    std::size_t numberLength;
    bool optionalCheck;
};

constexpr SymbologyRules kSymbologyRules[] = {
    {bcCode_2_5_interleaved, 0, false},
    {bcCode_2_5_industrial, 0, false},
    {bcCode_2_5_matrix, 0, false},
    {bcCode39, 0, true},
    {bcCode39Extended, 0, true},
    {bcCode128A, 0, false},
    {bcCode128B, 0, false},
    {bcCode128C, 0, false},
    {bcCode93, 0, false},
    {bcCode93Extended, 0, false},
    {bcCodeMSI, 0, false},
    {bcCodePostNet, 0, false},
    {bcCodeCodabar, 0, false},
    {bcCodeEAN8, 8, true},
    {bcCodeEAN13, 13, true},
    {bcCodeUPC_A, 12, true},
    {bcCodeUPC_E0, 7, true},
    {bcCodeUPC_E1, 7, true},
    {bcCodeUPC_Supp2, 0, false},
    {bcCodeUPC_Supp5, 0, false},
    {bcCodeEAN128A, 0, true},
    {bcCodeEAN128B, 0, true},
    {bcCodeEAN128C, 0, true},
};

constexpr bool RulesFollowTheTypes()
{
    if (std::size(kSymbologyRules) != BarTypeCount)
        return false;
    for (int i = 0; i < BarTypeCount; ++i)
        if (kSymbologyRules[i].type != i)
            return false;
    return true;
}
static_assert(RulesFollowTheTypes(), "one row per symbology, in TBarType order");

const SymbologyRules& RulesOf(TBarType type)
{
    return kSymbologyRules[IsValidBarType(type) ? type : bcCode39];
}

bool AllDigits(const std::string& s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string ShortestNumber(double v)
{
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, ec == std::errc() ? end : buf);
}

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

TextToEncode ApplyTextRules(TBarType type, const std::string& text, TCheckSum checksum)
{
    const std::string trimmed = Trim(text);
    if (trimmed.empty())
        throw Exception("no text to encode");
    TextToEncode out{text, checksum, text};
    const std::size_t length = RulesOf(type).numberLength;
    if (length == 0 || !AllDigits(trimmed))
        return out; // the library's own checks apply
    // The encoders would drop the digits beyond the symbol's, or fail.
    if (trimmed.size() > length)
        throw Exception(trimmed + ": too long: " + BCData[type].Name + " has " + std::to_string(length) +
                        " digits, the check digit included");
    if (checksum == csNone && trimmed.size() == length) {
        const char check = EanUpcCheckDigit(type, trimmed.substr(0, length - 1));
        if (trimmed.back() != check)
            throw Exception(trimmed + ": check digit should be " + check);
        out.encoded = trimmed;
        return out;
    }
    // csModulo10 pads the number with zeros and appends its check digit (in
    // place of the last digit of a full-length one).
    out.checksum = csModulo10;
    std::string number = trimmed.substr(0, length - 1);
    number.insert(0, length - 1 - number.size(), '0');
    out.encoded = number + EanUpcCheckDigit(type, number);
    return out;
}

bool ChecksumIsOptional(TBarType type)
{
    return RulesOf(type).optionalCheck;
}

void EncodingOptions::Add(CLI::App& app, const std::string& modulHelp)
{
    app.add_option("--type,-t", typeName, "Symbology: enumerator (bcCodeEAN13), name (EAN13) or alias (ean13)")
        ->required();
    auto* text = textOption = app.add_option("--text", this->text, "Text to encode");
    auto* file = app.add_option("--text-file", textFile, "Read the text to encode from a file, byte for byte");
    text->excludes(file);
    file->excludes(text);
    app.add_flag("--checksum", checksum, "Add the symbology's check character");
    AddVerbatim(app);
    if (!modulHelp.empty())
        app.add_option("--modul,-m", modul, modulHelp)->check(AtLeastOnePixel())->capture_default_str();
    app.add_option("--ratio,-r", ratio, "Wide-to-narrow ratio (clamped per symbology)");
}

void EncodingOptions::AddVerbatim(CLI::App& app)
{
    app.add_flag("--verbatim", verbatim,
                 "Hand the text to the library exactly as given: no refusal of an empty text, no check digit "
                 "checked or added for EAN and UPC");
}

TBarType EncodingOptions::Type() const
{
    TBarType type;
    if (!FindBarType(typeName, type))
        throw UsageError("Unknown barcode type '" + typeName + "' (see 'qbarcode types')");
    if (checksum && !ChecksumIsOptional(type) && !warned_) {
        PrintError(std::string("warning: --checksum has no effect on ") + BCData[type].Name +
                   ", which has no optional check character");
        warned_ = true;
    }
    return type;
}

TextToEncode EncodingOptions::Prepare(TBarType type, const std::string& text) const
{
    if (verbatim)
        return {text, CheckSum(), text};
    return ApplyTextRules(type, text, CheckSum());
}

std::string EncodingOptions::Text() const
{
    if (textFile.empty()) {
        if (!textOption || textOption->count() == 0)
            throw UsageError("--text or --text-file is required");
        return LastText() = text;
    }
    // A folder opens as an empty stream, and a device may never end.
    std::error_code error;
    const auto status = std::filesystem::status(textFile, error);
    if (std::filesystem::is_directory(status))
        throw Exception("Cannot read " + QuotedFileName(textFile) + ": it is a folder");
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        throw Exception("Cannot read " + QuotedFileName(textFile) + ": not a regular file");
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

const CLI::Validator& AtLeastOnePixel()
{
    static const CLI::Validator check(
        [](const std::string& value) -> std::string {
            char* end = nullptr;
            const double v = std::strtod(value.c_str(), &end);
            if (end == value.c_str() || *end || v >= 1)
                return {}; // not a number: the conversion says so
            return "a size of " + value + " pixels draws nothing: 1 pixel or more";
        },
        "PIXELS>=1");
    return check;
}

void RequireFiniteNumbers(CLI::App& app)
{
    static const CLI::Validator finite(
        [](const std::string& value) -> std::string {
            char* end = nullptr;
            const double v = std::strtod(value.c_str(), &end);
            if (end == value.c_str() || *end || std::isfinite(v))
                return {};
            return "'" + value + "' is not a finite number";
        },
        "");
    for (CLI::Option* option : app.get_options())
        if (option->get_type_name() == "FLOAT")
            option->check(finite);
    for (CLI::App* sub : app.get_subcommands({}))
        RequireFiniteNumbers(*sub);
}

void RequirePrinterPixel(const std::string& option, double value, TUnits units, int dpi)
{
    const double pixels = units == utInch ? value * dpi : value * dpi / 25.4;
    if (pixels >= 1 - 1e-9)
        return;
    throw UsageError(option + ": " + ShortestNumber(value) + (units == utInch ? " in" : " mm") +
                     " is less than one printer pixel at " + std::to_string(dpi) + " dpi");
}

TPrintFormat PrintFormatOf(const std::string& file)
{
    const auto dot = file.find_last_of("./");
    std::string ext = dot == std::string::npos || file[dot] == '/' ? "" : file.substr(dot + 1);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "pdf")
        return TPrintFormat::Pdf;
    if (ext == "ps")
        return TPrintFormat::PostScript;
    throw UsageError("-o " + QuotedFileName(file) + ": the extension must be .pdf or .ps (PostScript)");
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
    printer.SetOutputFormat(file.empty() ? TPrintFormat::Pdf : PrintFormatOf(file));
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
