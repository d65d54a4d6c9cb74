// SVG documents, written directly: the canvas's paths become <rect> and
// <path> elements, text becomes <text> elements placed where the raster puts
// its glyphs, bitmaps become embedded PNG images. Coordinates are device
// pixels (the view box); the document's width and height carry the scale.
#include "vector/svg_surface.h"
#include "qbarcode/sysutils.h"
#include "raster/png.h"
#include "text/utf8.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

namespace qb {

namespace gfx {
namespace {

// Whole numbers as integers, others with three decimals at most (a
// thousandth of a pixel), never in exponent form. Writes at most 24 bytes.
char* WriteNumber(char* p, double v)
{
    if (!(std::fabs(v) < 1e15))
        v = 0;
    const auto whole = static_cast<long long>(v);
    if (whole == v)
        return std::to_chars(p, p + 24, whole).ptr;
    char* end = std::to_chars(p, p + 24, v, std::chars_format::fixed, 3).ptr;
    while (end[-1] == '0')
        --end;
    if (end[-1] == '.')
        --end;
    if (end - p == 2 && p[0] == '-' && p[1] == '0') // a tiny negative value rounds to "-0"
        p[0] = '0', end = p + 1;
    return end;
}

void PutNumber(std::string& out, double v)
{
    char buf[24];
    out.append(buf, static_cast<std::size_t>(WriteNumber(buf, v) - buf));
}

struct Rgb {
    TColor value;
};

// A fixed-size buffer for one element or path command, appended to the
// document in one go.
class Piece {
public:
    Piece& operator<<(const char* text)
    {
        const std::size_t n = std::strlen(text);
        std::memcpy(p_, text, n);
        p_ += n;
        return *this;
    }
    Piece& operator<<(char c)
    {
        *p_++ = c;
        return *this;
    }
    Piece& operator<<(double v)
    {
        p_ = WriteNumber(p_, v);
        return *this;
    }
    // "#rgb" when every channel's two digits agree, else "#rrggbb".
    Piece& operator<<(Rgb color)
    {
        static const char kHex[] = "0123456789abcdef";
        const auto c = static_cast<std::uint32_t>(ColorToRGB(color.value)); // 0x00BBGGRR
        const unsigned channels[3] = {c & 0xFF, c >> 8 & 0xFF, c >> 16 & 0xFF};
        const bool shortForm =
            std::all_of(std::begin(channels), std::end(channels), [](unsigned v) { return (v >> 4) == (v & 0xF); });
        *p_++ = '#';
        for (unsigned v : channels) {
            *p_++ = kHex[v >> 4];
            if (!shortForm)
                *p_++ = kHex[v & 0xF];
        }
        return *this;
    }
    void AppendTo(std::string& out) const { out.append(buf_, static_cast<std::size_t>(p_ - buf_)); }

private:
    char buf_[256];
    char* p_ = buf_;
};

// UTF-8 text as XML character data or attribute value. Markup characters
// become entities; tab, line feed and carriage return become character
// references, so attribute normalisation and line-end handling keep them;
// code points XML cannot carry at all become U+FFFD.
void PutEscaped(std::string& out, std::string_view utf8)
{
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        switch (c) {
        case '&':
            out += "&amp;";
            continue;
        case '<':
            out += "&lt;";
            continue;
        case '>':
            out += "&gt;";
            continue;
        case '"':
            out += "&quot;";
            continue;
        case '\t':
            out += "&#9;";
            continue;
        case '\n':
            out += "&#10;";
            continue;
        case '\r':
            out += "&#13;";
            continue;
        default:
            break;
        }
        if (c < 0x20) {
            out += "\xEF\xBF\xBD";
        } else if (c == 0xEF && utf8.substr(i, 2) == "\xEF\xBF" && i + 2 < utf8.size() &&
                   (utf8[i + 2] == '\xBE' || utf8[i + 2] == '\xBF')) {
            out += "\xEF\xBF\xBD"; // U+FFFE, U+FFFF
            i += 2;
        } else {
            out += static_cast<char>(c);
        }
    }
}

std::size_t CodePoints(std::string_view utf8)
{
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// A face name as a CSS font family: bare when it is a run of plain words,
// else quoted.
std::string FontFamily(const LOGFONTA& lf)
{
    const char* end = static_cast<const char*>(std::memchr(lf.lfFaceName, 0, LF_FACESIZE));
    std::string face(lf.lfFaceName, end ? end : lf.lfFaceName + LF_FACESIZE);
    if (face.empty())
        face = kDefaultFace;
    bool plain = true, wordStart = true;
    for (char ch : face) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == ' ') {
            plain = plain && !wordStart;
            wordStart = true;
        } else if (std::isalpha(c) || c == '_' || (!wordStart && (std::isdigit(c) || c == '-'))) {
            wordStart = false;
        } else {
            plain = false;
        }
    }
    if (plain && !wordStart)
        return face;
    std::string quoted = "'";
    for (char c : face) {
        if (c == '\'' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "'";
}

void PutBase64(std::string& out, const std::string& bytes)
{
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t v = std::uint32_t(static_cast<unsigned char>(bytes[i])) << 16 |
                                std::uint32_t(static_cast<unsigned char>(bytes[i + 1])) << 8 |
                                static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[v >> 18];
        out += kDigits[v >> 12 & 63];
        out += kDigits[v >> 6 & 63];
        out += kDigits[v & 63];
    }
    if (i < bytes.size()) {
        std::uint32_t v = std::uint32_t(static_cast<unsigned char>(bytes[i])) << 16;
        if (i + 1 < bytes.size())
            v |= std::uint32_t(static_cast<unsigned char>(bytes[i + 1])) << 8;
        out += kDigits[v >> 18];
        out += kDigits[v >> 12 & 63];
        out += i + 1 < bytes.size() ? kDigits[v >> 6 & 63] : '=';
        out += '=';
    }
}

} // namespace

SvgSurface::SvgSurface(const std::string& path, int width, int height, double scaleX, double scaleY,
                       const std::string& title)
    : DocumentSurface(width, height), file_(path)
{
    doc_.reserve(16 << 10);
    doc_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"";
    PutNumber(doc_, width * scaleX);
    doc_ += "px\" height=\"";
    PutNumber(doc_, height * scaleY);
    doc_ += "px\" viewBox=\"0 0 ";
    PutNumber(doc_, width);
    doc_ += ' ';
    PutNumber(doc_, height);
    doc_ += '"';
    if (scaleX != scaleY)
        doc_ += " preserveAspectRatio=\"none\"";
    doc_ += ">\n";
    if (!title.empty()) {
        doc_ += "<title>";
        PutEscaped(doc_, AsUtf8(title));
        doc_ += "</title>\n";
    }
}

void SvgSurface::EndPage()
{
    throw Exception("This document format holds a single page");
}

void SvgSurface::WriteOut()
{
    if (!file_.IsOpen())
        return;
    if (groupClip_)
        doc_ += "</g>\n";
    doc_ += "</svg>\n";
    file_.Write(doc_);
    doc_.clear();
    file_.Commit();
}

void SvgSurface::Drop() noexcept
{
    file_.Discard();
    doc_.clear();
}

void SvgSurface::MoveTo(double x, double y)
{
    FlushRectangle();
    Piece cmd;
    cmd << 'M' << x << ' ' << y;
    cmd.AppendTo(pathData_);
}

void SvgSurface::LineTo(double x, double y)
{
    FlushRectangle();
    Piece cmd;
    cmd << 'L' << x << ' ' << y;
    cmd.AppendTo(pathData_);
}

void SvgSurface::ClosePath()
{
    pathData_ += 'Z';
}

void SvgSurface::Rectangle(double x, double y, double width, double height)
{
    FlushRectangle();
    pending_ = {x, y, width, height};
    if (!pathData_.empty())
        FlushRectangle();
}

void SvgSurface::FlushRectangle()
{
    if (!pending_)
        return;
    const auto [x, y, width, height] = *pending_;
    Piece cmd;
    cmd << 'M' << x << ' ' << y << 'H' << x + width << 'V' << y + height << 'H' << x << 'Z';
    cmd.AppendTo(pathData_);
    pending_.reset();
}

bool SvgSurface::OpenPathElement()
{
    FlushRectangle();
    if (pathData_.empty())
        return false;
    doc_ += "<path d=\"";
    doc_ += pathData_;
    pathData_.clear();
    return true;
}

void SvgSurface::ClipTo(double x, double y, double width, double height)
{
    clip_ = Box{x, y, width, height};
}

void SvgSurface::Unclip()
{
    clip_.reset();
}

void SvgSurface::SyncClip()
{
    if (clip_ == groupClip_)
        return;
    if (groupClip_)
        doc_ += "</g>\n";
    groupClip_ = clip_;
    if (!clip_)
        return;
    const std::string id = "clip" + std::to_string(++clipPaths_);
    doc_ += "<clipPath id=\"" + id + "\"><rect x=\"";
    PutNumber(doc_, clip_->x);
    doc_ += "\" y=\"";
    PutNumber(doc_, clip_->y);
    doc_ += "\" width=\"";
    PutNumber(doc_, clip_->width);
    doc_ += "\" height=\"";
    PutNumber(doc_, clip_->height);
    doc_ += "\"/></clipPath>\n<g clip-path=\"url(#" + id + ")\">\n";
}

void SvgSurface::Fill(TColor color, bool evenOdd)
{
    SyncClip();
    Piece element;
    if (pending_ && pathData_.empty()) {
        const auto [x, y, width, height] = *pending_;
        element << "<rect x=\"" << x << "\" y=\"" << y << "\" width=\"" << width << "\" height=\"" << height << '"';
        pending_.reset();
    } else {
        if (!OpenPathElement())
            return;
        element << '"';
        if (evenOdd)
            element << " fill-rule=\"evenodd\"";
    }
    element << " fill=\"" << Rgb{color} << "\"/>\n";
    element.AppendTo(doc_);
}

void SvgSurface::Stroke(TColor color, double width, LineCap cap)
{
    SyncClip();
    if (!OpenPathElement())
        return;
    Piece attributes;
    attributes << "\" fill=\"none\" stroke=\"" << Rgb{color} << '"';
    if (width != 1)
        attributes << " stroke-width=\"" << width << '"';
    if (cap == LineCap::Square)
        attributes << " stroke-linecap=\"square\"";
    attributes << "/>\n";
    attributes.AppendTo(doc_);
}

void SvgSurface::ShowText(const TextRun& run)
{
    SyncClip();
    const TextLayout& layout = run.layout;
    const FontResource& font = *layout.font;
    const TextFrame& frame = run.frame;
    const std::int64_t tenths = ((std::int64_t(run.lf.lfEscapement) % 3600) + 3600) % 3600;

    // Unturned text on square pixels is placed directly; otherwise a group
    // turns it about the reference point (and scales it to the pixel aspect).
    double x = frame.x, y = frame.y;
    const bool grouped = tenths != 0 || frame.aspect != 1;
    if (grouped) {
        doc_ += "<g transform=\"";
        if (frame.aspect != 1) {
            doc_ += "translate(";
            PutNumber(doc_, frame.x);
            doc_ += ' ';
            PutNumber(doc_, frame.y);
            doc_ += ") scale(";
            PutNumber(doc_, frame.aspect);
            doc_ += " 1)";
            x = y = 0;
            if (tenths != 0) {
                doc_ += " rotate(";
                PutNumber(doc_, -tenths / 10.0);
                doc_ += ')';
            }
        } else {
            doc_ += "rotate(";
            PutNumber(doc_, -tenths / 10.0);
            doc_ += ' ';
            PutNumber(doc_, x);
            doc_ += ' ';
            PutNumber(doc_, y);
            doc_ += ')';
        }
        doc_ += "\">\n";
    }

    auto box = [&](double top, double height, TColor color) {
        Piece element;
        element << "<rect x=\"" << x << "\" y=\"" << y + top << "\" width=\"" << double(layout.advance)
                << "\" height=\"" << height << "\" fill=\"" << Rgb{color} << "\"/>\n";
        element.AppendTo(doc_);
    };
    if (run.opaque && layout.advance > 0)
        box(0, font.ascent + font.descent, run.cellColor);

    const std::string utf8 = AsUtf8(layout.text);
    if (!utf8.empty()) {
        // Every character at the position the layout gave its glyph, so the
        // text lines up with the raster whatever the viewer's own metrics.
        doc_ += "<text x=\"";
        if (CodePoints(utf8) == layout.glyphs.size()) {
            for (std::size_t i = 0; i < layout.glyphs.size(); ++i) {
                if (i > 0)
                    doc_ += ' ';
                PutNumber(doc_, x + layout.glyphs[i].x);
            }
        } else {
            PutNumber(doc_, x);
        }
        doc_ += "\" y=\"";
        PutNumber(doc_, y + font.ascent);
        doc_ += "\" font-family=\"";
        PutEscaped(doc_, AsUtf8(FontFamily(run.lf)));
        Piece attributes;
        attributes << "\" font-size=\"" << font.em << '"';
        if (run.lf.lfWeight >= 600)
            attributes << " font-weight=\"bold\"";
        if (run.lf.lfItalic)
            attributes << " font-style=\"italic\"";
        attributes << " fill=\"" << Rgb{run.color} << "\" xml:space=\"preserve\">";
        attributes.AppendTo(doc_);
        PutEscaped(doc_, utf8);
        doc_ += "</text>\n";
    }
    if (layout.advance > 0) {
        if (run.lf.lfUnderline)
            box(font.ascent + font.underlinePos, font.lineThickness, run.color);
        if (run.lf.lfStrikeOut)
            box(font.ascent + font.strikePos, font.lineThickness, run.color);
    }
    if (grouped)
        doc_ += "</g>\n";
}

void SvgSurface::PlaceImage(double x, double y, const PixelBuffer& pixels, const PointD&, const PointD&)
{
    // The viewer clips to the view box; the whole image goes in.
    SyncClip();
    Piece element;
    element << "<image x=\"" << x << "\" y=\"" << y << "\" width=\"" << double(pixels.width) << "\" height=\""
            << double(pixels.height) << '"';
    element.AppendTo(doc_);
    doc_ += " preserveAspectRatio=\"none\" style=\"image-rendering:pixelated\""
            " xmlns:xlink=\"http://www.w3.org/1999/xlink\" xlink:href=\"data:image/png;base64,";
    PutBase64(doc_, EncodePng(pixels));
    doc_ += "\"/>\n";
}

} // namespace gfx

} // namespace qb
