// Drives Q_DrawBar onto a small bitmap with any symbology, text, module,
// ratio, position, bar height (bounded), angle and caption settings. The
// drawing must stay inside the bitmap (the sanitizers watch every write);
// anything but the library's Exception is a finding.
#include "qbarcode/qbarcode.h"
#include "qbarcode/sysutils.h"

#include <cstdint>
#include <cstring>
#include <string>

using namespace qb;

namespace {

template <typename T> T Take(const std::uint8_t*& data, std::size_t& size)
{
    T v{};
    if (size >= sizeof v) {
        std::memcpy(&v, data, sizeof v);
        data += sizeof v;
        size -= sizeof v;
    }
    return v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto type = static_cast<TBarType>(Take<std::uint8_t>(data, size) % 24);
    const auto modul = Take<std::int32_t>(data, size);
    const auto ratio = Take<double>(data, size);
    const auto left = Take<std::int32_t>(data, size);
    const auto top = Take<std::int32_t>(data, size);
    const auto height = Take<std::int16_t>(data, size);
    const auto angle = Take<double>(data, size);
    const auto flags = Take<std::uint8_t>(data, size);
    const auto fontSize = Take<std::uint8_t>(data, size);
    const std::string text(reinterpret_cast<const char*>(data), size);

    static TBitmap bitmap(64, 48);
    TFont font;
    font.Size = 1 + fontSize % 48;
    font.Style = flags >> 4;
    try {
        Q_DrawBar(bitmap.Canvas(), type, text, modul, ratio, static_cast<TCheckSum>(flags & 1), left, top, height,
                  &font, static_cast<TTextShow>((flags >> 1) % 4), static_cast<TTextPosition>((flags >> 3) % 6),
                  clBlack, clWhite, clRed, angle);
        (void)DrawingBounds(bitmap.Canvas(), type, text, modul, ratio, static_cast<TCheckSum>(flags & 1), left, top,
                            height, &font, static_cast<TTextShow>((flags >> 1) % 4),
                            static_cast<TTextPosition>((flags >> 3) % 6), angle);
    } catch (const Exception&) {
    }
    return 0;
}
