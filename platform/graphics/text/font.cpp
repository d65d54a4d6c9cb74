// TFont: a font description with a handle that follows its properties.
#include "qbarcode/graphics.h"
#include "text/handles.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace qb {

namespace {

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    long double r = static_cast<long double>(a) * b / c;
    return static_cast<int>(std::clamp<long double>(std::roundl(r), INT32_MIN, INT32_MAX));
}

} // namespace

TFont::TFont() = default;

TFont::~TFont()
{
    if (handle_)
        DeleteObject(handle_);
}

int TFont::Height() const
{
    return -MulDiv(Size, PixelsPerInch, 72);
}

void TFont::SetHeight(int height)
{
    Size = -MulDiv(height, 72, PixelsPerInch);
}

void TFont::Assign(const TFont& source)
{
    if (&source == this)
        return;
    Name = source.Name;
    Size = source.Size;
    Color = source.Color;
    Style = source.Style;
    Quality = source.Quality;
    Charset = source.Charset;
    Pitch = source.Pitch;
}

HFONT TFont::Handle() const
{
    LOGFONTA lf;
    lf.lfHeight = Height();
    lf.lfWeight = (Style & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (Style & fsItalic) ? 1 : 0;
    lf.lfUnderline = (Style & fsUnderline) ? 1 : 0;
    lf.lfStrikeOut = (Style & fsStrikeOut) ? 1 : 0;
    lf.lfQuality = Quality == fqNonAntialiased ? NONANTIALIASED_QUALITY
                   : Quality == fqAntialiased  ? ANTIALIASED_QUALITY
                                               : DEFAULT_QUALITY;
    std::strncpy(lf.lfFaceName, Name.c_str(), LF_FACESIZE - 1);
    if (object_ && std::memcmp(&object_->lf, &lf, sizeof lf) == 0 && gfx::FindFont(handle_) == object_)
        return handle_;
    if (handle_)
        DeleteObject(handle_);
    object_ = std::make_shared<gfx::GdiFont>(lf);
    handle_ = gfx::RegisterFont(object_);
    return handle_;
}

} // namespace qb
