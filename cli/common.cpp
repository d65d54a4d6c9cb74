#include "common.h"

#include "qbarcode/fileio.h"
#include "qbarcode/sysutils.h"

#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

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
        return text;
    }
    std::ifstream in(textFile, std::ios::binary);
    if (!in)
        throw Exception("Cannot read " + QuotedFileName(textFile));
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
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
