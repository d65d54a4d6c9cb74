// TBarCode: published properties, repaint on change, placement in the frame,
// and the drawing, measuring, printing and forwarding methods.
#include "qbarcode/pbarcode.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace qb {

#ifndef QB_VERSION
#define QB_VERSION "0"
#endif

namespace {

bool Horizontal(TOrientation o)
{
    return o != toTopBottom && o != toBottomTop;
}

// Placements are worked out in 64 bits (a long text's width minus the frame
// must not wrap) and handed to the core as the nearest 32-bit value.
int To32(std::int64_t v)
{
    return static_cast<int>(
        std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace

QB_IMPLEMENT_COMPONENT(TBarCode, TCustomPanel)

std::vector<TPropInfo> TBarCode::Properties()
{
    using C = TBarCode;
    // Form files and the property rows name the enumerators as their lists
    // do; built with the table, on first use.
    static const TEnumInfo kBarType = QB_ENUM_INFO(TBarType, QB_BAR_TYPES);
    static const TEnumInfo kCheckSum = QB_ENUM_INFO(TCheckSum, QB_CHECK_SUMS);
    static const TEnumInfo kOrientation = QB_ENUM_INFO(TOrientation, QB_ORIENTATIONS);
    static const TEnumInfo kTextShow = QB_ENUM_INFO(TTextShow, QB_TEXT_SHOWS);
    static const TEnumInfo kTextPosition = QB_ENUM_INFO(TTextPosition, QB_TEXT_POSITIONS);
    return {
        // Inherited, in the order the control publishes them.
        QB_PUBLISH("Align"),
        QB_PUBLISH("Alignment"),
        QB_PUBLISH("Anchors"),
        QB_PUBLISH("AutoSize"),
        QB_PUBLISH("BevelInner"),
        QB_PUBLISH("BevelOuter"),
        QB_PUBLISH("BevelWidth"),
        QB_PUBLISH("BiDiMode"),
        QB_PUBLISH("BorderWidth"),
        QB_PUBLISH("BorderStyle"),
        QB_PUBLISH("Color"),
        QB_PUBLISH("Constraints"),
        QB_PUBLISH("Ctl3D"),
        QB_PUBLISH("UseDockManager"),
        QB_PUBLISH("DockSite"),
        QB_PUBLISH("DragCursor"),
        QB_PUBLISH("DragKind"),
        QB_PUBLISH("DragMode"),
        QB_PUBLISH("Enabled"),
        QB_PUBLISH("FullRepaint"),
        QB_PUBLISH("Font"),
        QB_PUBLISH("Locked"),
        QB_PUBLISH("ParentBiDiMode"),
        QB_PUBLISH("ParentColor"),
        QB_PUBLISH("ParentCtl3D"),
        QB_PUBLISH("ParentFont"),
        QB_PUBLISH("ParentShowHint"),
        QB_PUBLISH("PopupMenu"),
        QB_PUBLISH("ShowHint"),
        QB_PUBLISH("TabOrder"),
        QB_PUBLISH("TabStop"),
        QB_PUBLISH("Visible"),
        QB_PUBLISH("OnCanResize"),
        QB_PUBLISH("OnClick"),
        QB_PUBLISH("OnConstrainedResize"),
        QB_PUBLISH("OnContextPopup"),
        QB_PUBLISH("OnDockDrop"),
        QB_PUBLISH("OnDockOver"),
        QB_PUBLISH("OnDblClick"),
        QB_PUBLISH("OnDragDrop"),
        QB_PUBLISH("OnDragOver"),
        QB_PUBLISH("OnEndDock"),
        QB_PUBLISH("OnEndDrag"),
        QB_PUBLISH("OnEnter"),
        QB_PUBLISH("OnExit"),
        QB_PUBLISH("OnGetSiteInfo"),
        QB_PUBLISH("OnMouseDown"),
        QB_PUBLISH("OnMouseMove"),
        QB_PUBLISH("OnMouseUp"),
        QB_PUBLISH("OnResize"),
        QB_PUBLISH("OnStartDock"),
        QB_PUBLISH("OnStartDrag"),
        QB_PUBLISH("OnUnDock"),
        // The control's own, in declaration order: BarType is read before BarCode.
        QB_PROP_ENUM(C, BarType, BarType, SetBarType, kBarType, bcCode39),
        QB_PROP_STRING(C, BarCode, BarCode, SetBarCode, NoDefault),
        QB_PROP_INT(C, BarHeight, BarHeight, SetBarHeight, 0),
        QB_PROP_INT(C, Modul, Modul, SetModul, NoDefault),
        QB_PROP_DOUBLE(C, Ratio, Ratio, SetRatio, NoDefault),
        QB_PROP_ENUM(C, CheckSum, CheckSum, SetCheckSum, kCheckSum, csNone),
        QB_PROP_COLOR(C, ColorSpc, ColorSpc, SetColorSpc, 0xFFFFFF),
        QB_PROP_COLOR(C, ColorBar, ColorBar, SetColorBar, 0),
        QB_PROP_ENUM(C, Orientation, Orientation, SetOrientation, kOrientation, toLeftRight),
        QB_PROP_ENUM(C, TextShow, TextShow, SetTextShow, kTextShow, tsNone),
        QB_PROP_ENUM(C, TextPosition, TextPosition, SetTextPosition, kTextPosition, tpBottomCenter),
        QB_PROP_COLOR(C, TextColor, TextColor, SetTextColor, 0xFFFFFF),
        QB_PROP_BOOL(C, AutoWidth, AutoWidth, SetAutoWidth, false),
        QB_PROP_INT(C, HMargin, HMargin, SetHMargin, 0),
        QB_PROP_STRING(C, About, GetAbout, SetAbout, NoDefault),
        FieldProp<&C::OnChange>("OnChange", "TNotifyEvent"),
    };
}

TBarCode::TBarCode(TComponent* owner) : TCustomPanel(owner)
{
    SetCaption("");
}

TBarCode::~TBarCode() = default;

void TBarCode::Assign(const TPersistent* source)
{
    const auto* other = dynamic_cast<const TBarCode*>(source);
    if (!other)
        return;
    TCustomPanel::Assign(source);
    orientation_ = other->orientation_;
    modul_ = other->modul_;
    ratio_ = other->ratio_;
    colorSpc_ = other->colorSpc_;
    colorBar_ = other->colorBar_;
    barType_ = other->barType_;
    barCode_ = other->barCode_;
    barHeight_ = other->barHeight_;
    checkSum_ = other->checkSum_;
    textColor_ = other->textColor_;
    textShow_ = other->textShow_;
    textPosition_ = other->textPosition_;
    hMargin_ = other->hMargin_;
    OnChange = other->OnChange;
}

// ---------------------------------------------------------------------------
// Setters

namespace {
// Stores a changed value and reports whether it changed.
template <class T> bool Store(T& field, const T& value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}
} // namespace

void TBarCode::SetBarType(TBarType value)
{
    if (Store(barType_, value))
        DoChange();
}

void TBarCode::CheckBarCode(const std::string& value) const
{
    if (!IsValidBarType(barType_) || !BCData[barType_].Numeric)
        return;
    const std::string trimmed = Trim(value);
    if (!std::all_of(trimmed.begin(), trimmed.end(), [](char c) { return c >= '0' && c <= '9'; }))
        throw Exception(Format("%s: %s", {value, "Barcode must be numeric."}));
}

void TBarCode::SetBarCode(const std::string& value)
{
    if (value == barCode_)
        return;
    CheckBarCode(value);
    barCode_ = value;
    DoChange();
}

void TBarCode::SetBarHeight(int value)
{
    if (value == barHeight_)
        return;
    // A form file may give the orientation, size or frame after the height:
    // while loading, the range is checked once, in Loaded.
    barHeight_ = ComponentState().Contains(csLoading) ? value : FitBarHeight(value);
    DoChange();
}

int TBarCode::FitBarHeight(int value) const
{
    return value < 0 || value > AvailableHeight() ? 0 : value;
}

void TBarCode::Loaded()
{
    barHeight_ = FitBarHeight(barHeight_);
    TCustomPanel::Loaded();
}

void TBarCode::SetModul(int value)
{
    if (value == modul_ || value < 1 || value > 49)
        return;
    modul_ = value;
    DoChange();
}

void TBarCode::SetRatio(double value)
{
    if (Store(ratio_, value))
        DoChange();
}

void TBarCode::SetCheckSum(TCheckSum value)
{
    if (Store(checkSum_, value))
        DoChange();
}

void TBarCode::SetColorSpc(TColor value)
{
    if (Store(colorSpc_, value))
        DoChange();
}

void TBarCode::SetColorBar(TColor value)
{
    if (Store(colorBar_, value))
        DoChange();
}

void TBarCode::SetOrientation(TOrientation value)
{
    if (Store(orientation_, value))
        DoChange();
}

void TBarCode::SetTextShow(TTextShow value)
{
    if (Store(textShow_, value))
        DoChange();
}

void TBarCode::SetTextPosition(TTextPosition value)
{
    if (Store(textPosition_, value))
        DoChange();
}

void TBarCode::SetTextColor(TColor value)
{
    if (Store(textColor_, value))
        DoChange();
}

void TBarCode::SetAutoWidth(bool value)
{
    if (Store(autoWidth_, value))
        DoChange();
}

void TBarCode::SetHMargin(int value)
{
    if (Store(hMargin_, value) && AutoSize)
        DoChange();
}

std::string TBarCode::GetAbout() const
{
    return "qbarcode " QB_VERSION;
}

void TBarCode::SetAbout(const std::string&) {}

// ---------------------------------------------------------------------------
// Painting and geometry

void TBarCode::DoChange()
{
    PaintNow();
    OnChange(this);
}

int TBarCode::FrameInset() const
{
    return BorderWidth() + (BevelInner() != bvNone ? BevelWidth() : 0) + (BevelOuter() != bvNone ? BevelWidth() : 0);
}

int TBarCode::BorderAllowance() const
{
    if (BorderStyle() == bsNone)
        return 0;
    return Ctl3D() ? 4 : 2;
}

int TBarCode::AvailableHeight() const
{
    const int across = Horizontal(orientation_) ? Height() : Width();
    return across - 2 * FrameInset() - BorderAllowance() - 1;
}

double TBarCode::GetAngle() const
{
    switch (orientation_) {
    case toLeftRight:
        return 0.0;
    case toRightLeft:
        return 180.0;
    case toTopBottom:
        return 270.0;
    case toBottomTop:
        return 90.0;
    }
    return 0.0;
}

int TBarCode::GetBarWidth() const
{
    return qb::Q_GetBarWidth(barType_, barCode_, modul_, ratio_, checkSum_);
}

int TBarCode::GetBarHeight()
{
    const int available = AvailableHeight();
    if (barHeight_ > 0 && barHeight_ < available)
        return barHeight_;
    barHeight_ = 0;
    return available;
}

std::string TBarCode::GetBarTypeName() const
{
    return qb::Q_GetBarTypeName(barType_);
}

int TBarCode::AutoSetWidth(int margin)
{
    return ResizeToBar(GetBarWidth(), margin);
}

int TBarCode::MeasureAutoWidth(int margin) const
{
    return FitToBar(GetBarWidth(), margin);
}

int TBarCode::FitToBar(std::int32_t barWidth, int margin) const
{
    // A size the control cannot take (a negative margin, a very long text)
    // is replaced by the nearest it can: never beyond 0..MaxControlSize, nor
    // an area over MaxControlArea.
    const std::int64_t across = std::max(Horizontal(orientation_) ? Height() : Width(), 1);
    const std::int64_t largest = std::min<std::int64_t>(MaxControlSize, MaxControlArea / across);
    return static_cast<int>(std::clamp<std::int64_t>(
        std::int64_t{barWidth} + 2 * (std::int64_t{margin} + FrameInset() + BorderAllowance()), 0, largest));
}

int TBarCode::ResizeToBar(std::int32_t barWidth, int margin)
{
    const int size = FitToBar(barWidth, margin);
    if (Horizontal(orientation_))
        SetWidth(size);
    else
        SetHeight(size);
    return size;
}

void TBarCode::Paint()
{
    // The text is encoded once, first, so that the panel can leave the
    // barcode's box to the bars and spaces that cover it. When the text is
    // one the symbology rejects, the panel paints in full and the error
    // leaves Paint, as it would from the barcode's own drawing.
    qb::EncodedSymbol symbol;
    try {
        symbol = qb::EncodeSymbol(barType_, barCode_, modul_, ratio_, checkSum_);
    } catch (const Exception&) {
        PaintPanel(nullptr);
        throw;
    }
    const std::int64_t w = symbol.BarWidth;
    const std::int64_t b = FrameInset(), e = BorderAllowance(), width = Width(), height = Height();
    const std::int64_t h = barHeight_ != 0 ? barHeight_ : AvailableHeight();
    const bool horizontal = Horizontal(orientation_);
    // Along the code: from the frame's start, to its end, or centred; the 180
    // and 90 degree drawings shift the justified places one pixel back.
    const std::int64_t along = horizontal ? width : height;
    const std::int64_t back = orientation_ == toRightLeft || orientation_ == toBottomTop ? 1 : 0;
    std::int64_t start = 0;
    switch (Alignment()) {
    case taLeftJustify:
        start = b - back;
        break;
    case taRightJustify:
        start = along - b - e - w - back;
        break;
    case taCenter:
        start = (along - e - w) / 2;
        break;
    }
    const std::int64_t across = ((horizontal ? height : width) - h - e) / 2;
    const TPoint o = ClientOrigin();
    const std::int64_t x = (horizontal ? start : across) + o.X;
    const std::int64_t y = (horizontal ? across : start) + o.Y;

    // The pixels the bars and spaces cover (the 180 and 90 degree drawings
    // start one pixel further along). PostNet's short bars leave background
    // showing, so the panel paints all of it then.
    const TRect box = horizontal ? TRect{To32(x + back), To32(y), To32(x + back + w), To32(y + h + 1)}
                                 : TRect{To32(x), To32(y + back), To32(x + h + 1), To32(y + back + w)};
    // A barcode longer than the room inside the frame is cut at the frame,
    // which stays whole.
    const TRect inside{To32(o.X + b), To32(o.Y + b), To32(o.X + std::int64_t{ClientWidth()} - b),
                       To32(o.Y + std::int64_t{ClientHeight()} - b)};
    PaintPanel(barType_ == bcCodePostNet || h < 0 ? nullptr : &box);
    if (autoWidth_)
        ResizeToBar(symbol.BarWidth, hMargin_);
    TClipScope clip(Canvas(), inside);
    qb::DrawSymbol(Canvas(), symbol, To32(x), To32(y), To32(h), Font(), textShow_, textPosition_, colorBar_, colorSpc_,
                   textColor_, GetAngle());
}

// ---------------------------------------------------------------------------
// Drawing, measuring and printing elsewhere

void TBarCode::Draw(TCanvas& Canvas, int Left, int Top, int BarHeight, double Angle)
{
    Q_DrawBar(Canvas, barType_, barCode_, modul_, ratio_, checkSum_, Left, Top, BarHeight, Font(), textShow_,
              textPosition_, colorBar_, colorSpc_, textColor_, Angle);
}

void TBarCode::Draw(TCanvas& Canvas, int Left, int Top, int BarHeight)
{
    Draw(Canvas, Left, Top, BarHeight, GetAngle());
}

int TBarCode::GetCanvasHeight(int BarHeight, double Angle)
{
    return Q_GetCanvasHeight(barType_, barCode_, modul_, ratio_, checkSum_, BarHeight, Angle);
}

int TBarCode::GetCanvasHeight(int BarHeight)
{
    return GetCanvasHeight(BarHeight, GetAngle());
}

int TBarCode::GetCanvasWidth(int BarHeight, double Angle)
{
    return Q_GetCanvasWidth(barType_, barCode_, modul_, ratio_, checkSum_, BarHeight, Angle);
}

int TBarCode::GetCanvasWidth(int BarHeight)
{
    return GetCanvasWidth(BarHeight, GetAngle());
}

void TBarCode::Print(TUnits Units, double Left, double Top, double BarHeight, double Modul, double Angle)
{
    Q_PrintBar(Units, barType_, barCode_, Modul, ratio_, checkSum_, Left, Top, BarHeight, Font(), textShow_,
               textPosition_, colorBar_, colorSpc_, textColor_, Angle);
}

void TBarCode::Print(TUnits Units, double Left, double Top, double BarHeight, double Modul)
{
    Print(Units, Left, Top, BarHeight, Modul, GetAngle());
}

double TBarCode::GetPrnBarWidth(TUnits Units, double Modul)
{
    return Q_GetPrnBarWidth(Units, barType_, barCode_, Modul, ratio_, checkSum_);
}

double TBarCode::GetPrnCanvasHeight(TUnits Units, double BarHeight, double Modul, double Angle)
{
    return Q_PrnCanvasWidth(Units, barType_, barCode_, Modul, ratio_, checkSum_, BarHeight, Angle);
}

double TBarCode::GetPrnCanvasHeight(TUnits Units, double BarHeight, double Modul)
{
    return GetPrnCanvasHeight(Units, BarHeight, Modul, GetAngle());
}

double TBarCode::GetPrnCanvasWidth(TUnits Units, double BarHeight, double Modul, double Angle)
{
    return Q_PrnCanvasHeight(Units, barType_, barCode_, Modul, ratio_, checkSum_, BarHeight, Angle);
}

double TBarCode::GetPrnCanvasWidth(TUnits Units, double BarHeight, double Modul)
{
    return GetPrnCanvasWidth(Units, BarHeight, Modul, GetAngle());
}

// ---------------------------------------------------------------------------
// Forwarding

void TBarCode::Q_DrawBar(TCanvas& Canvas, TBarType BarType, const std::string& Text, int Modul, double Ratio,
                         TCheckSum CheckSum, int Left, int Top, int BarHeight, const TFont* Font, TTextShow TextShow,
                         TTextPosition TextPosition, TColor ColorBar, TColor ColorSpc, TColor TextColor, double Angle)
{
    qb::Q_DrawBar(Canvas, BarType, Text, Modul, Ratio, CheckSum, Left, Top, BarHeight, Font, TextShow, TextPosition,
                  ColorBar, ColorSpc, TextColor, Angle);
}

int TBarCode::Q_GetBarWidth(TBarType BarType, const std::string& Text, int Modul, double Ratio, TCheckSum CheckSum)
{
    return qb::Q_GetBarWidth(BarType, Text, Modul, Ratio, CheckSum);
}

int TBarCode::Q_GetCanvasWidth(TBarType BarType, const std::string& Text, int Modul, double Ratio, TCheckSum CheckSum,
                               int BarHeight, double Angle)
{
    return qb::Q_GetCanvasWidth(BarType, Text, Modul, Ratio, CheckSum, BarHeight, Angle);
}

int TBarCode::Q_GetCanvasHeight(TBarType BarType, const std::string& Text, int Modul, double Ratio, TCheckSum CheckSum,
                                int BarHeight, double Angle)
{
    return qb::Q_GetCanvasHeight(BarType, Text, Modul, Ratio, CheckSum, BarHeight, Angle);
}

void TBarCode::Q_PrintBar(TUnits Units, TBarType BarType, const std::string& Text, double Modul, double Ratio,
                          TCheckSum CheckSum, double Left, double Top, double BarHeight, const TFont* Font,
                          TTextShow TextShow, TTextPosition TextPosition, TColor ColorBar, TColor ColorSpc,
                          TColor TextColor, double Angle)
{
    qb::Q_PrintBar(Units, BarType, Text, Modul, Ratio, CheckSum, Left, Top, BarHeight, Font, TextShow, TextPosition,
                   ColorBar, ColorSpc, TextColor, Angle);
}

double TBarCode::Q_GetPrnBarWidth(TUnits Units, TBarType BarType, const std::string& Text, double Modul, double Ratio,
                                  TCheckSum CheckSum)
{
    return qb::Q_GetPrnBarWidth(Units, BarType, Text, Modul, Ratio, CheckSum);
}

double TBarCode::Q_PrnCanvasWidth(TUnits Units, TBarType BarType, const std::string& Text, double Modul, double Ratio,
                                  TCheckSum CheckSum, double BarHeight, double Angle)
{
    return qb::Q_PrnCanvasWidth(Units, BarType, Text, Modul, Ratio, CheckSum, BarHeight, Angle);
}

double TBarCode::Q_PrnCanvasHeight(TUnits Units, TBarType BarType, const std::string& Text, double Modul, double Ratio,
                                   TCheckSum CheckSum, double BarHeight, double Angle)
{
    return qb::Q_PrnCanvasHeight(Units, BarType, Text, Modul, Ratio, CheckSum, BarHeight, Angle);
}

std::string TBarCode::Q_GetBarTypeName(TBarType BarType)
{
    return qb::Q_GetBarTypeName(BarType);
}

void RegisterBarCodeClasses()
{
    RegisterControlClasses();
    RegisterClass(TBarCode::StaticClassInfo());
}

} // namespace qb
