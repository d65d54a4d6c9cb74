// PDF, PostScript and EPS documents, written by our own writer.
#pragma once

#include "qbarcode/fileio.h"
#include "vector/vector_surface.h"

#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace qb {

namespace gfx {

/// A PDF (pages of their own), PostScript (pages with document structuring
/// comments) or EPS (one page) file of `width` x `height` device pixels on
/// pages of `pageWidth` x `pageHeight` points, each device pixel (scaleX,
/// scaleY) points. Content is built a page at a time and written in large
/// blocks; text is set in Type 3 fonts made of the glyph outlines a document
/// uses. The file is started at once, so that a path that cannot be written
/// fails here with the system's reason.
class PageSurface final : public DocumentSurface {
public:
    PageSurface(TVectorFormat format, const std::string& path, int width, int height, double pageWidth,
                double pageHeight, double scaleX, double scaleY, const std::string& title);
    PageSurface(const PageSurface&) = delete;
    PageSurface& operator=(const PageSurface&) = delete;
    ~PageSurface() override;

    void MoveTo(double x, double y) override;
    void LineTo(double x, double y) override;
    void ClosePath() override;
    void Rectangle(double x, double y, double width, double height) override;
    void Fill(TColor color, bool evenOdd) override;
    void Stroke(TColor color, double width, LineCap cap) override;
    void ShowText(const TextRun& run) override;
    void PlaceImage(double x, double y, const PixelBuffer& pixels, const PointD& visibleMin,
                    const PointD& visibleMax) override;
    void ClipTo(double x, double y, double width, double height) override;
    void Unclip() override;

protected:
    void EndPage() override;
    void WriteOut() override;
    void Drop() noexcept override;

private:
    /// A glyph of a Type 3 font: its index in the face, its advance in
    /// pixels and the character it shows (0 when not known).
    struct FontGlyph {
        unsigned long index;
        double advance;
        char32_t character;
    };
    /// A Type 3 font: up to 256 glyphs of one realised font, coded in the
    /// order they were first shown.
    struct Type3Font {
        std::shared_ptr<FontResource> font;
        std::vector<FontGlyph> glyphs;
    };
    /// Where a glyph is: its font (index in fonts_) and code.
    struct GlyphCode {
        std::uint32_t font;
        std::uint8_t code;
    };
    /// The glyphs of one realised font shown so far.
    struct FontCodes {
        std::unordered_map<unsigned long, GlyphCode> codes;
        std::uint32_t open = UINT32_MAX; // the font new glyphs join
    };

    /// A part of the path being built, in device pixels: a move ('m'), a
    /// line ('l'), a close ('h') or a rectangle ('r').
    struct PathPart {
        char op;
        double x, y, width, height;
    };

    bool Pdf() const { return format_ == TVectorFormat::Pdf; }
    /// Writes the path and forgets it: in points as the page's coordinates,
    /// or in device pixels (under a scale).
    void PutPath(bool inPoints);
    /// Sets the fill colour unless it is the current one.
    void SetFill(TColor color);
    /// The code of a glyph, added to a font on first use.
    GlyphCode CodeOf(FontResource& font, const std::shared_ptr<FontResource>& keep, const TextLayout& layout,
                     std::size_t i, const std::u32string& characters);
    /// Ends the page's content and passes it on (PDF: a content stream and
    /// a page object; PostScript: the page's section of the body).
    void FinishPage();
    void StartPage();
    /// Appends to the file, in large blocks.
    void Emit(std::string_view bytes);
    void FlushOut();
    /// PDF: starts object `number` at the current offset.
    void BeginObject(std::size_t number);
    std::size_t NewObject();
    void WritePdfEnd();
    void WritePsStart();
    /// The procedure of a glyph (a PDF stream or a PostScript procedure's
    /// body), in the face's units; sets `unitsPerEm`.
    std::string GlyphProcedure(const Type3Font& type3, const FontGlyph& glyph, int& unitsPerEm);
    /// A Type 3 font defined in PostScript.
    std::string PsFont(std::size_t index);
    /// Compresses `data` into `out` (zlib format).
    void Deflate(std::string_view data, std::string& out);
    void CloseBody() noexcept;

    TAtomicFile file_;
    TVectorFormat format_;
    double pageWidth_, pageHeight_, scaleX_, scaleY_;
    std::string title_;

    std::vector<PathPart> path_;
    std::string content_;   // the current page
    std::string out_;       // bytes on their way to the file
    std::uint64_t written_; // bytes handed to the file
    bool pageOpen_ = false;
    bool clipped_ = false;
    std::int64_t fill_ = -1; // the current fill colour, -1 when not known
    int pages_ = 0;

    std::vector<Type3Font> fonts_;
    std::unordered_map<const FontResource*, FontCodes> codes_;
    const FontResource* lastFont_ = nullptr;
    FontCodes* lastCodes_ = nullptr;
    int images_ = 0;

    // PDF: object offsets (by number, 0 unused) and the pages' and images' objects.
    std::vector<std::uint64_t> offsets_;
    std::vector<std::size_t> pageObjects_, imageObjects_;
    std::string compressed_;
    void* deflater_ = nullptr; // the compressor, kept between pages

    // PostScript: the pages, held aside until the fonts they use are known.
    std::FILE* body_ = nullptr;
};

} // namespace gfx

} // namespace qb
