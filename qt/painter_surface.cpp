#include "painter_surface.h"

#include <QGlyphRun>
#include <QHash>
#include <QImage>
#include <QPaintEngine>
#include <QRawFont>

#include <algorithm>
#include <cmath>

namespace qb {

namespace qbqt {

QColor ToQColor(TColor color)
{
    const auto c = static_cast<std::uint32_t>(ColorToRGB(color));
    return QColor(c & 0xFF, c >> 8 & 0xFF, c >> 16 & 0xFF);
}

TColor ToTColor(const QColor& color)
{
    const QRgb rgb = color.rgb();
    return static_cast<TColor>(qRed(rgb) | qGreen(rgb) << 8 | qBlue(rgb) << 16);
}

namespace {

bool WholePixels(const QRectF& r)
{
    return r.x() == std::floor(r.x()) && r.y() == std::floor(r.y()) && r.width() == std::floor(r.width()) &&
           r.height() == std::floor(r.height());
}

// The faces the library lays text out in, as Qt's raw fonts, kept for the
// process (there are few: a caption font or two).
const QRawFont& RawFont(const TSurfaceText& text)
{
    static QHash<QString, QRawFont> fonts;
    const QString file = QString::fromStdString(text.FaceFile());
    const QString key = file + '|' + QString::number(text.FaceIndex()) + '|' + QString::number(text.PixelSize());
    auto it = fonts.find(key);
    if (it == fonts.end()) {
        QRawFont font(file, text.PixelSize(), QFont::PreferNoHinting);
        it = fonts.insert(key, font);
    }
    return *it;
}

} // namespace

DirectTarget FindDirectTarget(QPainter& painter)
{
    QPaintEngine* engine = painter.paintEngine();
    QPaintDevice* device = engine ? engine->paintDevice() : nullptr;
    const QTransform t = painter.deviceTransform();
    // Offsets beyond any image's size are left to the painter (and kept
    // within int).
    constexpr double kFar = 1 << 24;
    if (!device || device->devType() != QInternal::Image || t.type() > QTransform::TxTranslate ||
        t.dx() != std::floor(t.dx()) || t.dy() != std::floor(t.dy()) || std::abs(t.dx()) > kFar ||
        std::abs(t.dy()) > kFar)
        return {};
    auto* image = static_cast<QImage*>(device);
    const QImage::Format f = image->format();
    if ((f != QImage::Format_RGB32 && f != QImage::Format_ARGB32 && f != QImage::Format_ARGB32_Premultiplied) ||
        image->devicePixelRatio() != 1)
        return {};
    DirectTarget target{image, static_cast<int>(t.dx()), static_cast<int>(t.dy())};
    auto within = [&](const QRect& r) {
        TRect& c = target.clip;
        c = {std::max(c.Left, r.left()), std::max(c.Top, r.top()), std::min(c.Right, r.right() + 1),
             std::min(c.Bottom, r.bottom() + 1)};
    };
    if (painter.hasClipping()) {
        const QRegion clip = painter.clipRegion();
        if (clip.rectCount() > 1)
            return {}; // the painter's own drawing keeps to any region
        within(clip.boundingRect());
    }
    // A widget's paint event clips to what shows of it (the system clip, in
    // device pixels): what is written straight into the image keeps to it
    // too, or a widget scrolled partly out of its parent would paint over
    // its neighbours.
    const QRegion system = engine->systemClip();
    if (!system.isEmpty()) {
        if (system.rectCount() > 1)
            return {};
        within(system.boundingRect().translated(-target.originX, -target.originY));
    }
    return target;
}

namespace {

// A row of raster pixels into an image's, opaque; with the widest vectors
// the processor has, as the copy is most of what a repaint costs.
[[gnu::target_clones("avx2", "default")]] void CopyOpaque(std::uint32_t* to, const std::uint32_t* from, int count)
{
    for (int x = 0; x < count; ++x)
        to[x] = from[x] | 0xFF000000u;
}

} // namespace

bool CopyRaster(QPainter& painter, const TBitmap& raster)
{
    if (painter.compositionMode() != QPainter::CompositionMode_SourceOver || painter.opacity() != 1)
        return false;
    const DirectTarget t = FindDirectTarget(painter);
    if (!t.image)
        return false;
    QImage& image = *t.image;
    // The raster's pixels within the clip and the image, in raster pixels.
    const int left = std::max({0, t.clip.Left, -t.originX});
    const int top = std::max({0, t.clip.Top, -t.originY});
    const int right = std::min({raster.Width(), t.clip.Right, image.width() - t.originX});
    const int bottom = std::min({raster.Height(), t.clip.Bottom, image.height() - t.originY});
    if (left >= right)
        return true;
    // The memory the painter paints on (taken without detaching the image
    // it holds); the raster's pixels are 0x00RRGGBB, the image's opaque.
    auto* bits = const_cast<uchar*>(image.constBits());
    const int count = right - left;
    for (int y = top; y < bottom; ++y) {
        auto* to = reinterpret_cast<std::uint32_t*>(bits + (y + t.originY) * image.bytesPerLine()) + left + t.originX;
        const std::uint32_t* from = raster.ScanLine(y) + left;
        CopyOpaque(to, from, count);
    }
    return true;
}

PainterSurface::PainterSurface(QPainter& painter)
    : painter_(painter), clippedAtStart_(painter.hasClipping()), clipAtStart_(painter.clipRegion()),
      target_(FindDirectTarget(painter)), clip_(target_.clip)
{
    painter_.save();
    painter_.setRenderHint(QPainter::Antialiasing, false);
}

PainterSurface::~PainterSurface()
{
    painter_.restore();
}

void PainterSurface::ClearPath()
{
    path_.clear();
    rects_.clear();
    onlyRects_ = true;
}

void PainterSurface::ToPath()
{
    if (!onlyRects_)
        return;
    for (const QRectF& r : rects_)
        path_.addRect(r);
    onlyRects_ = false;
}

void PainterSurface::MoveTo(double x, double y)
{
    ToPath();
    path_.moveTo(x, y);
}

void PainterSurface::LineTo(double x, double y)
{
    ToPath();
    path_.lineTo(x, y);
}

void PainterSurface::ClosePath()
{
    path_.closeSubpath();
}

void PainterSurface::Rectangle(double x, double y, double width, double height)
{
    const QRectF r(x, y, width, height);
    if (onlyRects_)
        rects_.append(r);
    else
        path_.addRect(r);
}

void PainterSurface::Fill(TColor color, bool evenOdd)
{
    const QColor c = ToQColor(color);
    // Boxes of whole pixels fill exactly those pixels; overlapping boxes
    // are one colour, so filling them one by one is the same as the path.
    bool boxes = onlyRects_;
    for (const QRectF& r : rects_)
        boxes = boxes && WholePixels(r);
    if (boxes) {
        for (const QRectF& r : rects_)
            painter_.fillRect(r.toRect(), c);
    } else {
        ToPath();
        path_.setFillRule(evenOdd ? Qt::OddEvenFill : Qt::WindingFill);
        painter_.fillPath(path_, c);
    }
    ClearPath();
}

void PainterSurface::Stroke(TColor color, double width, bool squareCaps)
{
    ToPath();
    QPen pen(ToQColor(color), width, Qt::SolidLine, squareCaps ? Qt::SquareCap : Qt::FlatCap, Qt::MiterJoin);
    painter_.strokePath(path_, pen);
    ClearPath();
}

void PainterSurface::Image(double x, double y, const std::uint32_t* pixels, int width, int height, int stride)
{
    const QImage image(reinterpret_cast<const uchar*>(pixels), width, height, stride * 4, QImage::Format_RGB32);
    painter_.drawImage(QPointF(x, y), image);
}

void PainterSurface::ClipTo(double x, double y, double width, double height)
{
    const QRectF r(x, y, width, height);
    if (clippedAtStart_)
        painter_.setClipRegion(clipAtStart_);
    painter_.setClipRect(r, clippedAtStart_ ? Qt::IntersectClip : Qt::ReplaceClip);
    const QRect whole = r.toAlignedRect();
    const TRect& start = target_.clip;
    clip_ = {std::max(whole.left(), start.Left), std::max(whole.top(), start.Top),
             std::min(whole.right() + 1, start.Right), std::min(whole.bottom() + 1, start.Bottom)};
}

void PainterSurface::Unclip()
{
    if (clippedAtStart_)
        painter_.setClipRegion(clipAtStart_);
    else
        painter_.setClipping(false);
    clip_ = target_.clip;
}

void PainterSurface::Text(const TSurfaceText& text)
{
    QImage* image = target_.image;
    if (!image) {
        GlyphRun(text);
        return;
    }
    // The painter writes into the image's memory as it goes, so the glyphs
    // blend over what it drew; the memory is the one it paints on (taken
    // without detaching the image it holds).
    auto* bits = reinterpret_cast<std::uint32_t*>(const_cast<uchar*>(image->constBits()));
    text.Rasterize(bits, static_cast<int>(image->bytesPerLine() / 4), image->width(), image->height(), target_.originX,
                   target_.originY, clip_);
}

void PainterSurface::GlyphRun(const TSurfaceText& text)
{
    painter_.save();
    painter_.translate(text.X(), text.Y());
    painter_.scale(text.Aspect(), 1);
    painter_.rotate(-text.Angle());
    const double cellHeight = text.Ascent() + text.Descent();
    if (text.Opaque() && text.Advance() > 0)
        painter_.fillRect(QRectF(0, 0, text.Advance(), cellHeight), ToQColor(text.CellColor()));
    const QColor ink = ToQColor(text.Color());
    if (text.GlyphCount() > 0) {
        QVector<quint32> indexes;
        QVector<QPointF> positions;
        for (int i = 0; i < text.GlyphCount(); ++i) {
            const TSurfaceGlyph g = text.Glyph(i);
            indexes.append(g.Index);
            positions.append(QPointF(g.X, g.Y));
        }
        QGlyphRun run;
        run.setRawFont(RawFont(text));
        run.setGlyphIndexes(indexes);
        run.setPositions(positions);
        painter_.setRenderHint(QPainter::TextAntialiasing, text.Antialiased());
        painter_.setPen(ink);
        painter_.drawGlyphRun(QPointF(0, text.Ascent()), run);
    }
    const LOGFONTA& lf = text.Font();
    for (auto [on, top] : {std::pair{lf.lfUnderline != 0, text.UnderlinePosition()},
                           std::pair{lf.lfStrikeOut != 0, text.StrikeOutPosition()}})
        if (on)
            painter_.fillRect(QRectF(0, text.Ascent() + top, text.Advance(), text.LineThickness()), ink);
    painter_.restore();
}

} // namespace qbqt

} // namespace qb
