// The OS-style calls on font handles and device contexts.
#include "qbarcode/graphics.h"
#include "text/handles.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qb {

int GetObject(HGDIOBJ object, int size, void* out)
{
    auto font = gfx::FindFont(object);
    if (!font)
        return 0;
    if (!out)
        return sizeof(LOGFONTA);
    int n = std::clamp(size, 0, int(sizeof(LOGFONTA)));
    std::memcpy(out, &font->lf, n);
    return n;
}

HFONT CreateFontIndirect(const LOGFONTA* record)
{
    if (!record)
        return nullptr;
    return gfx::RegisterFont(std::make_shared<gfx::GdiFont>(*record));
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object)
{
    auto context = gfx::FindDeviceContext(dc);
    if (!context)
        return nullptr;
    auto font = gfx::FindFont(object);
    if (!font)
        return nullptr;
    HGDIOBJ previous = context->fontHandle;
    context->font = std::move(font);
    context->fontHandle = object;
    return previous;
}

bool DeleteObject(HGDIOBJ object)
{
    return gfx::UnregisterFont(object);
}

int GetDeviceCaps(HDC dc, int index)
{
    auto context = gfx::FindDeviceContext(dc);
    if (!context)
        return 0;
    const gfx::DeviceCaps& c = context->caps;
    auto mm = [](int pixels, int dpi) { return dpi > 0 ? static_cast<int>(std::lround(pixels * 25.4 / dpi)) : 0; };
    switch (index) {
    case TECHNOLOGY:
        return c.technology;
    case HORZSIZE:
        return mm(c.width, c.dpiX);
    case VERTSIZE:
        return mm(c.height, c.dpiY);
    case HORZRES:
        return c.width;
    case VERTRES:
        return c.height;
    case BITSPIXEL:
        return 24;
    case PLANES:
        return 1;
    case LOGPIXELSX:
        return c.dpiX;
    case LOGPIXELSY:
        return c.dpiY;
    case PHYSICALWIDTH:
        return c.physicalWidth;
    case PHYSICALHEIGHT:
        return c.physicalHeight;
    case PHYSICALOFFSETX:
        return c.offsetX;
    case PHYSICALOFFSETY:
        return c.offsetY;
    default:
        return 0;
    }
}

} // namespace qb
