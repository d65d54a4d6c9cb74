/// \file
/// QbBarCode: the barcode control as a Qt widget. It holds a TBarCode and
/// offers its published properties as Qt properties under the control's own
/// names, types, defaults and rules; it paints through a surface over
/// QPainter, so bars and caption stay vector on vector devices.
#pragma once

#include "qbarcode/pbarcode.h"
#include "qbarcode/qbbarcode_properties.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

#include <memory>

class QPainter;

namespace qb {

/// The barcode control as a widget.
///
/// Every property of the control that a Qt programmer sets is a Q_PROPERTY of
/// the same name: enumerations are Q_ENUMs with the control's enumerator
/// names (`QbBarCode::bcCode128B`), colours are QColor, the caption font is
/// the widget's font (also readable as `Font`) and its colour the palette's
/// WindowText. Setters follow the control's rules (Modul outside 1 to 49 is
/// ignored, a BarHeight that does not fit stores 0...). A setting the control
/// refuses (a letter for a numeric symbology, a text the symbology cannot
/// encode) sets lastError() and emits refused(); changed() follows every
/// repaint a setting causes, as the control's OnChange.
///
/// Geometry, visibility, tool tips and the other properties QWidget has
/// under names of its own stay QWidget's; the control takes the widget's
/// size. With AutoWidth the widget resizes itself to the barcode.
class QbBarCode : public QWidget {
    Q_OBJECT
    QB_QBARCODE_ENUMS
    QB_QBARCODE_PROPERTIES

public:
    /// A widget with the control's initial values (Code 39, empty text), the
    /// control's size (185 x 41) and font (DejaVu Sans, 8 points).
    explicit QbBarCode(QWidget* parent = nullptr);
    ~QbBarCode() override;

    /// The control the widget shows (its raster, measures and methods), at
    /// the widget's size.
    TBarCode& control() const
    {
        SyncSize();
        return *control_;
    }

    /// Paints the widget, as it shows on screen, with its top-left corner at
    /// the painter's origin. On a QImage (or a window's raster backing store)
    /// at one device pixel per pixel, painted without a transform other than
    /// a whole-pixel translation, with source-over composition at full
    /// opacity, it copies the control's own raster (which the control
    /// repaints on every change): the pixels painting the control through
    /// the painter gives there, in a fraction of the time. On any
    /// other device (a window at a higher device-pixel ratio, a turned or
    /// scaled painter, a printer, a PDF or SVG generator) bars are rectangles
    /// and the caption is text.
    void paint(QPainter& painter) const;

    /// The message of the last setting the control refused; empty after a
    /// setting it took.
    QString lastError() const { return lastError_; }

    /// Along the code: the barcode's width with HMargin and the frame on
    /// both sides (the size AutoWidth gives); across it, the present size.
    QSize sizeHint() const override;

Q_SIGNALS:
    /// After every repaint a setting causes (the control's OnChange).
    void changed();
    /// A setting was refused; `message` is the control's.
    void refused(const QString& message);

protected:
    /// Paints the widget through paint().
    void paintEvent(QPaintEvent* event) override;
    /// Gives the control the widget's new size.
    void resizeEvent(QResizeEvent* event) override;
    /// Gives the control the widget's font and its WindowText colour.
    void changeEvent(QEvent* event) override;

    /// Runs a change of the control: clears lastError() or, when the control
    /// raises, records the message and emits refused(); then follows the
    /// control's size (AutoWidth) and repaints. Returns whether it went through.
    template <class F> bool Apply(F&& change)
    {
        try {
            change();
        } catch (const Exception& e) {
            Refuse(QString::fromLatin1(e.Message));
            return false;
        }
        Accept();
        return true;
    }
    /// Records a refusal: lastError() and refused(), then follows the control.
    void Refuse(const QString& message);
    /// Clears lastError() and follows the control.
    void Accept();
    /// The control's text for a QString; false (and a refusal) when it holds
    /// characters outside the control's 8-bit character set.
    bool ToControlText(const QString& text, std::string& out);

private:
    static const TPropInfo& ControlProperty(const char* name);
    qint64 ReadInteger(const TPropInfo& p) const;
    double ReadFloat(const TPropInfo& p) const;
    QString ReadString(const TPropInfo& p) const;
    bool ReadBoolean(const TPropInfo& p) const;
    QColor ReadColor(const TPropInfo& p) const;
    void WriteValue(const TPropInfo& p, const TPropValue& value);
    void WriteInteger(const TPropInfo& p, qint64 value);
    void WriteString(const TPropInfo& p, const QString& value);
    void WriteColor(const TPropInfo& p, const QColor& value);
    void ResetValue(const TPropInfo& p);
    /// The control's initial font as a QFont.
    static QFont DefaultFont();
    /// The control's font and ink colour from the widget's font and palette.
    void TakeFont();
    /// Paints the control through `painter` (bars as rectangles, the caption
    /// as text).
    void PaintThrough(QPainter& painter) const;
    /// The widget's size from the control's (AutoWidth), and a repaint.
    void FollowControl();
    /// The control's size from the widget's, when the widget was resized
    /// since they last agreed (a hidden widget gets no resize events).
    void SyncSize() const;

    std::unique_ptr<TBarCode> control_;
    QString lastError_;
    QSize agreedSize_; // the size widget and control last had both
};

} // namespace qb
