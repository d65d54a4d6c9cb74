// Drives MakeLineCodes and Q_GetBarWidth with any symbology ordinal, any
// bytes, any module and any ratio. Anything but the library's Exception is a
// finding.
#include "qbarcode/qbarcode.h"
#include "qbarcode/sysutils.h"

#include <cstdint>
#include <cstring>
#include <string>

using namespace qb;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1 + 4 + 8 + 1)
        return 0;
    const auto type = static_cast<TBarType>(static_cast<std::int8_t>(data[0]) % 26);
    std::int32_t modul;
    double ratio;
    std::memcpy(&modul, data + 1, 4);
    std::memcpy(&ratio, data + 5, 8);
    const auto cs = static_cast<TCheckSum>(data[13] & 1);
    const std::string text(reinterpret_cast<const char*>(data + 14), size - 14);
    try {
        std::string caption = text, lineCodes;
        double r = ratio;
        MakeLineCodes(type, text, modul, r, cs, caption, lineCodes);
        const std::int32_t width = Q_GetBarWidth(type, text, modul, ratio, cs);
        std::int64_t sum = 0;
        for (char c : lineCodes) {
            std::int32_t w;
            TBarLineType kind;
            DecodeLineCode(c, w, kind);
            sum += w;
        }
        if (sum != width)
            __builtin_trap();
    } catch (const Exception&) {
    }
    return 0;
}
