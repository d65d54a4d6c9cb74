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

} // namespace

std::function<int()> AddEncodeCommand(CLI::App& app)
{
    auto* cmd = app.add_subcommand("encode", "Print the line codes, caption and widths of a barcode");
    auto opts = std::make_shared<EncodingOptions>();
    auto json = std::make_shared<bool>(false);
    auto modules = std::make_shared<bool>(false);
    opts->Add(*cmd, "Narrow module width in pixels");
    cmd->add_flag("--json", *json, "Print one JSON object");
    cmd->add_flag("--modules", *modules, "Add the symbol as 1 (bar) and 0 (space), one per pixel column");
    return [opts, json, modules] {
        const TBarType type = opts->Type();
        const TextToEncode prepared = opts->Prepare(type, opts->Text());
        const qb::EncodedSymbol symbol =
            qb::EncodeSymbol(type, prepared.text, opts->Modul(), opts->ratio, prepared.checksum);
        const std::string &lineCodes = symbol.LineCodes, &caption = symbol.Caption;
        const double ratio = symbol.Ratio;
        const qb::ModuleWidths& widths = symbol.Widths;
        const std::int32_t barWidth = symbol.BarWidth;
        if (*json) {
            std::printf("{\"type\": \"%s\", \"text\": %s, \"line_codes\": %s, \"caption\": %s, \"ratio\": %s, "
                        "\"module_widths\": [%d, %d, %d, %d], \"bar_width\": %d",
                        BarTypeEnumName(type), JsonString(prepared.encoded).c_str(), JsonString(lineCodes).c_str(),
                        JsonString(caption).c_str(), ShortestReal(ratio).c_str(), widths[0], widths[1], widths[2],
                        widths[3], barWidth);
            if (*modules) {
                std::fputs(", \"modules\": \"", stdout);
                PrintModules(symbol);
                std::putchar('"');
            }
            std::puts("}");
            return 0;
        }
        std::printf("type:          %s (%s)\n", BarTypeEnumName(type), BCData[type].Name);
        std::fputs("text:          ", stdout);
        std::fwrite(prepared.encoded.data(), 1, prepared.encoded.size(), stdout);
        std::putchar('\n');
        std::printf("line codes:    %s\n", lineCodes.c_str());
        std::fputs("caption:       ", stdout);
        std::fwrite(caption.data(), 1, caption.size(), stdout); // every byte, NUL too
        std::putchar('\n');
        std::printf("ratio:         %s\n", ShortestReal(ratio).c_str());
        std::printf("module widths: %d %d %d %d\n", widths[0], widths[1], widths[2], widths[3]);
        std::printf("bar width:     %d\n", barWidth);
        if (*modules) {
            std::fputs("modules:       ", stdout);
            PrintModules(symbol);
            std::putchar('\n');
        }
        return 0;
    };
}
