#include "common.h"

#include "qbarcode/fileio.h"
#include "qbarcode/gs1.h"
#include "qbarcode/retail.h"
#include "qbarcode/sysutils.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
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

std::string Lowered(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Whether a text is well-formed UTF-8 (no overlong forms, surrogates or code
// points beyond U+10FFFF), as the text layer decides it.
bool IsUtf8(const std::string& s)
{
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t extra = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        if (c < 0x80)
            extra = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            extra = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            extra = 2, lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
        else if (c >= 0xF0 && c <= 0xF4)
            extra = 3, lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
        else
            return false;
        if (s.size() - i <= extra)
            return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if (b < (k == 1 ? lo : 0x80) || b > (k == 1 ? hi : 0xBF))
                return false;
        }
        i += extra + 1;
    }
    return true;
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

const ExtraSymbology kExtraSymbologies[2] = {
    {Symbology::Extra::Code128, "Code128", "code128", "any Latin-1 text, in the fewest symbol characters"},
    {Symbology::Extra::Gs1_128, "GS1-128", "gs1-128", "GS1 element strings, as (01)09501101530003(10)AB-123"},
};

const char* Symbology::Name() const
{
    for (const ExtraSymbology& e : kExtraSymbologies)
        if (e.extra == extra)
            return e.name;
    return BCData[type].Name;
}

int Symbology::QuietZone() const
{
    return IsExtra() ? 10 : BarTypeQuietZone(type);
}

bool FindSymbology(const std::string& name, Symbology& symbology)
{
    for (const ExtraSymbology& e : kExtraSymbologies)
        if (Lowered(name) == e.alias || Lowered(name) == Lowered(e.name)) {
            symbology = {bcCode128B, e.extra};
            return true;
        }
    symbology.extra = Symbology::Extra::None;
    return FindBarType(name, symbology.type);
}

std::string Latin1Text(const std::string& text)
{
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
    if (ascii || !IsUtf8(text))
        return text;
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += text[i];
        } else if (c == 0xC2 || c == 0xC3) {
            out += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(text[++i]) & 0x3F));
        } else {
            std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
            throw Exception(text + ": '" + text.substr(i, length) + "' is not a Latin-1 character");
        }
    }
    return out;
}

std::string Utf8FromLatin1(const std::string& text)
{
    std::string out;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | u >> 6);
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}

TextToEncode ApplyTextRules(const Symbology& symbology, const std::string& text, TCheckSum checksum)
{
    if (!symbology.IsExtra())
        return ApplyTextRules(symbology.type, text, checksum);
    if (Trim(text).empty())
        throw Exception("no text to encode");
    const std::string encoded = symbology.extra == Symbology::Extra::Code128 ? Latin1Text(text) : text;
    return {encoded, csNone, encoded};
}

qb::EncodedSymbol EncodeText(const Symbology& symbology, const std::string& text, std::int32_t modul, double ratio,
                             TCheckSum checksum, const std::string& addOn)
{
    switch (symbology.extra) {
    case Symbology::Extra::Code128:
    case Symbology::Extra::Gs1_128: {
        qb::Code128Symbol symbol =
            symbology.extra == Symbology::Extra::Code128 ? qb::EncodeCode128(text) : qb::EncodeGS1_128(text);
        return qb::MakeSymbol(std::move(symbol.LineCodes), std::move(symbol.Caption), symbology.Name(), modul, 2.0);
    }
    case Symbology::Extra::None:
        break;
    }
    if (!addOn.empty())
        return qb::EncodeRetailSymbol(symbology.type, text, modul, checksum, addOn).Symbol;
    return qb::EncodeSymbol(symbology.type, text, modul, ratio, checksum);
}

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
    auto* file = textFileOption =
        app.add_option("--text-file", textFile, "Read the text to encode from a file, byte for byte");
    text->excludes(file);
    file->excludes(text);
    app.add_flag("--checksum", checksum, "Add the symbology's check character");
    AddVerbatim(app);
    if (!modulHelp.empty())
        app.add_option("--modul,-m", modul, modulHelp)->check(AtLeastOnePixel())->capture_default_str();
    app.add_option("--ratio,-r", ratio, "Wide-to-narrow ratio (clamped per symbology)");
}

void EncodingOptions::AddAddOn(CLI::App& app)
{
    app.add_option("--add-on", addOn, "A 2- or 5-digit supplement beside an EAN or UPC symbol");
}

void EncodingOptions::AddBatch(CLI::App& app, std::string& batch, const std::string& help)
{
    app.add_option("--batch", batch, help)->excludes(textOption)->excludes(textFileOption);
}

void EncodingOptions::AddVerbatim(CLI::App& app)
{
    app.add_flag("--verbatim", verbatim,
                 "Hand the text to the library exactly as given: no refusal of an empty text, no check digit "
                 "checked or added for EAN and UPC");
}

Symbology EncodingOptions::Type() const
{
    Symbology symbology;
    if (!FindSymbology(typeName, symbology))
        throw UsageError("Unknown barcode type '" + typeName + "' (see 'qbarcode types')");
    const TBarType type = symbology.type;
    if (!addOn.empty() &&
        (symbology.IsExtra() || !qb::HasRetailCaption(type) || type == bcCodeUPC_Supp2 || type == bcCodeUPC_Supp5))
        throw UsageError(std::string("--add-on goes with EAN-8, EAN-13, UPC-A and UPC-E, not ") + symbology.Name());
    if (checksum && (symbology.IsExtra() || !ChecksumIsOptional(type)) && !warned_) {
        PrintError(std::string("warning: --checksum has no effect on ") + symbology.Name() +
                   ", which has no optional check character");
        warned_ = true;
    }
    return symbology;
}

TextToEncode EncodingOptions::Prepare(const Symbology& symbology, const std::string& text) const
{
    if (verbatim)
        return {text, CheckSum(), text};
    return ApplyTextRules(symbology, text, CheckSum());
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

int RunBatch(const std::string& file, const std::function<void(const std::string& line, long long n)>& each,
             const std::function<void(const std::string& message, long long n)>& onError)
{
    std::ifstream opened;
    std::istream* in = &std::cin;
    if (file != "-") {
        opened.open(file, std::ios::binary);
        if (!opened)
            throw Exception("Cannot read " + QuotedFileName(file));
        in = &opened;
    }
    int failures = 0;
    long long n = 0;
    std::string line;
    while (std::getline(*in, line)) {
        ++n;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        try {
            each(line, n);
        } catch (const Exception& e) {
            const std::string message = CutEchoedText(e.Message, line);
            if (onError)
                onError(message, n);
            PrintError("line " + std::to_string(n) + ": " + message);
            ++failures;
        }
    }
    // The stream keeps a read error (or memory running out on an endless
    // line) to itself: the lines after it were never read.
    if (in->bad())
        throw Exception("Cannot read " + QuotedFileName(file) + " to its end, after line " + std::to_string(n));
    return failures ? 1 : 0;
}

std::function<void(const std::string& message, long long n)> JsonErrorLines(bool json)
{
    if (!json)
        return {};
    return [](const std::string& message, long long n) {
        std::printf("{\"line\": %lld, \"error\": %s}\n", n, JsonString(message).c_str());
    };
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
