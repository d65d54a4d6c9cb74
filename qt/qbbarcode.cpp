// QbBarCode: the control behind the widget, its properties through the
// control's own property rows, and painting through a QPainter surface.
#include "qbarcode/qbbarcode.h"
#include "painter_surface.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

namespace qb {

using qbqt::ToQColor;
using qbqt::ToTColor;

QbBarCode::QbBarCode(QWidget* parent) : QWidget(parent), control_(std::make_unique<TBarCode>(nullptr))
{
    control_->OnChange = TNotifyEvent([this](TObject*) { Q_EMIT changed(); });
    // The widget starts with the control's size, font and ink colour.
    resize(control_->Width(), control_->Height());
    agreedSize_ = size();
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, ToQColor(control_->Font()->Color));
    setPalette(palette);
    setFont(DefaultFont());
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QbBarCode::~QbBarCode() = default;

// ---------------------------------------------------------------------------
// Properties

const TPropInfo& QbBarCode::ControlProperty(const char* name)
{
    const TPropInfo* p = GetPropInfo(TBarCode::StaticClassInfo(), name);
    Q_ASSERT(p); // the accessors are generated from the same table
    return *p;
}

qint64 QbBarCode::ReadInteger(const TPropInfo& p) const
{
    return std::get<std::int64_t>(GetPropValue(*control_, p));
}

double QbBarCode::ReadFloat(const TPropInfo& p) const
{
    return std::get<double>(GetPropValue(*control_, p));
}

QString QbBarCode::ReadString(const TPropInfo& p) const
{
    const std::string text = std::get<std::string>(GetPropValue(*control_, p));
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

bool QbBarCode::ReadBoolean(const TPropInfo& p) const
{
    return std::get<bool>(GetPropValue(*control_, p));
}

QColor QbBarCode::ReadColor(const TPropInfo& p) const
{
    return ToQColor(static_cast<TColor>(ReadInteger(p)));
}

void QbBarCode::WriteValue(const TPropInfo& p, const TPropValue& value)
{
    SyncSize(); // the range rules read the size
    Apply([&] { SetPropValue(*control_, p, value); });
}

void QbBarCode::WriteInteger(const TPropInfo& p, qint64 value)
{
    WriteValue(p, std::int64_t{value});
}

bool QbBarCode::ToControlText(const QString& text, std::string& out)
{
    for (QChar c : text)
        if (c.unicode() > 0xFF) {
            Refuse(QStringLiteral("'%1' holds characters beyond the 8-bit character set").arg(text));
            return false;
        }
    const QByteArray bytes = text.toLatin1();
    out.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return true;
}

void QbBarCode::WriteString(const TPropInfo& p, const QString& value)
{
    std::string text;
    if (ToControlText(value, text))
        WriteValue(p, text);
}

void QbBarCode::WriteColor(const TPropInfo& p, const QColor& value)
{
    if (!value.isValid()) {
        Refuse(QStringLiteral("%1: not a valid colour").arg(QString::fromStdString(p.Name)));
        return;
    }
    WriteValue(p, std::int64_t{ToTColor(value)});
}

void QbBarCode::ResetValue(const TPropInfo& p)
{
    WriteValue(p, p.Default);
}

QFont QbBarCode::DefaultFont()
{
    const TFont initial;
    QFont font(QString::fromStdString(initial.Name));
    font.setPointSize(initial.Size);
    return font;
}

void QbBarCode::TakeFont()
{
    const QFont f = font();
    TFont taken;
    taken.Assign(*control_->Font());
    taken.Name = f.family().toStdString();
    taken.Size = f.pointSize() > 0 ? f.pointSize() : qRound(f.pixelSize() * 72.0 / taken.PixelsPerInch);
    taken.Style = (f.bold() ? TFontStyles{fsBold} : 0) | (f.italic() ? TFontStyles{fsItalic} : 0) |
                  (f.underline() ? TFontStyles{fsUnderline} : 0) | (f.strikeOut() ? TFontStyles{fsStrikeOut} : 0);
    const QFont::StyleStrategy strategy = f.styleStrategy();
    taken.Quality = strategy & QFont::NoAntialias       ? fqNonAntialiased
                    : strategy & QFont::PreferAntialias ? fqAntialiased
                                                        : fqDefault;
    taken.Pitch = f.fixedPitch() ? fpFixed : fpDefault;
    taken.Color = ToTColor(palette().color(QPalette::WindowText));
    Apply([&] { control_->SetFont(&taken); });
}

// ---------------------------------------------------------------------------
// Changes

void QbBarCode::Refuse(const QString& message)
{
    lastError_ = message;
    FollowControl();
    Q_EMIT refused(message);
}

void QbBarCode::Accept()
{
    lastError_.clear();
    FollowControl();
}

void QbBarCode::FollowControl()
{
    // AutoWidth resizes the control while it paints; the widget follows.
    agreedSize_ = QSize(control_->Width(), control_->Height());
    if (agreedSize_ != size())
        resize(agreedSize_);
    updateGeometry();
    update();
}

void QbBarCode::SyncSize() const
{
    if (size() == agreedSize_)
        return;
    auto* self = const_cast<QbBarCode*>(this);
    self->agreedSize_ = size();
    self->Apply([&] { control_->SetBounds(0, 0, width(), height()); });
}

void QbBarCode::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    SyncSize();
}

void QbBarCode::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange)
        TakeFont();
}

QSize QbBarCode::sizeHint() const
{
    SyncSize();
    int along = 0;
    try {
        along = control_->MeasureAutoWidth(control_->HMargin());
    } catch (const Exception&) {
        return size(); // a text the symbology refuses has no width
    }
    const double angle = control_->GetAngle();
    const bool horizontal = angle == 0 || angle == 180;
    return horizontal ? QSize(along, height()) : QSize(width(), along);
}

// ---------------------------------------------------------------------------
// Painting

void QbBarCode::paint(QPainter& painter) const
{
    SyncSize();
    // The control repaints its raster on every change it takes, so where a
    // copy of the raster gives the painter's pixels, the copy is the paint;
    // elsewhere the control paints again, through the painter.
    if (!qbqt::CopyRaster(painter, control_->Image()))
        PaintThrough(painter);
}

void QbBarCode::PaintThrough(QPainter& painter) const
{
    qbqt::PainterSurface surface(painter);
    TSurfaceCanvas canvas(surface, control_->Width(), control_->Height());
    try {
        control_->PaintTo(canvas, 0, 0);
    } catch (const Exception&) {
        // A text the symbology refuses: the panel shows without a barcode,
        // and lastError() said why when the text was set.
    }
}

void QbBarCode::paintEvent(QPaintEvent*)
{
    // The widget paints all of itself (it is opaque, so Qt paints no
    // background under it first): the window colour goes where the control
    // may leave pixels unpainted, outside the control's bounds (a size the
    // control refused) and, when it paints through the painter, under it
    // (a refused text leaves the window border unpainted).
    QPainter painter(this);
    SyncSize();
    const QRect bounds(0, 0, control_->Width(), control_->Height());
    if (qbqt::CopyRaster(painter, control_->Image())) {
        if (!bounds.contains(rect()))
            for (const QRect& r : QRegion(rect()).subtracted(bounds))
                painter.fillRect(r, palette().window());
        return;
    }
    painter.fillRect(rect(), palette().window());
    PaintThrough(painter);
}

} // namespace qb
