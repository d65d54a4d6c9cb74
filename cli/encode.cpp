// qbarcode encode: the line codes, caption and measurements of one barcode.
#include "common.h"

#include <charconv>
#include <cstdio>
#include <memory>

using namespace qb;

namespace {

std::string ShortestReal(double v)
{
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    std::string s(buf, ec == std::errc() ? end : buf);
    if (s.find_first_of(".eEn") == std::string::npos)
        s += ".0";
    return s;
}

// One character per pixel column: '1' under a bar, '0' under a space.
// Streams, so that a very wide symbol needs no buffer of its size.
void PrintModules(const qb::EncodedSymbol& symbol)
{
    for (char c : symbol.LineCodes) {
        std::int32_t width;
        TBarLineType type;
        qb::DecodeLineCode(c, symbol.Widths, width, type);
        const char mark = type == white ? '0' : '1';
        for (std::int32_t i = 0; i < width; ++i)
            std::putchar(mark);
    }
}

struct EncodeOptions {
    EncodingOptions encoding;
    bool json = false, modules = false;
    std::string batch;
};

// Prints what the symbol of one text is: one JSON object on a line, or a
// block of named lines after `separator`.
void PrintEncoding(const EncodeOptions& o, const Symbology& symbology, const std::string& text,
                   const char* separator = "")
{
    const TextToEncode prepared = o.encoding.Prepare(symbology, text);
    const qb::EncodedSymbol symbol =
        EncodeText(symbology, prepared.text, o.encoding.Modul(), o.encoding.ratio, prepared.checksum, o.encoding.addOn);
    const std::string &lineCodes = symbol.LineCodes, &caption = symbol.Caption;
    const double ratio = symbol.Ratio;
    const qb::ModuleWidths& widths = symbol.Widths;
    const std::int32_t barWidth = symbol.BarWidth;
    const char* typeName = symbology.IsExtra() ? kExtraSymbologies[symbology.extra == Symbology::Extra::Gs1_128].alias
                                               : BarTypeEnumName(symbology.type);
    if (o.json) {
        std::printf("{\"type\": \"%s\", \"text\": %s, \"line_codes\": %s, \"caption\": %s, \"ratio\": %s, "
                    "\"module_widths\": [%d, %d, %d, %d], \"bar_width\": %d",
                    typeName, JsonString(prepared.encoded).c_str(), JsonString(lineCodes).c_str(),
                    JsonString(caption).c_str(), ShortestReal(ratio).c_str(), widths[0], widths[1], widths[2],
                    widths[3], barWidth);
        if (o.modules) {
            std::fputs(", \"modules\": \"", stdout);
            PrintModules(symbol);
            std::putchar('"');
        }
        std::puts("}");
        return;
    }
    // A Code 128 text given in UTF-8 was encoded in Latin-1: it is shown in
    // UTF-8 again, as it was given.
    const bool fromUtf8 = symbology.extra == Symbology::Extra::Code128 && prepared.encoded != text;
    const std::string shownText = fromUtf8 ? Utf8FromLatin1(prepared.encoded) : prepared.encoded;
    const std::string shownCaption = fromUtf8 ? Utf8FromLatin1(caption) : caption;
    std::fputs(separator, stdout);
    std::printf("type:          %s (%s)\n", typeName, symbology.Name());
    std::fputs("text:          ", stdout);
    std::fwrite(shownText.data(), 1, shownText.size(), stdout);
    std::putchar('\n');
    std::printf("line codes:    %s\n", lineCodes.c_str());
    std::fputs("caption:       ", stdout);
    std::fwrite(shownCaption.data(), 1, shownCaption.size(), stdout); // every byte, NUL too
    std::putchar('\n');
    std::printf("ratio:         %s\n", ShortestReal(ratio).c_str());
    std::printf("module widths: %d %d %d %d\n", widths[0], widths[1], widths[2], widths[3]);
    std::printf("bar width:     %d\n", barWidth);
    if (o.modules) {
        std::fputs("modules:       ", stdout);
        PrintModules(symbol);
        std::putchar('\n');
    }
}

} // namespace

std::function<int()> AddEncodeCommand(CLI::App& app)
{
    auto* cmd = app.add_subcommand("encode", "Print the line codes, caption and widths of a barcode");
    auto o = std::make_shared<EncodeOptions>();
    o->encoding.Add(*cmd, "Narrow module width in pixels");
    o->encoding.AddAddOn(*cmd);
    cmd->add_flag("--json", o->json, "Print one JSON object (with --batch: one per line)");
    cmd->add_flag("--modules", o->modules, "Add the symbol as 1 (bar) and 0 (space), one per pixel column");
    o->encoding.AddBatch(*cmd, o->batch, "Encode each line of FILE (- for standard input)");
    return [o] {
        const Symbology symbology = o->encoding.Type();
        if (o->batch.empty()) {
            PrintEncoding(*o, symbology, o->encoding.Text());
            return 0;
        }
        long long printed = 0;
        return RunBatch(
            o->batch,
            [&](const std::string& line, long long) {
                PrintEncoding(*o, symbology, line, printed > 0 ? "\n" : "");
                ++printed;
            },
            JsonErrorLines(o->json));
    };
}
