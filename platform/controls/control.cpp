// TControl and TWinControl: geometry, the off-screen raster and the paint
// cycle, parents and children, messages, and their property tables.
#include "qbarcode/controls.h"

#include "property_rows.h"

#include <algorithm>
#include <climits>

namespace qb {

using namespace controls;

namespace {

const TEnumInfo kAlign{"TAlign", {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient", "alCustom"}};
const TEnumInfo kAnchorKind{"TAnchorKind", {"akLeft", "akTop", "akRight", "akBottom"}};
const TEnumInfo kBiDiMode{"TBiDiMode",
                          {"bdLeftToRight", "bdRightToLeft", "bdRightToLeftNoAlign", "bdRightToLeftReadingOnly"}};
const TEnumInfo kDragKind{"TDragKind", {"dkDrag", "dkDock"}};
const TEnumInfo kDragMode{"TDragMode", {"dmManual", "dmAutomatic"}};
const TEnumInfo kHelpType{"THelpType", {"htKeyword", "htContext"}};

// The rectangle of w x h pixels at (x, y), its far edges held within int.
TRect RectAt(int x, int y, int w, int h)
{
    auto far = [](int from, int size) {
        return static_cast<int>(std::min<std::int64_t>(std::int64_t{from} + size, INT_MAX));
    };
    return {x, y, far(x, w), far(y, h)};
}

void CheckSize(int width, int height)
{
    if (width < 0 || height < 0 || width > MaxControlSize || height > MaxControlSize ||
        std::int64_t{width} * height > MaxControlArea)
        throw Exception(Format("Control size %d x %d out of range.", {width, height}));
}

} // namespace

// ---------------------------------------------------------------------------
// TSizeConstraints

QB_IMPLEMENT_CLASS(TSizeConstraints, TPersistent)

std::vector<TPropInfo> TSizeConstraints::Properties()
{
    return {
        QB_PROP_INT(TSizeConstraints, MaxHeight, MaxHeight, SetMaxHeight, 0),
        QB_PROP_INT(TSizeConstraints, MaxWidth, MaxWidth, SetMaxWidth, 0),
        QB_PROP_INT(TSizeConstraints, MinHeight, MinHeight, SetMinHeight, 0),
        QB_PROP_INT(TSizeConstraints, MinWidth, MinWidth, SetMinWidth, 0),
    };
}

void TSizeConstraints::Assign(const TPersistent* source)
{
    const auto* other = dynamic_cast<const TSizeConstraints*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    maxHeight_ = other->maxHeight_;
    maxWidth_ = other->maxWidth_;
    minHeight_ = other->minHeight_;
    minWidth_ = other->minWidth_;
    if (control_)
        control_->SetBounds(control_->Left(), control_->Top(), control_->Width(), control_->Height());
}

void TSizeConstraints::Change(int& field, int v)
{
    if (v < 0 || v == field)
        return;
    field = v;
    if (control_)
        control_->SetBounds(control_->Left(), control_->Top(), control_->Width(), control_->Height());
}

int TSizeConstraints::ConstrainWidth(int w) const
{
    if (maxWidth_ > 0)
        w = std::min(w, maxWidth_);
    return std::max(w, minWidth_);
}

int TSizeConstraints::ConstrainHeight(int h) const
{
    if (maxHeight_ > 0)
        h = std::min(h, maxHeight_);
    return std::max(h, minHeight_);
}

QB_IMPLEMENT_COMPONENT(TPopupMenu, TComponent)
QB_NO_PROPERTIES(TPopupMenu)

// ---------------------------------------------------------------------------
// TControl

QB_IMPLEMENT_CLASS(TControl, TComponent)

std::vector<TPropInfo> TControl::Properties()
{
    using C = TControl;
    return {
        QB_PROP_INT(C, Left, Left, SetLeft, NoDefault),
        QB_PROP_INT(C, Top, Top, SetTop, NoDefault),
        QB_PROP_INT(C, Width, Width, SetWidth, NoDefault),
        QB_PROP_INT(C, Height, Height, SetHeight, NoDefault),
        IntField<C>("Cursor", "TCursor", &C::Cursor, std::int64_t{crDefault}),
        StringField<C>("Hint", &C::Hint),
        EnumField<C>("HelpType", &C::HelpType, kHelpType, htContext),
        StringField<C>("HelpKeyword", &C::HelpKeyword),
        IntField<C>("HelpContext", "THelpContext", &C::HelpContext, std::int64_t{0}),
        // Declared for descendants to publish.
        EnumField<C>("Align", &C::Align, kAlign, alNone).Unpublished(),
        SetField<C>("Anchors", "TAnchors", &C::Anchors, kAnchorKind, TAnchors{akLeft, akTop}).Unpublished(),
        BoolField<C>("AutoSize", &C::AutoSize, false).Unpublished(),
        EnumField<C>("BiDiMode", &C::BiDiMode, kBiDiMode, bdLeftToRight).Unpublished(),
        QB_PROP_COLOR(C, Color, Color, SetColor, clBtnFace).Unpublished(),
        QB_PROP_OBJECT(C, Constraints, Constraints, TSizeConstraints).Unpublished(),
        IntField<C>("DragCursor", "TCursor", &C::DragCursor, std::int64_t{crDrag}).Unpublished(),
        EnumField<C>("DragKind", &C::DragKind, kDragKind, dkDrag).Unpublished(),
        EnumField<C>("DragMode", &C::DragMode, kDragMode, dmManual).Unpublished(),
        QB_PROP_BOOL(C, Enabled, Enabled, SetEnabled, true).Unpublished(),
        QB_PROP_OBJECT(C, Font, Font, TFont).Unpublished(),
        BoolField<C>("ParentBiDiMode", &C::ParentBiDiMode, true).Unpublished(),
        BoolField<C>("ParentColor", &C::ParentColor, false).Unpublished(),
        BoolField<C>("ParentFont", &C::ParentFont, true).Unpublished(),
        BoolField<C>("ParentShowHint", &C::ParentShowHint, true).Unpublished(),
        QB_PROP_COMPONENT(C, PopupMenu, PopupMenu, SetPopupMenu, TPopupMenu).Unpublished(),
        BoolField<C>("ShowHint", &C::ShowHint, false).Unpublished(),
        QB_PROP_BOOL(C, Visible, Visible, SetVisible, true).Unpublished(),
        EventField<C>("OnCanResize", "TCanResizeEvent", &C::OnCanResize).Unpublished(),
        EventField<C>("OnClick", "TNotifyEvent", &C::OnClick).Unpublished(),
        EventField<C>("OnConstrainedResize", "TConstrainedResizeEvent", &C::OnConstrainedResize).Unpublished(),
        EventField<C>("OnContextPopup", "TContextPopupEvent", &C::OnContextPopup).Unpublished(),
        EventField<C>("OnDblClick", "TNotifyEvent", &C::OnDblClick).Unpublished(),
        EventField<C>("OnDragDrop", "TDragDropEvent", &C::OnDragDrop).Unpublished(),
        EventField<C>("OnDragOver", "TDragOverEvent", &C::OnDragOver).Unpublished(),
        EventField<C>("OnEndDock", "TEndDragEvent", &C::OnEndDock).Unpublished(),
        EventField<C>("OnEndDrag", "TEndDragEvent", &C::OnEndDrag).Unpublished(),
        EventField<C>("OnMouseDown", "TMouseEvent", &C::OnMouseDown).Unpublished(),
        EventField<C>("OnMouseMove", "TMouseMoveEvent", &C::OnMouseMove).Unpublished(),
        EventField<C>("OnMouseUp", "TMouseEvent", &C::OnMouseUp).Unpublished(),
        EventField<C>("OnResize", "TNotifyEvent", &C::OnResize).Unpublished(),
        EventField<C>("OnStartDock", "TStartDockEvent", &C::OnStartDock).Unpublished(),
        EventField<C>("OnStartDrag", "TStartDragEvent", &C::OnStartDrag).Unpublished(),
    };
}

TControl::TControl(TComponent* owner)
    : TComponent(owner), font_(std::make_unique<TFont>()), constraints_(std::make_unique<TSizeConstraints>()),
      raster_(std::make_unique<TBitmap>(width_, height_))
{
    constraints_->control_ = this;
}

TControl::~TControl()
{
    constraints_->control_ = nullptr;
    SetParent(nullptr);
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    CheckSize(width, height);
    width = constraints_->ConstrainWidth(width);
    height = constraints_->ConstrainHeight(height);
    CheckSize(width, height);
    const bool resized = width != width_ || height != height_;
    left_ = left;
    top_ = top;
    if (!resized)
        return;
    raster_->SetSize(width, height);
    width_ = width;
    height_ = height;
    OnResize(this);
    Invalidate();
}

int TControl::ClientWidth() const
{
    return std::max(0, width_ - 2 * BorderExtent());
}

int TControl::ClientHeight() const
{
    return std::max(0, height_ - 2 * BorderExtent());
}

void TControl::SetVisible(bool v)
{
    if (v == visible_)
        return;
    visible_ = v;
    Perform(CM_VISIBLECHANGED, v);
}

void TControl::SetEnabled(bool v)
{
    if (v == enabled_)
        return;
    enabled_ = v;
    Perform(CM_ENABLEDCHANGED);
}

void TControl::SetColor(TColor v)
{
    if (v == color_)
        return;
    color_ = v;
    Invalidate();
}

void TControl::SetFont(const TFont* font)
{
    if (font)
        font_->Assign(*font);
    Invalidate();
}

void TControl::SetParent(TWinControl* parent)
{
    if (parent == parent_)
        return;
    if (parent_) {
        auto& list = parent_->controls_;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    parent_ = parent;
    if (parent_)
        parent_->controls_.push_back(this);
}

void TControl::SetParentComponent(TComponent* parent)
{
    if (auto* win = dynamic_cast<TWinControl*>(parent))
        SetParent(win);
}

std::intptr_t TControl::Perform(std::uint32_t msg, std::intptr_t wparam, std::intptr_t lparam)
{
    TMessage message{msg, wparam, lparam, 0};
    WndProc(message);
    return message.Result;
}

void TControl::WndProc(TMessage& message)
{
    if (message.Msg == WM_PAINT) {
        Repaint();
        return;
    }
    Dispatch(message);
}

TCanvas& TControl::Canvas()
{
    return paintCanvas_ ? *paintCanvas_ : raster_->Canvas();
}

void TControl::Invalidate()
{
    invalid_ = true;
    if (paintDepth_ > 0 || ComponentState().Contains(csLoading))
        return;
    Repaint();
}

namespace {

// Counts a paint in progress for as long as it runs, also when it raises.
class PaintScope {
public:
    explicit PaintScope(int& depth) : depth_(depth) { ++depth_; }
    ~PaintScope() { --depth_; }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;

private:
    int& depth_;
};

} // namespace

void TControl::Repaint()
{
    PaintScope scope(paintDepth_);
    do {
        invalid_ = false;
        PaintRaster();
    } while (invalid_);
}

void TControl::PaintNow()
{
    PaintScope scope(paintDepth_);
    origin_ = {BorderExtent(), BorderExtent()};
    PaintClient();
    // A resize asked for by this paint is painted at the new size.
    while (invalid_) {
        invalid_ = false;
        PaintRaster();
    }
}

// One paint of the raster. A resize asked for from inside it (a control
// sizing itself to its content) sets invalid_ again, and the caller paints
// once more at the new size; the second paint finds the size right.
void TControl::PaintRaster()
{
    origin_ = {BorderExtent(), BorderExtent()};
    PaintClient();
    PaintBorder(raster_->Canvas(), 0, 0);
}

void TControl::PaintClient()
{
    TClipScope clip(Canvas(), RectAt(origin_.X, origin_.Y, ClientWidth(), ClientHeight()));
    Paint();
}

void TControl::PaintTo(TCanvas& canvas, int x, int y)
{
    TCanvas* const savedCanvas = paintCanvas_;
    const TPoint savedOrigin = origin_;
    paintCanvas_ = &canvas;
    origin_ = {x + BorderExtent(), y + BorderExtent()};
    ++paintDepth_;
    try {
        // Nothing reaches beyond the control's bounds, whatever it paints.
        TClipScope bounds(canvas, RectAt(x, y, Width(), Height()));
        PaintClient();
        PaintBorder(canvas, x, y);
    } catch (...) {
        --paintDepth_;
        paintCanvas_ = savedCanvas;
        origin_ = savedOrigin;
        throw;
    }
    --paintDepth_;
    paintCanvas_ = savedCanvas;
    origin_ = savedOrigin;
    // A resize during this paint concerns the raster, which is painted now.
    if (invalid_ && paintDepth_ == 0)
        Repaint();
}

void TControl::Paint() {}

void TControl::PaintBorder(TCanvas&, int, int) {}

void TControl::Assign(const TPersistent* source)
{
    if (dynamic_cast<const TControl*>(source))
        return;
    TPersistent::Assign(source);
}

void TControl::Click()
{
    OnClick(this);
}

void TControl::Loaded()
{
    TComponent::Loaded();
    // Sub-object properties (Font.Size...) change without telling the
    // control, so a loaded control paints once with everything in place.
    Invalidate();
}

void TControl::SetPopupMenu(TPopupMenu* menu)
{
    if (menu == popupMenu_)
        return;
    if (popupMenu_)
        popupMenu_->RemoveFreeNotification(this);
    popupMenu_ = menu;
    if (popupMenu_)
        popupMenu_->FreeNotification(this);
}

void TControl::Notification(TComponent* component, TOperation operation)
{
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == popupMenu_)
        popupMenu_ = nullptr;
}

// ---------------------------------------------------------------------------
// TWinControl

QB_IMPLEMENT_CLASS(TWinControl, TControl)

std::vector<TPropInfo> TWinControl::Properties()
{
    using C = TWinControl;
    return {
        QB_PROP_BOOL(C, Ctl3D, Ctl3D, SetCtl3D, NoDefault).Unpublished(),
        BoolField<C>("ParentCtl3D", &C::ParentCtl3D, true).Unpublished(),
        BoolField<C>("UseDockManager", &C::UseDockManager, true).Unpublished(),
        BoolField<C>("DockSite", &C::DockSite, false).Unpublished(),
        IntField<C>("TabOrder", "TTabOrder", &C::TabOrder, std::int64_t{-1}).Unpublished(),
        BoolField<C>("TabStop", &C::TabStop, false).Unpublished(),
        EventField<C>("OnDockDrop", "TDockDropEvent", &C::OnDockDrop).Unpublished(),
        EventField<C>("OnDockOver", "TDockOverEvent", &C::OnDockOver).Unpublished(),
        EventField<C>("OnEnter", "TNotifyEvent", &C::OnEnter).Unpublished(),
        EventField<C>("OnExit", "TNotifyEvent", &C::OnExit).Unpublished(),
        EventField<C>("OnGetSiteInfo", "TGetSiteInfoEvent", &C::OnGetSiteInfo).Unpublished(),
        EventField<C>("OnUnDock", "TUnDockEvent", &C::OnUnDock).Unpublished(),
    };
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl()
{
    while (!controls_.empty())
        controls_.back()->SetParent(nullptr);
}

void TWinControl::SetCtl3D(bool v)
{
    if (v == ctl3D_)
        return;
    ctl3D_ = v;
    Invalidate();
}

void TWinControl::GetChildren(std::vector<TComponent*>& children) const
{
    const TComponent* root = Owner() ? Owner() : this;
    for (TControl* c : controls_)
        if (c->Owner() == root || c->Owner() == this)
            children.push_back(c);
}

TComponent* TWinControl::GetChildOwner()
{
    return nullptr; // the reader's root
}

} // namespace qb
