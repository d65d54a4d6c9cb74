// A custom surface over a QPainter: what a canvas draws becomes QPainter
// rectangles, paths and glyph runs, so it stays vector on any paint device.
// On a QImage painted without a transform beyond a whole-pixel translation
// it gives the raster surface's pixels exactly: boxes are whole-pixel
// rectangles filled without anti-aliasing, and text is painted by the
// library's own glyph path straight into the image.
#pragma once

#include "qbarcode/custom_surface.h"

#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QVector>

class QImage;

namespace qb {

class TBitmap;

namespace qbqt {

/// Where a painter's pixels can be written straight into its image: a QImage
/// in a 32-bit format at one device pixel per pixel, a transform that is a
/// whole-pixel translation, and a clip (the painter's and the system's) of
/// one rectangle at most. Without such a target, `image` is null.
struct DirectTarget {
    QImage* image = nullptr;
    int originX = 0, originY = 0; ///< the device pixel of the painter's (0, 0)
    TRect clip = NoClipRect;      ///< in the painter's pixels
};

/// The painter's direct target, or one with a null image.
DirectTarget FindDirectTarget(QPainter& painter);

/// Copies `raster` with its top-left corner at the painter's origin, within
/// the painter's clip, when the painter has a direct target and paints with
/// plain source-over composition at full opacity (where the copy gives the
/// pixels painting the same picture would); returns false, having painted
/// nothing, otherwise.
bool CopyRaster(QPainter& painter, const TBitmap& raster);

class PainterSurface final : public TCustomSurface {
public:
    /// Draws on `painter` (whose state it saves, and restores when destroyed).
    explicit PainterSurface(QPainter& painter);
    ~PainterSurface() override;
    PainterSurface(const PainterSurface&) = delete;
    PainterSurface& operator=(const PainterSurface&) = delete;

    void MoveTo(double x, double y) override;
    void LineTo(double x, double y) override;
    void ClosePath() override;
    void Rectangle(double x, double y, double width, double height) override;
    void Fill(TColor color, bool evenOdd) override;
    void Stroke(TColor color, double width, bool squareCaps) override;
    void Image(double x, double y, const std::uint32_t* pixels, int width, int height, int stride) override;
    void ClipTo(double x, double y, double width, double height) override;
    void Unclip() override;
    void Text(const TSurfaceText& text) override;

    /// Whether text goes into the image's pixels by the library's glyph path.
    bool Exact() const { return target_.image != nullptr; }

private:
    void ClearPath();
    /// The rectangles gathered so far as subpaths of the path.
    void ToPath();
    void GlyphRun(const TSurfaceText& text);

    QPainter& painter_;
    QPainterPath path_;     // the path, once it is more than rectangles
    QVector<QRectF> rects_; // the path, while it is only rectangles
    bool onlyRects_ = true;

    bool clippedAtStart_;
    QRegion clipAtStart_;
    // The exact target (the canvas's pixels are the painter's), and the clip
    // in canvas pixels while the canvas clips.
    DirectTarget target_;
    TRect clip_ = NoClipRect;
};

/// A TColor as a QColor (system colours resolved).
QColor ToQColor(TColor color);
/// A QColor as a plain TColor (alpha dropped).
TColor ToTColor(const QColor& color);

} // namespace qbqt

} // namespace qb
