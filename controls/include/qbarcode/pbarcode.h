/// \file
/// TBarCode: the barcode control. A panel that keeps the settings of one
/// barcode as published properties, repaints at once on every change, places
/// the barcode inside its frame by Alignment and Orientation, and draws,
/// measures and prints the same barcode elsewhere.
#pragma once

#include "qbarcode/controls.h"
#include "qbarcode/qbarcode.h"

#include <string>

namespace qb {

/// The barcode control.
///
/// Frame insets: B = BorderWidth, plus BevelWidth for each bevel that is not
/// bvNone; E = 0 without a window border, else 4 with Ctl3D and 2 without.
/// The available bar height A is Height - 2B - E - 1 for horizontal
/// orientations and Width - 2B - E - 1 for vertical ones.
///
/// Every setter compares first; a change stores the value and calls
/// DoChange, which paints at once and then fires OnChange. When the paint
/// raises (a text the symbology rejects), the new value stays stored,
/// OnChange is not fired and the exception leaves the setter.
class TBarCode : public TCustomPanel {
    QB_CLASS(TBarCode, TCustomPanel)
    /// A Code 39 control with empty text, Modul 1, Ratio 2.0, black bars on
    /// white, and an empty panel caption. Nothing is encoded yet.
    explicit TBarCode(TComponent* owner);
    ~TBarCode() override;

    /// From another TBarCode: copies Orientation, Modul, Ratio, ColorSpc,
    /// ColorBar, BarType, BarCode, BarHeight, CheckSum, TextColor, TextShow,
    /// TextPosition, HMargin and OnChange as stored, without checks or a
    /// repaint (AutoWidth is not copied). Any other source is ignored.
    void Assign(const TPersistent* source) override;

    // Published properties of the control, in declaration order.
    TBarType BarType() const { return barType_; }
    void SetBarType(TBarType value);
    /// The text as assigned (untrimmed).
    const std::string& BarCode() const { return barCode_; }
    /// For a digits-only symbology the value, trimmed, must hold digits only,
    /// else raises "<value>: Barcode must be numeric." and stores nothing.
    virtual void SetBarCode(const std::string& value);
    /// The stored bar height (0: fill the available height A).
    int BarHeight() const { return barHeight_; }
    /// Values below 0 or above A store 0. While the control is loading, the
    /// value is stored as given and that rule applied once in Loaded, when
    /// the size, frame and Orientation read after it are in place.
    void SetBarHeight(int value);
    int Modul() const { return modul_; }
    /// Accepts 1 to 49; other values are ignored.
    void SetModul(int value);
    double Ratio() const { return ratio_; }
    void SetRatio(double value);
    TCheckSum CheckSum() const { return checkSum_; }
    void SetCheckSum(TCheckSum value);
    TColor ColorSpc() const { return colorSpc_; }
    void SetColorSpc(TColor value);
    TColor ColorBar() const { return colorBar_; }
    void SetColorBar(TColor value);
    TOrientation Orientation() const { return orientation_; }
    void SetOrientation(TOrientation value);
    TTextShow TextShow() const { return textShow_; }
    void SetTextShow(TTextShow value);
    TTextPosition TextPosition() const { return textPosition_; }
    void SetTextPosition(TTextPosition value);
    TColor TextColor() const { return textColor_; }
    void SetTextColor(TColor value);
    /// Resize the control to the barcode on every paint.
    bool AutoWidth() const { return autoWidth_; }
    void SetAutoWidth(bool value);
    int HMargin() const { return hMargin_; }
    /// Stores; repaints only while AutoSize is set.
    void SetHMargin(int value);
    /// The product banner: the library's name and version.
    std::string GetAbout() const;
    /// Ignores the value.
    void SetAbout(const std::string& value);
    /// Fired after every repaint caused by a setting.
    TNotifyEvent OnChange;

    /// Paints at once, then fires OnChange.
    virtual void DoChange();
    /// Sets Width (horizontal) or Height (vertical) to GetBarWidth + 2 (margin
    /// + B + E) and returns that size. A size the control cannot take is
    /// replaced by the nearest one it can (0 to MaxControlSize, the area
    /// within MaxControlArea), never reported.
    int AutoSetWidth(int margin);
    /// The size AutoSetWidth(margin) gives the control, without resizing it.
    int MeasureAutoWidth(int margin) const;
    /// 0, 180, 270 or 90 degrees for toLeftRight, toRightLeft, toTopBottom,
    /// toBottomTop.
    double GetAngle() const;
    /// The barcode's width in pixels (Q_GetBarWidth with the settings).
    int GetBarWidth() const;
    /// The effective bar height: the stored one when above 0 and below A,
    /// else A, and then the stored value is reset to 0.
    int GetBarHeight();
    /// The display name of BarType.
    std::string GetBarTypeName() const;

    // Drawing, measuring and printing with the control's settings. None of
    // them changes a property, repaints or fires OnChange. The overloads
    // without Angle use GetAngle.

    /// Q_DrawBar on any canvas, with the caller's position and bar height.
    void Draw(TCanvas& Canvas, int Left, int Top, int BarHeight, double Angle);
    void Draw(TCanvas& Canvas, int Left, int Top, int BarHeight);
    /// Q_GetCanvasHeight: at 0 degrees the barcode's length.
    int GetCanvasHeight(int BarHeight, double Angle);
    int GetCanvasHeight(int BarHeight);
    /// Q_GetCanvasWidth: at 0 degrees the bar height.
    int GetCanvasWidth(int BarHeight, double Angle);
    int GetCanvasWidth(int BarHeight);
    /// Q_PrintBar on the printer, sizes in Units, Modul the module width in Units.
    void Print(TUnits Units, double Left, double Top, double BarHeight, double Modul, double Angle);
    void Print(TUnits Units, double Left, double Top, double BarHeight, double Modul);
    /// Q_GetPrnBarWidth.
    double GetPrnBarWidth(TUnits Units, double Modul);
    /// Q_PrnCanvasWidth (the names cross): at 0 degrees the bar height.
    double GetPrnCanvasHeight(TUnits Units, double BarHeight, double Modul, double Angle);
    double GetPrnCanvasHeight(TUnits Units, double BarHeight, double Modul);
    /// Q_PrnCanvasHeight (the names cross): at 0 degrees the barcode's length.
    double GetPrnCanvasWidth(TUnits Units, double BarHeight, double Modul, double Angle);
    double GetPrnCanvasWidth(TUnits Units, double BarHeight, double Modul);

    // The core routines, forwarded unchanged; they read nothing of the control.

    /// qb::Q_DrawBar.
    void Q_DrawBar(TCanvas& Canvas, TBarType BarType, const std::string& Text, int Modul, double Ratio,
                   TCheckSum CheckSum, int Left, int Top, int BarHeight, const TFont* Font, TTextShow TextShow,
                   TTextPosition TextPosition, TColor ColorBar, TColor ColorSpc, TColor TextColor, double Angle);
    /// qb::Q_GetBarWidth.
    int Q_GetBarWidth(TBarType BarType, const std::string& Text, int Modul, double Ratio, TCheckSum CheckSum);
    /// qb::Q_GetCanvasWidth.
    int Q_GetCanvasWidth(TBarType BarType, const std::string& Text, int Modul, double Ratio, TCheckSum CheckSum,
                         int BarHeight, double Angle);
    /// qb::Q_GetCanvasHeight.
    int Q_GetCanvasHeight(TBarType BarType, const std::string& Text, int Modul, double Ratio, TCheckSum CheckSum,
                          int BarHeight, double Angle);
    /// qb::Q_PrintBar.
    void Q_PrintBar(TUnits Units, TBarType BarType, const std::string& Text, double Modul, double Ratio,
                    TCheckSum CheckSum, double Left, double Top, double BarHeight, const TFont* Font,
                    TTextShow TextShow, TTextPosition TextPosition, TColor ColorBar, TColor ColorSpc, TColor TextColor,
                    double Angle);
    /// qb::Q_GetPrnBarWidth.
    double Q_GetPrnBarWidth(TUnits Units, TBarType BarType, const std::string& Text, double Modul, double Ratio,
                            TCheckSum CheckSum);
    /// qb::Q_PrnCanvasWidth.
    double Q_PrnCanvasWidth(TUnits Units, TBarType BarType, const std::string& Text, double Modul, double Ratio,
                            TCheckSum CheckSum, double BarHeight, double Angle);
    /// qb::Q_PrnCanvasHeight.
    double Q_PrnCanvasHeight(TUnits Units, TBarType BarType, const std::string& Text, double Modul, double Ratio,
                             TCheckSum CheckSum, double BarHeight, double Angle);
    /// qb::Q_GetBarTypeName.
    std::string Q_GetBarTypeName(TBarType BarType);

    /// Applies the BarHeight range rule to the value read, then finishes
    /// loading as the panel does (and repaints).
    void Loaded() override;

protected:
    /// The panel's paint, then the barcode placed by Alignment and
    /// Orientation (AutoWidth resizes after the place is taken, and the
    /// resize repaints), clipped to the inside of the frame.
    void Paint() override;
    /// The check of SetBarCode: for a digits-only BarType, raises
    /// "<value>: Barcode must be numeric." unless value, trimmed, holds
    /// digits only.
    void CheckBarCode(const std::string& value) const;

private:
    int FitBarHeight(int value) const; // the range rule: 0 outside 0..A
    int FrameInset() const;            // B
    int BorderAllowance() const;       // E
    int AvailableHeight() const;       // A
    // AutoSetWidth for a bar already measured: the size, and the resize.
    int FitToBar(std::int32_t barWidth, int margin) const;
    int ResizeToBar(std::int32_t barWidth, int margin);

    std::string barCode_;
    TBarType barType_ = bcCode39;
    int barHeight_ = 0;
    int modul_ = 1;
    double ratio_ = 2.0;
    TCheckSum checkSum_ = csNone;
    TColor colorSpc_ = 0xFFFFFF;
    TColor colorBar_ = 0;
    TOrientation orientation_ = toLeftRight;
    TTextShow textShow_ = tsNone;
    TTextPosition textPosition_ = tpBottomCenter;
    TColor textColor_ = 0xFFFFFF;
    int hMargin_ = 0;
    bool autoWidth_ = false;
};

/// Registers TBarCode and the framework's control classes for form files.
void RegisterBarCodeClasses();

} // namespace qb
