// PDF, PostScript and EPS documents, written directly. Both languages get the
// same content: a page's user space is points with y down (one flip at the
// top of the page), and PostScript gets a prolog that defines the PDF
// operators used. Path coordinates are the device pixel times the scale,
// rounded to a 256th of a point and written to a thousandth, so that readers
// fit every bar to their pixels as they always have. Text is set in Type 3
// fonts made of the glyph outlines FreeType reads from the face (every face
// format alike), a font per 256 glyphs, each glyph where the layout put it.
// PDF pages are written as they end; PostScript needs its fonts before the
// pages, so its pages wait in a temporary file until the document is closed.
#include "vector/page_surface.h"
#include "qbarcode/sysutils.h"
#include "raster/pixels.h"
#include "text/layout.h"
#include "text/utf8.h"

#include <libdeflate.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace qb {

namespace gfx {
namespace {

// Content streams are compressed fast: a label sheet is mostly the same few
// operators, which the fastest level reduces to an eighth; higher levels
// take twice as long and more for a sixth less.
constexpr int kDeflateLevel = 1;
// Bytes gathered before they are handed to the file.
constexpr std::size_t kBlock = 1 << 20;

void PutInt(std::string& out, long long v)
{
    char buf[24];
    out.append(buf, static_cast<std::size_t>(std::to_chars(buf, buf + sizeof buf, v).ptr - buf));
}

// A number to six decimals at most, trailing zeros dropped.
void PutNumber(std::string& out, double v)
{
    if (!(std::fabs(v) < 1e15))
        v = 0;
    const auto whole = static_cast<long long>(v);
    if (whole == v) {
        PutInt(out, whole);
        return;
    }
    char buf[40];
    char* end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6).ptr;
    while (end[-1] == '0')
        --end;
    if (end[-1] == '.')
        --end;
    if (end - buf == 2 && buf[0] == '-' && buf[1] == '0')
        buf[0] = '0', end = buf + 1;
    out.append(buf, static_cast<std::size_t>(end - buf));
}

// A path coordinate in points: rounded to a 256th (to even on a tie), then
// written to a thousandth (to even on a tie), trailing zeros dropped. Writes
// at most 24 bytes at `p`; returns the end.
char* WriteCoordinate(char* p, double points)
{
    if (!(std::fabs(points) < 1e12))
        points = 0;
    const auto fixed = static_cast<long long>(std::nearbyint(points * 256));
    const bool negative = fixed < 0;
    const long long scaled = (negative ? -fixed : fixed) * 125; // thousandths times 32
    long long thousandths = scaled / 32;
    const long long rest = scaled % 32;
    if (rest > 16 || (rest == 16 && (thousandths & 1)))
        ++thousandths;
    if (negative && thousandths != 0)
        *p++ = '-';
    p = std::to_chars(p, p + 20, thousandths / 1000).ptr;
    if (int frac = static_cast<int>(thousandths % 1000)) {
        *p++ = '.';
        *p++ = char('0' + frac / 100);
        if ((frac %= 100) != 0) {
            *p++ = char('0' + frac / 10);
            if ((frac %= 10) != 0)
                *p++ = char('0' + frac);
        }
    }
    return p;
}

// The last value of a coordinate written and its text: the bars of a
// barcode share their top and height.
struct CoordinateCache {
    double value = std::numeric_limits<double>::quiet_NaN();
    char text[24];
    std::size_t length = 0;
    char* Write(char* p, double points)
    {
        if (points != value) {
            value = points;
            length = static_cast<std::size_t>(WriteCoordinate(text, points) - text);
        }
        std::memcpy(p, text, length);
        return p + length;
    }
};

// A colour and its operator: a grey level when the channels agree (`g`,
// `G` for strokes), else red, green and blue (`rg`, `RG`).
void PutColor(std::string& out, TColor color, bool stroke)
{
    const auto c = static_cast<std::uint32_t>(ColorToRGB(color));
    const unsigned r = c & 0xFF, g = c >> 8 & 0xFF, b = c >> 16 & 0xFF;
    PutNumber(out, r / 255.0);
    if (r == g && g == b) {
        out += stroke ? " G" : " g";
        return;
    }
    out += ' ';
    PutNumber(out, g / 255.0);
    out += ' ';
    PutNumber(out, b / 255.0);
    out += stroke ? " RG" : " rg";
}

void PutHexByte(std::string& out, unsigned v)
{
    static const char kHex[] = "0123456789abcdef";
    out += kHex[v >> 4 & 15];
    out += kHex[v & 15];
}

// Bytes in ASCII85, lines of at most 80 characters, with the end marker.
void PutAscii85(std::string& out, std::string_view bytes)
{
    int column = 0;
    auto put = [&](char c) {
        out += c;
        if (++column == 80)
            out += '\n', column = 0;
    };
    std::size_t i = 0;
    for (; i + 4 <= bytes.size(); i += 4) {
        std::uint32_t v = 0;
        for (int k = 0; k < 4; ++k)
            v = v << 8 | static_cast<unsigned char>(bytes[i + std::size_t(k)]);
        if (v == 0) {
            put('z');
            continue;
        }
        char digits[5];
        for (int k = 4; k >= 0; --k, v /= 85)
            digits[k] = char('!' + v % 85);
        for (char d : digits)
            put(d);
    }
    if (const std::size_t left = bytes.size() - i) {
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 4; ++k)
            v = v << 8 | (k < left ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        char digits[5];
        for (int k = 4; k >= 0; --k, v /= 85)
            digits[k] = char('!' + v % 85);
        for (std::size_t k = 0; k <= left; ++k)
            put(digits[k]);
    }
    out += "~>\n";
}

// The code points of UTF-8 text.
std::u32string CodePoints(const std::string& utf8)
{
    std::u32string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t cp = n == 1 ? c : c & (0x3F >> (n - 1));
        for (int k = 1; k < n && i + std::size_t(k) < utf8.size(); ++k)
            cp = cp << 6 | (static_cast<unsigned char>(utf8[i + std::size_t(k)]) & 0x3F);
        i += std::size_t(n);
        out += cp;
    }
    return out;
}

// A code point in UTF-16BE, as hexadecimal digits.
void PutUtf16(std::string& out, char32_t c)
{
    auto unit = [&](unsigned u) {
        PutHexByte(out, u >> 8);
        PutHexByte(out, u & 0xFF);
    };
    if (c >= 0x10000) {
        c -= 0x10000;
        unit(0xD800 + unsigned(c >> 10));
        unit(0xDC00 + unsigned(c & 0x3FF));
    } else {
        unit(unsigned(c));
    }
}

// The PDF operators the content uses, defined in PostScript. A rectangle is
// drawn as PDF readers draw it: a move and three relative lines, closed.
constexpr const char* kProlog = "/q { gsave } bind def\n"
                                "/Q { grestore } bind def\n"
                                "/cm { 6 array astore concat } bind def\n"
                                "/w { setlinewidth } bind def\n"
                                "/J { setlinecap } bind def\n"
                                "/j { setlinejoin } bind def\n"
                                "/m { moveto } bind def\n"
                                "/l { lineto } bind def\n"
                                "/c { curveto } bind def\n"
                                "/h { closepath } bind def\n"
                                "/re { 4 2 roll moveto 1 index 0 rlineto 0 exch rlineto neg 0 rlineto closepath }"
                                " bind def\n"
                                "/S { stroke } bind def\n"
                                "/f { fill } bind def\n"
                                "/f* { eofill } bind def\n"
                                "/n { newpath } bind def\n"
                                "/W { clip } bind def\n"
                                "/rg { setrgbcolor } bind def\n"
                                "/RG { setrgbcolor } bind def\n"
                                "/g { setgray } bind def\n"
                                "/G { setgray } bind def\n"
                                "/d1 { setcachedevice } bind def\n"
                                "/Tf { exch findfont exch dup neg 0 exch 0 exch 0 0 6 array astore makefont setfont }"
                                " bind def\n"
                                "/Tj { show } bind def\n";

} // namespace

PageSurface::PageSurface(TVectorFormat format, const std::string& path, int width, int height, double pageWidth,
                         double pageHeight, double scaleX, double scaleY, const std::string& title)
    : DocumentSurface(width, height), file_(path), format_(format), pageWidth_(pageWidth), pageHeight_(pageHeight),
      scaleX_(scaleX), scaleY_(scaleY), title_(title), written_(0)
{
    // Readers of PDF and PostScript fit each filled rectangle to their pixel
    // grid one fill at a time, so that a bar's edge pixel depends on the fills
    // around it: gathered boxes would move edges by a pixel. Each box is
    // filled as it comes.
    SetGathering(false);
    if (format_ == TVectorFormat::Eps || format_ == TVectorFormat::PostScript) {
        // PostScript pages are drawn on whole-point pages.
        pageWidth_ = std::ceil(pageWidth_);
        pageHeight_ = std::ceil(pageHeight_);
        body_ = std::tmpfile();
        if (!body_) {
            const std::string reason = std::strerror(errno);
            file_.Discard();
            throw Exception("Cannot create file " + QuotedFileName(path) + ": " + reason);
        }
    } else {
        out_ = "%PDF-1.5\n%\xB5\xED\xAE\xFB\n";
        offsets_.assign(5, 0); // 1 catalog, 2 page tree, 3 resources, 4 information
    }
    content_.reserve(256 << 10);
    StartPage();
}

PageSurface::~PageSurface()
{
    Drop();
}

void PageSurface::CloseBody() noexcept
{
    if (body_)
        std::fclose(body_);
    body_ = nullptr;
    if (deflater_)
        libdeflate_free_compressor(static_cast<libdeflate_compressor*>(deflater_));
    deflater_ = nullptr;
}

void PageSurface::Drop() noexcept
{
    CloseBody();
    file_.Discard();
    content_.clear();
    out_.clear();
}

void PageSurface::Emit(std::string_view bytes)
{
    out_ += bytes;
    if (out_.size() >= kBlock)
        FlushOut();
}

void PageSurface::FlushOut()
{
    written_ += out_.size();
    file_.Write(out_);
    out_.clear();
}

std::size_t PageSurface::NewObject()
{
    offsets_.push_back(0);
    return offsets_.size() - 1;
}

void PageSurface::BeginObject(std::size_t number)
{
    offsets_[number] = written_ + out_.size();
    PutInt(out_, static_cast<long long>(number));
    out_ += " 0 obj\n";
}

void PageSurface::Deflate(std::string_view data, std::string& out)
{
    if (!deflater_)
        deflater_ = libdeflate_alloc_compressor(kDeflateLevel);
    auto* compressor = static_cast<libdeflate_compressor*>(deflater_);
    if (!compressor)
        throw Exception("Cannot write file " + QuotedFileName(file_.Path()) + ": out of memory");
    out.resize(libdeflate_zlib_compress_bound(compressor, data.size()));
    out.resize(libdeflate_zlib_compress(compressor, data.data(), data.size(), out.data(), out.size()));
}

void PageSurface::StartPage()
{
    content_.clear();
    clipped_ = false;
    fill_ = -1;
    if (Pdf()) {
        content_ += "1 0 0 -1 0 ";
        PutNumber(content_, pageHeight_);
        content_ += " cm\n";
    } else {
        ++pages_;
        content_ += "%%Page: ";
        PutInt(content_, pages_);
        content_ += ' ';
        PutInt(content_, pages_);
        content_ += "\n%%BeginPageSetup\n%%EndPageSetup\nq 1 0 0 -1 0 ";
        PutNumber(content_, pageHeight_);
        content_ += " cm\n";
    }
    pageOpen_ = true;
}

void PageSurface::FinishPage()
{
    if (clipped_)
        content_ += "Q\n";
    clipped_ = false;
    pageOpen_ = false;
    if (!Pdf()) {
        content_ += "Q\nshowpage\n%%PageTrailer\n";
        if (std::fwrite(content_.data(), 1, content_.size(), body_) != content_.size())
            throw Exception("Cannot write file " + QuotedFileName(file_.Path()) + ": " + std::strerror(errno));
        return;
    }
    Deflate(content_, compressed_);
    const std::size_t stream = NewObject(), page = NewObject();
    BeginObject(stream);
    out_ += "<< /Length ";
    PutInt(out_, static_cast<long long>(compressed_.size()));
    out_ += " /Filter /FlateDecode >>\nstream\n";
    Emit(compressed_);
    out_ += "\nendstream\nendobj\n";
    BeginObject(page);
    out_ += "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 ";
    PutNumber(out_, pageWidth_);
    out_ += ' ';
    PutNumber(out_, pageHeight_);
    out_ += "] /Contents ";
    PutInt(out_, static_cast<long long>(stream));
    out_ += " 0 R /Resources 3 0 R >>\nendobj\n";
    pageObjects_.push_back(page);
    if (out_.size() >= kBlock)
        FlushOut();
}

void PageSurface::EndPage()
{
    if (format_ == TVectorFormat::Eps)
        throw Exception("This document format holds a single page");
    FinishPage();
    StartPage();
}

void PageSurface::WriteOut()
{
    if (!file_.IsOpen())
        return;
    if (pageOpen_)
        FinishPage();
    if (Pdf())
        WritePdfEnd();
    else
        WritePsStart();
    FlushOut();
    CloseBody();
    file_.Commit();
}

void PageSurface::MoveTo(double x, double y)
{
    path_.push_back({'m', x, y, 0, 0});
}

void PageSurface::LineTo(double x, double y)
{
    path_.push_back({'l', x, y, 0, 0});
}

void PageSurface::ClosePath()
{
    path_.push_back({'h', 0, 0, 0, 0});
}

void PageSurface::Rectangle(double x, double y, double width, double height)
{
    path_.push_back({'r', x, y, width, height});
}

void PageSurface::PutPath(bool inPoints)
{
    // A part at a time into a buffer, appended whole.
    thread_local CoordinateCache caches[4];
    char buf[128]; // four numbers of at most 24 characters, their spaces and the operator
    for (const PathPart& part : path_) {
        char* p = buf;
        const double values[4] = {part.x, part.y, part.width, part.height};
        const int count = part.op == 'h' ? 0 : part.op == 'r' ? 4 : 2;
        for (int k = 0; k < count; ++k) {
            if (inPoints) {
                p = caches[k].Write(p, values[k] * (k % 2 == 0 ? scaleX_ : scaleY_));
            } else {
                std::string number;
                PutNumber(number, values[k]);
                std::memcpy(p, number.data(), number.size());
                p += number.size();
            }
            *p++ = ' ';
        }
        // A rectangle's corner and size are each rounded, as a move and
        // relative lines are.
        *p++ = part.op == 'r' ? 'r' : part.op;
        if (part.op == 'r')
            *p++ = 'e';
        *p++ = part.op == 'r' ? ' ' : '\n';
        content_.append(buf, static_cast<std::size_t>(p - buf));
    }
    path_.clear();
}

void PageSurface::SetFill(TColor color)
{
    const std::int64_t rgb = static_cast<std::uint32_t>(ColorToRGB(color));
    if (rgb == fill_)
        return;
    fill_ = rgb;
    PutColor(content_, color, false);
    content_ += ' ';
}

void PageSurface::Fill(TColor color, bool evenOdd)
{
    if (path_.empty())
        return;
    SetFill(color);
    PutPath(true);
    content_ += evenOdd ? "f*\n" : "f\n";
}

void PageSurface::Stroke(TColor color, double width, LineCap cap)
{
    if (path_.empty())
        return;
    // In device pixels, so that the pen keeps its width along each axis.
    content_ += "q ";
    PutColor(content_, color, true);
    content_ += ' ';
    PutNumber(content_, scaleX_);
    content_ += " 0 0 ";
    PutNumber(content_, scaleY_);
    content_ += " 0 0 cm ";
    PutNumber(content_, width);
    content_ += cap == LineCap::Square ? " w 2 J 0 j\n" : " w 0 J 0 j\n";
    PutPath(false);
    content_ += "S Q\n";
}

void PageSurface::ClipTo(double x, double y, double width, double height)
{
    path_.clear();
    if (clipped_)
        content_ += "Q\n";
    content_ += "q ";
    path_.push_back({'r', x, y, width, height});
    PutPath(true);
    content_ += "W n\n";
    clipped_ = true;
    fill_ = -1; // a later Q restores the colour of before
}

void PageSurface::Unclip()
{
    if (!clipped_)
        return;
    content_ += "Q\n";
    clipped_ = false;
    fill_ = -1;
}

PageSurface::GlyphCode PageSurface::CodeOf(FontResource& font, const std::shared_ptr<FontResource>& keep,
                                           const TextLayout& layout, std::size_t i, const std::u32string& characters)
{
    if (lastFont_ != &font) {
        lastFont_ = &font;
        lastCodes_ = &codes_[&font];
    }
    FontCodes& codes = *lastCodes_;
    const Glyph& glyph = layout.glyphs[i];
    if (auto found = codes.codes.find(glyph.index); found != codes.codes.end())
        return found->second;
    if (codes.open == UINT32_MAX || fonts_[codes.open].glyphs.size() == 256) {
        codes.open = static_cast<std::uint32_t>(fonts_.size());
        fonts_.push_back({keep, {}});
    }
    Type3Font& type3 = fonts_[codes.open];
    // The advance this layout gives it: up to the next glyph, or the end.
    const double next =
        i + 1 < layout.glyphs.size() ? layout.glyphs[i + 1].x : (layout.glyphs.front().x + layout.advance);
    const char32_t character = characters.size() == layout.glyphs.size() ? characters[i] : 0;
    const GlyphCode code{codes.open, static_cast<std::uint8_t>(type3.glyphs.size())};
    type3.glyphs.push_back({glyph.index, next - glyph.x, character});
    codes.codes.emplace(glyph.index, code);
    return code;
}

void PageSurface::ShowText(const TextRun& run)
{
    path_.clear();
    const TextLayout& layout = run.layout;
    FontResource& font = *layout.font;
    const TextFrame& f = run.frame;
    const int cellHeight = font.ascent + font.descent;
    if (run.opaque && layout.advance > 0) {
        const PointD corners[4] = {f.Map(0, 0), f.Map(layout.advance, 0), f.Map(layout.advance, cellHeight),
                                   f.Map(0, cellHeight)};
        MoveTo(corners[0].x, corners[0].y);
        for (int k = 1; k < 4; ++k)
            LineTo(corners[k].x, corners[k].y);
        ClosePath();
        Fill(run.cellColor, false);
    }
    const bool underline = run.lf.lfUnderline && layout.advance > 0;
    const bool strikeOut = run.lf.lfStrikeOut && layout.advance > 0;
    if (layout.glyphs.empty() && !underline && !strikeOut)
        return;
    SetFill(run.color);
    // Text space: pixels along and across the baseline, y down, in points.
    content_ += "q ";
    const double m[6] = {scaleX_ * f.aspect * f.cosA,
                         -scaleY_ * f.sinA,
                         scaleX_ * f.aspect * f.sinA,
                         scaleY_ * f.cosA,
                         scaleX_ * f.x,
                         scaleY_ * f.y};
    for (double v : m) {
        PutNumber(content_, v);
        content_ += ' ';
    }
    content_ += "cm\n";
    if (!layout.glyphs.empty()) {
        const std::u32string characters = CodePoints(AsUtf8(layout.text));
        if (Pdf())
            content_ += "BT\n";
        std::uint32_t current = UINT32_MAX;
        bool open = false; // a string is being written
        double lineX = 0, lineY = 0, pen = 0;
        bool placed = false;
        for (std::size_t i = 0; i < layout.glyphs.size(); ++i) {
            const Glyph& g = layout.glyphs[i];
            const GlyphCode code = CodeOf(font, layout.font, layout, i, characters);
            const double y = g.y + font.ascent;
            const bool moved = !placed || std::fabs(g.x - pen) > 1e-6 || y != lineY;
            if (open && (moved || code.font != current)) {
                content_ += "> Tj\n";
                open = false;
            }
            if (code.font != current) {
                current = code.font;
                content_ += "/F";
                PutInt(content_, code.font + 1);
                content_ += ' ';
                PutNumber(content_, font.em);
                content_ += " Tf\n";
            }
            if (moved) {
                if (Pdf()) {
                    if (!placed) {
                        content_ += "1 0 0 -1 ";
                        PutNumber(content_, g.x);
                        content_ += ' ';
                        PutNumber(content_, y);
                        content_ += " Tm\n";
                    } else {
                        PutNumber(content_, g.x - lineX);
                        content_ += ' ';
                        PutNumber(content_, lineY - y);
                        content_ += " Td\n";
                    }
                } else {
                    PutNumber(content_, g.x);
                    content_ += ' ';
                    PutNumber(content_, y);
                    content_ += " m\n";
                }
                lineX = g.x, lineY = y, pen = g.x;
                placed = true;
            }
            if (!open) {
                content_ += '<';
                open = true;
            }
            PutHexByte(content_, code.code);
            pen += fonts_[code.font].glyphs[code.code].advance;
        }
        if (open)
            content_ += "> Tj\n";
        if (Pdf())
            content_ += "ET\n";
    }
    auto line = [&](int offset) {
        content_ += "0 ";
        PutInt(content_, font.ascent + offset);
        content_ += ' ';
        PutInt(content_, layout.advance);
        content_ += ' ';
        PutInt(content_, font.lineThickness);
        content_ += " re f\n";
    };
    if (underline)
        line(font.underlinePos);
    if (strikeOut)
        line(font.strikePos);
    content_ += "Q\n";
}

void PageSurface::PlaceImage(double x, double y, const PixelBuffer& pixels, const PointD& visibleMin,
                             const PointD& visibleMax)
{
    path_.clear();
    std::string rgb;
    rgb.resize(std::size_t(pixels.width) * std::size_t(pixels.height) * 3);
    char* p = rgb.data();
    for (int row = 0; row < pixels.height; ++row) {
        const std::uint32_t* px = pixels.Row(row);
        for (int col = 0; col < pixels.width; ++col, p += 3) {
            p[0] = static_cast<char>(px[col] >> 16 & 0xFF);
            p[1] = static_cast<char>(px[col] >> 8 & 0xFF);
            p[2] = static_cast<char>(px[col] & 0xFF);
        }
    }
    std::string packed;
    Deflate(rgb, packed);
    rgb.clear();
    // Cut to the visible box, then the unit square stretched over the image.
    content_ += "q ";
    path_.push_back({'r', visibleMin.x, visibleMin.y, visibleMax.x - visibleMin.x, visibleMax.y - visibleMin.y});
    PutPath(true);
    content_ += "W n\n";
    const double w = pixels.width * scaleX_, h = pixels.height * scaleY_;
    PutNumber(content_, w);
    content_ += " 0 0 ";
    PutNumber(content_, Pdf() ? -h : h);
    content_ += ' ';
    PutNumber(content_, x * scaleX_);
    content_ += ' ';
    PutNumber(content_, Pdf() ? (y + pixels.height) * scaleY_ : y * scaleY_);
    content_ += " cm\n";
    std::string size;
    PutInt(size, pixels.width);
    size += " /Height ";
    PutInt(size, pixels.height);
    if (Pdf()) {
        const std::size_t object = NewObject();
        imageObjects_.push_back(object);
        BeginObject(object);
        out_ += "<< /Type /XObject /Subtype /Image /Width " + size +
                " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /FlateDecode /Length ";
        PutInt(out_, static_cast<long long>(packed.size()));
        out_ += " >>\nstream\n";
        Emit(packed);
        out_ += "\nendstream\nendobj\n";
        content_ += "/I";
        PutInt(content_, static_cast<long long>(imageObjects_.size()));
        content_ += " Do Q\n";
    } else {
        content_ += "/DeviceRGB setcolorspace\n<< /ImageType 1 /Width " + size +
                    " /BitsPerComponent 8 /Decode [0 1 0 1 0 1] /ImageMatrix [";
        PutInt(content_, pixels.width);
        content_ += " 0 0 ";
        PutInt(content_, pixels.height);
        content_ += " 0 0] /DataSource currentfile /ASCII85Decode filter /FlateDecode filter >> image\n";
        PutAscii85(content_, packed);
        content_ += "Q\n";
    }
    fill_ = -1;
}

std::string PageSurface::GlyphProcedure(const Type3Font& type3, const FontGlyph& glyph, int& unitsPerEm)
{
    GlyphOutline outline;
    type3.font->Outline(glyph.index, outline);
    unitsPerEm = outline.unitsPerEm;
    std::string proc;
    PutNumber(proc, glyph.advance * unitsPerEm / type3.font->em);
    proc += " 0 ";
    for (double v : {outline.x0, outline.y0, outline.x1, outline.y1}) {
        PutNumber(proc, v);
        proc += ' ';
    }
    proc += "d1\n";
    if (outline.ops.empty())
        return proc;
    std::size_t at = 0;
    bool first = true;
    for (GlyphOutline::Op op : outline.ops) {
        if (op == GlyphOutline::Move && !first)
            proc += "h\n";
        first = false;
        const std::size_t n = op == GlyphOutline::Curve ? 3 : 1;
        for (std::size_t k = 0; k < n; ++k, ++at) {
            PutNumber(proc, outline.points[at].x);
            proc += ' ';
            PutNumber(proc, outline.points[at].y);
            proc += ' ';
        }
        proc += char(op);
        proc += '\n';
    }
    proc += "h f\n";
    return proc;
}

void PageSurface::WritePdfEnd()
{
    // Each font: its glyph procedures, its character map and itself.
    std::vector<std::size_t> fontObjects;
    for (const Type3Font& type3 : fonts_) {
        int unitsPerEm = 1000;
        std::vector<std::size_t> procs;
        for (const FontGlyph& glyph : type3.glyphs) {
            const std::string proc = GlyphProcedure(type3, glyph, unitsPerEm);
            const std::size_t object = NewObject();
            procs.push_back(object);
            BeginObject(object);
            out_ += "<< /Length ";
            PutInt(out_, static_cast<long long>(proc.size()));
            out_ += " >>\nstream\n";
            Emit(proc);
            out_ += "\nendstream\nendobj\n";
        }
        std::string cmap = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                           "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                           "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                           "1 begincodespacerange\n<00> <ff>\nendcodespacerange\n";
        std::size_t known = 0;
        for (const FontGlyph& glyph : type3.glyphs)
            known += glyph.character != 0;
        for (std::size_t i = 0, listed = 0; i < type3.glyphs.size(); ++i) {
            if (type3.glyphs[i].character == 0)
                continue;
            if (listed % 100 == 0) {
                PutInt(cmap, static_cast<long long>(std::min<std::size_t>(100, known - listed)));
                cmap += " beginbfchar\n";
            }
            cmap += '<';
            PutHexByte(cmap, unsigned(i));
            cmap += "> <";
            PutUtf16(cmap, type3.glyphs[i].character);
            cmap += ">\n";
            if (++listed % 100 == 0 || listed == known)
                cmap += "endbfchar\n";
        }
        cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
        const std::size_t toUnicode = NewObject();
        BeginObject(toUnicode);
        out_ += "<< /Length ";
        PutInt(out_, static_cast<long long>(cmap.size()));
        out_ += " >>\nstream\n";
        Emit(cmap);
        out_ += "\nendstream\nendobj\n";

        const std::size_t object = NewObject();
        fontObjects.push_back(object);
        BeginObject(object);
        out_ += "<< /Type /Font /Subtype /Type3 /FontBBox [0 0 0 0] /FontMatrix [";
        PutNumber(out_, 1.0 / unitsPerEm);
        out_ += " 0 0 ";
        PutNumber(out_, 1.0 / unitsPerEm);
        out_ += " 0 0]\n/CharProcs <<";
        for (std::size_t i = 0; i < procs.size(); ++i) {
            out_ += " /g";
            PutInt(out_, static_cast<long long>(i));
            out_ += ' ';
            PutInt(out_, static_cast<long long>(procs[i]));
            out_ += " 0 R";
        }
        out_ += " >>\n/Encoding << /Type /Encoding /Differences [0";
        for (std::size_t i = 0; i < procs.size(); ++i) {
            out_ += " /g";
            PutInt(out_, static_cast<long long>(i));
        }
        out_ += "] >>\n/FirstChar 0 /LastChar ";
        PutInt(out_, static_cast<long long>(procs.size()) - 1);
        out_ += " /Widths [";
        for (const FontGlyph& glyph : type3.glyphs) {
            PutNumber(out_, glyph.advance * unitsPerEm / type3.font->em);
            out_ += ' ';
        }
        out_ += "]\n/Resources << >> /ToUnicode ";
        PutInt(out_, static_cast<long long>(toUnicode));
        out_ += " 0 R >>\nendobj\n";
        if (out_.size() >= kBlock)
            FlushOut();
    }

    // Every page shares one resource dictionary.
    BeginObject(3);
    out_ += "<< /ProcSet [/PDF /Text /ImageC]";
    if (!fontObjects.empty()) {
        out_ += "\n/Font <<";
        for (std::size_t i = 0; i < fontObjects.size(); ++i) {
            out_ += " /F";
            PutInt(out_, static_cast<long long>(i + 1));
            out_ += ' ';
            PutInt(out_, static_cast<long long>(fontObjects[i]));
            out_ += " 0 R";
        }
        out_ += " >>";
    }
    if (!imageObjects_.empty()) {
        out_ += "\n/XObject <<";
        for (std::size_t i = 0; i < imageObjects_.size(); ++i) {
            out_ += " /I";
            PutInt(out_, static_cast<long long>(i + 1));
            out_ += ' ';
            PutInt(out_, static_cast<long long>(imageObjects_[i]));
            out_ += " 0 R";
        }
        out_ += " >>";
    }
    out_ += " >>\nendobj\n";
    BeginObject(2);
    out_ += "<< /Type /Pages /Kids [";
    for (std::size_t i = 0; i < pageObjects_.size(); ++i) {
        out_ += i % 10 == 0 ? "\n" : " ";
        PutInt(out_, static_cast<long long>(pageObjects_[i]));
        out_ += " 0 R";
        if (out_.size() >= kBlock)
            FlushOut();
    }
    out_ += "]\n/Count ";
    PutInt(out_, static_cast<long long>(pageObjects_.size()));
    out_ += " >>\nendobj\n";
    BeginObject(1);
    out_ += "<< /Type /Catalog /Pages 2 0 R >>\nendobj\n";
    const bool titled = !title_.empty();
    if (titled) {
        BeginObject(4);
        out_ += "<< /Title <feff";
        for (char32_t c : CodePoints(AsUtf8(title_)))
            PutUtf16(out_, c);
        out_ += "> /Producer (qbarcode) >>\nendobj\n";
    }

    const std::uint64_t xref = written_ + out_.size();
    out_ += "xref\n0 ";
    PutInt(out_, static_cast<long long>(offsets_.size()));
    out_ += "\n0000000000 65535 f \n";
    for (std::size_t i = 1; i < offsets_.size(); ++i) {
        char entry[21];
        if (i == 4 && !titled)
            std::memcpy(entry, "0000000000 65535 f \n", 20);
        else
            std::snprintf(entry, sizeof entry, "%010llu 00000 n \n", static_cast<unsigned long long>(offsets_[i]));
        out_.append(entry, 20);
        if (out_.size() >= kBlock)
            FlushOut();
    }
    out_ += "trailer\n<< /Size ";
    PutInt(out_, static_cast<long long>(offsets_.size()));
    out_ += " /Root 1 0 R";
    if (titled)
        out_ += " /Info 4 0 R";
    out_ += " >>\nstartxref\n";
    PutInt(out_, static_cast<long long>(xref));
    out_ += "\n%%EOF\n";
}

std::string PageSurface::PsFont(std::size_t index)
{
    const Type3Font& type3 = fonts_[index];
    std::string procs;
    int unitsPerEm = 1000;
    for (std::size_t i = 0; i < type3.glyphs.size(); ++i) {
        procs += "/g";
        PutInt(procs, static_cast<long long>(i));
        procs += " {\n";
        procs += GlyphProcedure(type3, type3.glyphs[i], unitsPerEm);
        procs += "} bind\n";
    }
    std::string font = "/F";
    PutInt(font, static_cast<long long>(index + 1));
    font += " << /FontType 3 /FontMatrix [";
    PutNumber(font, 1.0 / unitsPerEm);
    font += " 0 0 ";
    PutNumber(font, 1.0 / unitsPerEm);
    font += " 0 0] /FontBBox [0 0 0 0]\n/Encoding 256 array 0 1 255 { 1 index exch /.notdef put } for\n";
    for (std::size_t i = 0; i < type3.glyphs.size(); ++i) {
        font += "dup ";
        PutInt(font, static_cast<long long>(i));
        font += " /g";
        PutInt(font, static_cast<long long>(i));
        font += " put\n";
    }
    font += "/CharProcs <<\n/.notdef { 0 0 0 0 0 0 d1 } bind\n" + procs +
            ">>\n/BuildGlyph { exch /CharProcs get exch 2 copy known not { pop /.notdef } if get exec } bind\n"
            "/BuildChar { 1 index /Encoding get exch get 1 index /BuildGlyph get exec } bind\n"
            ">> definefont pop\n";
    return font;
}

void PageSurface::WritePsStart()
{
    const bool eps = format_ == TVectorFormat::Eps;
    std::string head = eps ? "%!PS-Adobe-3.0 EPSF-3.0\n" : "%!PS-Adobe-3.0\n";
    head += "%%Creator: qbarcode\n";
    if (!title_.empty()) {
        // A title of plain printable characters stands as it is; any other
        // is a PostScript string with octal escapes, so that the comments
        // stay clean 7-bit text.
        const std::string title = AsUtf8(title_);
        const auto plain = [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return byte >= 0x20 && byte < 0x7F && c != '(' && c != ')' && c != '\\';
        };
        head += "%%Title: ";
        if (std::all_of(title.begin(), title.end(), plain)) {
            head += title;
        } else {
            head += '(';
            for (char c : title) {
                const auto byte = static_cast<unsigned char>(c);
                if (plain(c)) {
                    head += c;
                } else {
                    const char escape[] = {'\\', static_cast<char>('0' + (byte >> 6)),
                                           static_cast<char>('0' + ((byte >> 3) & 7)),
                                           static_cast<char>('0' + (byte & 7))};
                    head.append(escape, sizeof escape);
                }
            }
            head += ')';
        }
        head += '\n';
    }
    std::string size;
    PutNumber(size, pageWidth_);
    size += ' ';
    PutNumber(size, pageHeight_);
    head += "%%Pages: ";
    PutInt(head, pages_);
    head += "\n%%DocumentData: Clean7Bit\n%%LanguageLevel: 3\n";
    if (!eps)
        head += "%%DocumentMedia: plain " + size + " 0 () ()\n";
    head += "%%BoundingBox: 0 0 " + size + "\n%%EndComments\n%%BeginProlog\n";
    head += kProlog;
    head += "%%EndProlog\n%%BeginSetup\n";
    if (!eps) {
        // The paper is changed only when it differs by more than the 5 points
        // within which devices match sizes: asking for the size a printer
        // already has may lose its duplex setting.
        std::string width, height;
        PutNumber(width, pageWidth_);
        PutNumber(height, pageHeight_);
        head += "/setpagedevice where { pop currentpagedevice /PageSize get aload pop\n  " + height +
                " sub abs 5 gt exch " + width + " sub abs 5 gt or\n  { << /PageSize [" + size +
                "] >> setpagedevice } if } if\n";
    }
    for (std::size_t i = 0; i < fonts_.size(); ++i)
        head += PsFont(i);
    head += "%%EndSetup\n";
    Emit(head);
    // Then the pages, as they were held.
    if (std::fflush(body_) != 0 || std::fseek(body_, 0, SEEK_SET) != 0)
        throw Exception("Cannot write file " + QuotedFileName(file_.Path()) + ": " + std::strerror(errno));
    FlushOut();
    std::string block(kBlock, '\0');
    for (;;) {
        const std::size_t n = std::fread(block.data(), 1, block.size(), body_);
        if (n > 0)
            file_.Write(std::string_view(block.data(), n));
        if (n < block.size())
            break;
    }
    if (std::ferror(body_))
        throw Exception("Cannot write file " + QuotedFileName(file_.Path()) + ": " + std::strerror(errno));
    out_ += "%%Trailer\n%%EOF\n";
}

} // namespace gfx

} // namespace qb
