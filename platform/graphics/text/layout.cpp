// Text layout through the realised font, and text frames.
#include "text/layout.h"
#include "qbarcode/sysutils.h"
#include "text/utf8.h"

#include <cmath>
#include <numbers>

namespace qb {

namespace gfx {

void LayoutText(const std::shared_ptr<FontResource>& font, const std::string& text, TextLayout& out)
{
    if (out.font == font && out.text == text)
        return;
    out.font = nullptr;
    out.glyphs.clear();
    out.advance = 0;
    out.wholePixels = true;
    if (!text.empty()) {
        double advance;
        font->Layout(AsUtf8(text), out.glyphs, advance);
        out.advance = static_cast<int>(std::lround(advance));
        for (const Glyph& g : out.glyphs)
            if (g.x != std::floor(g.x) || g.y != 0)
                out.wholePixels = false;
    }
    out.font = font;
    out.text = text;
}

int Quadrant(std::int32_t escapement)
{
    std::int64_t e = ((std::int64_t(escapement) % 3600) + 3600) % 3600;
    return e % 900 == 0 ? static_cast<int>(e / 900) : -1;
}

TextFrame MakeFrame(int x, int y, std::int32_t escapement, double aspect)
{
    TextFrame f{double(x), double(y), 1, 0, aspect};
    int q = Quadrant(escapement);
    static const double kCos[] = {1, 0, -1, 0}, kSin[] = {0, 1, 0, -1};
    if (q >= 0) {
        f.cosA = kCos[q];
        f.sinA = kSin[q];
    } else {
        double radians = (escapement % 3600) / 1800.0 * std::numbers::pi;
        f.cosA = std::cos(radians);
        f.sinA = std::sin(radians);
    }
    return f;
}

} // namespace gfx

} // namespace qb
