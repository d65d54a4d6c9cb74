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

namespace qbqt {

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
    bool Exact() const { return image_ != nullptr; }

private:
    void ClearPath();
    void GlyphRun(const TSurfaceText& text);

    QPainter& painter_;
    QPainterPath path_;
    QVector<QRectF> rects_; // the path, while it is only rectangles
    bool onlyRects_ = true;

    bool clippedAtStart_;
    QRegion clipAtStart_;
    // The exact target: the image and where the canvas's (0, 0) lies in it,
    // and the clip in canvas pixels.
    QImage* image_ = nullptr;
    int originX_ = 0, originY_ = 0;
    TRect startClip_ = NoClipRect, clip_ = NoClipRect;
};

/// A TColor as a QColor (system colours resolved).
QColor ToQColor(TColor color);
/// A QColor as a plain TColor (alpha dropped).
TColor ToTColor(const QColor& color);

} // namespace qbqt

} // namespace qb
