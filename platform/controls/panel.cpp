// TCustomPanel: bevels, border band, background, caption and window border.
#include "qbarcode/controls.h"

#include <algorithm>

namespace qb {

namespace {

const TEnumInfo kAlignment = QB_ENUM_INFO(TAlignment, QB_ALIGNMENTS);
const TEnumInfo kBevelCut = QB_ENUM_INFO(TBevelCut, QB_BEVEL_CUTS);
const TEnumInfo kBorderStyle = QB_ENUM_INFO(TBorderStyle, QB_BORDER_STYLES);

void Fill(TCanvas& canvas, int left, int top, int right, int bottom, TColor color)
{
    canvas.Brush().SetColor(color);
    canvas.FillRect({left, top, right, bottom});
}

// `width` one-pixel rings from the outside of r inwards; r shrinks with each.
// Top row and left column in `top`, right column and bottom row in `bottom`,
// which also takes the top-right and bottom-left corners.
void Frame3D(TCanvas& canvas, TRect& r, TColor top, TColor bottom, int width)
{
    for (; width > 0 && r.Right > r.Left && r.Bottom > r.Top; --width) {
        Fill(canvas, r.Left, r.Top, r.Right - 1, r.Top + 1, top);
        Fill(canvas, r.Left, r.Top, r.Left + 1, r.Bottom - 1, top);
        Fill(canvas, r.Right - 1, r.Top, r.Right, r.Bottom, bottom);
        Fill(canvas, r.Left, r.Bottom - 1, r.Right, r.Bottom, bottom);
        ++r.Left, ++r.Top, --r.Right, --r.Bottom;
    }
}

void Bevel(TCanvas& canvas, TRect& r, TBevelCut cut, TColor face, int width)
{
    switch (cut) {
    case bvNone:
        return;
    case bvLowered:
        Frame3D(canvas, r, clBtnShadow, clBtnHighlight, width);
        return;
    case bvRaised:
        Frame3D(canvas, r, clBtnHighlight, clBtnShadow, width);
        return;
    case bvSpace:
        Frame3D(canvas, r, face, face, width);
        return;
    }
}

} // namespace

QB_IMPLEMENT_CLASS(TCustomPanel, TWinControl)

std::vector<TPropInfo> TCustomPanel::Properties()
{
    using C = TCustomPanel;
    return {
        QB_PROP_ENUM(C, Alignment, Alignment, SetAlignment, kAlignment, taCenter).Unpublished(),
        QB_PROP_ENUM(C, BevelInner, BevelInner, SetBevelInner, kBevelCut, bvNone).Unpublished(),
        QB_PROP_ENUM(C, BevelOuter, BevelOuter, SetBevelOuter, kBevelCut, bvRaised).Unpublished(),
        QB_PROP_INT(C, BevelWidth, BevelWidth, SetBevelWidth, 1).Unpublished(),
        QB_PROP_INT(C, BorderWidth, BorderWidth, SetBorderWidth, 0).Unpublished(),
        QB_PROP_ENUM(C, BorderStyle, BorderStyle, SetBorderStyle, kBorderStyle, bsNone).Unpublished(),
        QB_PROP_STRING(C, Caption, Caption, SetCaption, "").Unpublished(),
        FieldProp<&C::FullRepaint>("FullRepaint", "Boolean", nullptr, true).Unpublished(),
        FieldProp<&C::Locked>("Locked", "Boolean", nullptr, false).Unpublished(),
    };
}

TCustomPanel::TCustomPanel(TComponent* owner) : TWinControl(owner)
{
    SetControlStyle(ControlStyle() + TControlStyle{csAcceptsControls, csOpaque});
}

void TCustomPanel::SetAlignment(TAlignment v)
{
    if (v == alignment_)
        return;
    alignment_ = v;
    Invalidate();
}

void TCustomPanel::SetBevelInner(TBevelCut v)
{
    if (v == bevelInner_)
        return;
    bevelInner_ = v;
    Invalidate();
}

void TCustomPanel::SetBevelOuter(TBevelCut v)
{
    if (v == bevelOuter_)
        return;
    bevelOuter_ = v;
    Invalidate();
}

void TCustomPanel::SetBevelWidth(int v)
{
    if (v == bevelWidth_ || v < 1 || v > MaxControlSize)
        return;
    bevelWidth_ = v;
    Invalidate();
}

void TCustomPanel::SetBorderWidth(int v)
{
    if (v == borderWidth_ || v < 0 || v > MaxControlSize)
        return;
    borderWidth_ = v;
    Invalidate();
}

void TCustomPanel::SetBorderStyle(TBorderStyle v)
{
    if (v == borderStyle_)
        return;
    borderStyle_ = v;
    Invalidate();
}

void TCustomPanel::SetCaption(const std::string& v)
{
    if (v == caption_)
        return;
    caption_ = v;
    Invalidate();
}

int TCustomPanel::BorderExtent() const
{
    if (borderStyle_ == bsNone)
        return 0;
    return Ctl3D() ? 2 : 1;
}

void TCustomPanel::Paint()
{
    PaintPanel(nullptr);
}

void TCustomPanel::PaintPanel(const TRect* covered)
{
    TCanvas& canvas = Canvas();
    const TPoint o = ClientOrigin();
    TRect r{o.X, o.Y, o.X + ClientWidth(), o.Y + ClientHeight()};
    Bevel(canvas, r, bevelOuter_, Color(), bevelWidth_);
    Frame3D(canvas, r, Color(), Color(), borderWidth_);
    Bevel(canvas, r, bevelInner_, Color(), bevelWidth_);
    if (!covered || covered->Left >= covered->Right || covered->Top >= covered->Bottom) {
        Fill(canvas, r.Left, r.Top, r.Right, r.Bottom, Color());
    } else {
        // The bands above and below the covered box, then beside it.
        const int top = std::clamp(covered->Top, r.Top, r.Bottom);
        const int bottom = std::clamp(covered->Bottom, r.Top, r.Bottom);
        Fill(canvas, r.Left, r.Top, r.Right, top, Color());
        Fill(canvas, r.Left, bottom, r.Right, r.Bottom, Color());
        Fill(canvas, r.Left, top, std::clamp(covered->Left, r.Left, r.Right), bottom, Color());
        Fill(canvas, std::clamp(covered->Right, r.Left, r.Right), top, r.Right, bottom, Color());
    }
    if (caption_.empty())
        return;
    canvas.Font().Assign(*Font());
    canvas.Brush().SetStyle(bsClear);
    const int textWidth = canvas.TextWidth(caption_);
    const int textHeight = canvas.TextHeight(caption_);
    // Centred from the rectangle's own corner, halves rounded down: a caption
    // larger than the panel lands on the same pixels wherever the panel is
    // painted (its raster, or a form).
    auto half = [](int v) { return v >> 1; };
    int x = r.Left + half(r.Width() - textWidth);
    if (alignment_ == taLeftJustify)
        x = r.Left;
    else if (alignment_ == taRightJustify)
        x = r.Right - textWidth;
    canvas.TextOut(x, r.Top + half(r.Height() - textHeight), caption_);
    canvas.Brush().SetStyle(bsSolid);
}

void TCustomPanel::PaintBorder(TCanvas& canvas, int x, int y)
{
    if (borderStyle_ == bsNone)
        return;
    TRect r{x, y, x + Width(), y + Height()};
    if (Ctl3D()) {
        Frame3D(canvas, r, clBtnShadow, clBtnHighlight, 1);
        Frame3D(canvas, r, cl3DDkShadow, cl3DLight, 1);
    } else {
        Frame3D(canvas, r, clWindowFrame, clWindowFrame, 1);
    }
}

QB_IMPLEMENT_COMPONENT(TPanel, TCustomPanel)

std::vector<TPropInfo> TPanel::Properties()
{
    return {
        QB_PUBLISH("Align"),      QB_PUBLISH("Alignment"),   QB_PUBLISH("BevelInner"),  QB_PUBLISH("BevelOuter"),
        QB_PUBLISH("BevelWidth"), QB_PUBLISH("BorderWidth"), QB_PUBLISH("BorderStyle"), QB_PUBLISH("Caption"),
        QB_PUBLISH("Color"),      QB_PUBLISH("Ctl3D"),       QB_PUBLISH("Enabled"),     QB_PUBLISH("Font"),
        QB_PUBLISH("ParentFont"), QB_PUBLISH("Visible"),     QB_PUBLISH("OnClick"),     QB_PUBLISH("OnResize"),
    };
}

} // namespace qb
