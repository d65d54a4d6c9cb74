// PDF, PostScript and EPS documents drawn through Cairo.
#pragma once

#include "qbarcode/fileio.h"
#include "vector/document_backend.h"

#include <string>

// The C library's types, declared as its own header does.
typedef struct _cairo_surface cairo_surface_t;
typedef struct _cairo cairo_t;

namespace qb {

namespace gfx {

class CairoSurface final : public DocumentSurface {
public:
    /// A PDF, PostScript or EPS file of `width` x `height` device pixels on
    /// pages of `pageWidth` x `pageHeight` points, each device pixel
    /// (scaleX, scaleY) points. Raises with the system's reason when the file
    /// cannot be created.
    CairoSurface(TVectorFormat format, const std::string& path, int width, int height, double pageWidth,
                 double pageHeight, double scaleX, double scaleY, const std::string& title);
    CairoSurface(const CairoSurface&) = delete;
    CairoSurface& operator=(const CairoSurface&) = delete;
    ~CairoSurface() override;

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
    /// Ends cairo's work on the file; the status of the document.
    int Finish() noexcept;

    TAtomicFile file_;
    bool paged_;
    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
};

/// The backend that makes Cairo surfaces.
const DocumentBackend& CairoDocuments();

} // namespace gfx

} // namespace qb
