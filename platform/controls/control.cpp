// TControl and TWinControl: geometry, the off-screen raster and the paint
// cycle, parents and children, messages, and their property tables.
#include "qbarcode/controls.h"

#include <algorithm>
#include <climits>

namespace qb {

namespace {

const TEnumInfo kAlign = QB_ENUM_INFO(TAlign, QB_ALIGNS);
const TEnumInfo kAnchorKind = QB_ENUM_INFO(TAnchorKind, QB_ANCHOR_KINDS);
const TEnumInfo kBiDiMode = QB_ENUM_INFO(TBiDiMode, QB_BIDI_MODES);
const TEnumInfo kDragKind = QB_ENUM_INFO(TDragKind, QB_DRAG_KINDS);
const TEnumInfo kDragMode = QB_ENUM_INFO(TDragMode, QB_DRAG_MODES);
const TEnumInfo kHelpType = QB_ENUM_INFO(THelpType, QB_HELP_TYPES);

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
        FieldProp<&C::Cursor>("Cursor", "TCursor", nullptr, crDefault),
        FieldProp<&C::Hint>("Hint", "String", nullptr, ""),
        FieldProp<&C::HelpType>("HelpType", kHelpType, htContext),
        FieldProp<&C::HelpKeyword>("HelpKeyword", "String", nullptr, ""),
        FieldProp<&C::HelpContext>("HelpContext", "THelpContext", nullptr, 0),
        // Declared for descendants to publish.
        FieldProp<&C::Align>("Align", kAlign, alNone).Unpublished(),
        FieldProp<&C::Anchors>("Anchors", "TAnchors", &kAnchorKind, TAnchors{akLeft, akTop}).Unpublished(),
        FieldProp<&C::AutoSize>("AutoSize", "Boolean", nullptr, false).Unpublished(),
        FieldProp<&C::BiDiMode>("BiDiMode", kBiDiMode, bdLeftToRight).Unpublished(),
        QB_PROP_COLOR(C, Color, Color, SetColor, clBtnFace).Unpublished(),
        QB_PROP_OBJECT(C, Constraints, Constraints, TSizeConstraints).Unpublished(),
        FieldProp<&C::DragCursor>("DragCursor", "TCursor", nullptr, crDrag).Unpublished(),
        FieldProp<&C::DragKind>("DragKind", kDragKind, dkDrag).Unpublished(),
        FieldProp<&C::DragMode>("DragMode", kDragMode, dmManual).Unpublished(),
        QB_PROP_BOOL(C, Enabled, Enabled, SetEnabled, true).Unpublished(),
        QB_PROP_OBJECT(C, Font, Font, TFont).Unpublished(),
        FieldProp<&C::ParentBiDiMode>("ParentBiDiMode", "Boolean", nullptr, true).Unpublished(),
        FieldProp<&C::ParentColor>("ParentColor", "Boolean", nullptr, false).Unpublished(),
        FieldProp<&C::ParentFont>("ParentFont", "Boolean", nullptr, true).Unpublished(),
        FieldProp<&C::ParentShowHint>("ParentShowHint", "Boolean", nullptr, true).Unpublished(),
        QB_PROP_COMPONENT(C, PopupMenu, PopupMenu, SetPopupMenu, TPopupMenu).Unpublished(),
        FieldProp<&C::ShowHint>("ShowHint", "Boolean", nullptr, false).Unpublished(),
        QB_PROP_BOOL(C, Visible, Visible, SetVisible, true).Unpublished(),
        FieldProp<&C::OnCanResize>("OnCanResize", "TCanResizeEvent").Unpublished(),
        FieldProp<&C::OnClick>("OnClick", "TNotifyEvent").Unpublished(),
        FieldProp<&C::OnConstrainedResize>("OnConstrainedResize", "TConstrainedResizeEvent").Unpublished(),
        FieldProp<&C::OnContextPopup>("OnContextPopup", "TContextPopupEvent").Unpublished(),
        FieldProp<&C::OnDblClick>("OnDblClick", "TNotifyEvent").Unpublished(),
        FieldProp<&C::OnDragDrop>("OnDragDrop", "TDragDropEvent").Unpublished(),
        FieldProp<&C::OnDragOver>("OnDragOver", "TDragOverEvent").Unpublished(),
        FieldProp<&C::OnEndDock>("OnEndDock", "TEndDragEvent").Unpublished(),
        FieldProp<&C::OnEndDrag>("OnEndDrag", "TEndDragEvent").Unpublished(),
        FieldProp<&C::OnMouseDown>("OnMouseDown", "TMouseEvent").Unpublished(),
        FieldProp<&C::OnMouseMove>("OnMouseMove", "TMouseMoveEvent").Unpublished(),
        FieldProp<&C::OnMouseUp>("OnMouseUp", "TMouseEvent").Unpublished(),
        FieldProp<&C::OnResize>("OnResize", "TNotifyEvent").Unpublished(),
        FieldProp<&C::OnStartDock>("OnStartDock", "TStartDockEvent").Unpublished(),
        FieldProp<&C::OnStartDrag>("OnStartDrag", "TStartDragEvent").Unpublished(),
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
        FieldProp<&C::ParentCtl3D>("ParentCtl3D", "Boolean", nullptr, true).Unpublished(),
        FieldProp<&C::UseDockManager>("UseDockManager", "Boolean", nullptr, true).Unpublished(),
        FieldProp<&C::DockSite>("DockSite", "Boolean", nullptr, false).Unpublished(),
        FieldProp<&C::TabOrder>("TabOrder", "TTabOrder", nullptr, -1).Unpublished(),
        FieldProp<&C::TabStop>("TabStop", "Boolean", nullptr, false).Unpublished(),
        FieldProp<&C::OnDockDrop>("OnDockDrop", "TDockDropEvent").Unpublished(),
        FieldProp<&C::OnDockOver>("OnDockOver", "TDockOverEvent").Unpublished(),
        FieldProp<&C::OnEnter>("OnEnter", "TNotifyEvent").Unpublished(),
        FieldProp<&C::OnExit>("OnExit", "TNotifyEvent").Unpublished(),
        FieldProp<&C::OnGetSiteInfo>("OnGetSiteInfo", "TGetSiteInfoEvent").Unpublished(),
        FieldProp<&C::OnUnDock>("OnUnDock", "TUnDockEvent").Unpublished(),
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
