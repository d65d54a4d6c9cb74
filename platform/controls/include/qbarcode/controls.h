/// \file
/// The framework's control classes: TControl, TWinControl, TCustomPanel and
/// TForm.
///
/// A control paints into an off-screen raster of its own size (its Canvas),
/// usable from the moment it is created and resized with it, so a change can
/// repaint at once whether or not anything shows the control. A form paints
/// itself and its controls, in the order they were placed on it, into one
/// image on any canvas: a bitmap, or an SVG or PDF document. Each control is
/// painted straight onto the target canvas at its position (not copied from
/// its raster), so bars stay rectangles and captions stay text in vector
/// output, and raster output holds exactly the pixels the control's own
/// raster holds. A control paints its client area clipped to it and its
/// window border clipped to its bounds, on its raster and on a form alike:
/// nothing it draws shows beyond them.
#pragma once

#include "qbarcode/classes.h"
#include "qbarcode/graphics.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qb {

class TControl;
class TWinControl;

// ---------------------------------------------------------------------------
// Property types

/// TAlign, one row each: enumerator, value.
#define QB_ALIGNS(X) X(alNone, 0) X(alTop, 1) X(alBottom, 2) X(alLeft, 3) X(alRight, 4) X(alClient, 5) X(alCustom, 6)
/// Where a control docks in its parent (kept and streamed; no layout is done).
enum TAlign { QB_ALIGNS(QB_ENUMERATOR_ROW) };
/// TAlignment, one row each: enumerator, value.
#define QB_ALIGNMENTS(X) X(taLeftJustify, 0) X(taRightJustify, 1) X(taCenter, 2)
/// Horizontal alignment of a panel's caption and content.
enum TAlignment { QB_ALIGNMENTS(QB_ENUMERATOR_ROW) };
/// TAnchorKind, one row each: enumerator, value.
#define QB_ANCHOR_KINDS(X) X(akLeft, 0) X(akTop, 1) X(akRight, 2) X(akBottom, 3)
/// The parent edges a control keeps its distance to (kept and streamed).
enum TAnchorKind { QB_ANCHOR_KINDS(QB_ENUMERATOR_ROW) };
using TAnchors = TSet<TAnchorKind>; ///< a set of anchored edges
/// TBevelCut, one row each: enumerator, value.
#define QB_BEVEL_CUTS(X) X(bvNone, 0) X(bvLowered, 1) X(bvRaised, 2) X(bvSpace, 3)
/// A panel bevel: none, sunken, raised, or a blank band in the panel colour.
enum TBevelCut { QB_BEVEL_CUTS(QB_ENUMERATOR_ROW) };
/// TBorderStyle, one row each: enumerator, value.
#define QB_BORDER_STYLES(X) X(bsNone, 0) X(bsSingle, 1)
/// A window border: none, or a single border (sunken 2-pixel edge with Ctl3D,
/// else a 1-pixel frame).
enum TBorderStyle { QB_BORDER_STYLES(QB_ENUMERATOR_ROW) };
/// TBiDiMode, one row each: enumerator, value.
#define QB_BIDI_MODES(X)                                                                                               \
    X(bdLeftToRight, 0) X(bdRightToLeft, 1) X(bdRightToLeftNoAlign, 2) X(bdRightToLeftReadingOnly, 3)
/// Reading direction (kept and streamed).
enum TBiDiMode { QB_BIDI_MODES(QB_ENUMERATOR_ROW) };
/// TDragKind, one row each: enumerator, value.
#define QB_DRAG_KINDS(X) X(dkDrag, 0) X(dkDock, 1)
/// Dragging kind and mode (kept and streamed).
enum TDragKind { QB_DRAG_KINDS(QB_ENUMERATOR_ROW) };
/// TDragMode, one row each: enumerator, value.
#define QB_DRAG_MODES(X) X(dmManual, 0) X(dmAutomatic, 1)
/// Dragging starts on request or with the mouse.
enum TDragMode { QB_DRAG_MODES(QB_ENUMERATOR_ROW) };
/// THelpType, one row each: enumerator, value.
#define QB_HELP_TYPES(X) X(htKeyword, 0) X(htContext, 1)
/// How Help finds its topic (kept and streamed).
enum THelpType { QB_HELP_TYPES(QB_ENUMERATOR_ROW) };
/// \cond
QB_CHECK_ORDINALS(QB_ALIGNS);
QB_CHECK_ORDINALS(QB_ALIGNMENTS);
QB_CHECK_ORDINALS(QB_ANCHOR_KINDS);
QB_CHECK_ORDINALS(QB_BEVEL_CUTS);
QB_CHECK_ORDINALS(QB_BORDER_STYLES);
QB_CHECK_ORDINALS(QB_BIDI_MODES);
QB_CHECK_ORDINALS(QB_DRAG_KINDS);
QB_CHECK_ORDINALS(QB_DRAG_MODES);
QB_CHECK_ORDINALS(QB_HELP_TYPES);
/// \endcond
/// Mouse buttons and shift keys of mouse events.
enum TMouseButton { mbLeft, mbRight, mbMiddle };
/// A shift key or mouse button held during a mouse event.
enum TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateItem>; ///< the keys and buttons held

/// A mouse cursor number.
using TCursor = int;
constexpr TCursor crDefault = 0; ///< the default cursor
constexpr TCursor crDrag = -12;  ///< the dragging cursor

/// Traits of a control class; descendants add bits in their constructors.
enum TControlStyleItem {
    csAcceptsControls,
    csCaptureMouse,
    csDesignInteractive,
    csClickEvents,
    csFramed,
    csSetCaption,
    csOpaque,
    csDoubleClicks,
    csFixedWidth,
    csFixedHeight,
    csNoDesignVisible,
    csReplicatable,
    csNoStdEvents,
    csDisplayDragImage,
    csReflector,
    csActionClient,
    csMenuEvents,
};
using TControlStyle = TSet<TControlStyleItem>; ///< the traits of a control

/// \name Event types
/// Only OnClick and OnResize are ever fired here (by Click and by a change of
/// size); the others are kept and streamed for the application.
///@{

/// The signature of a control event: the sender first, then what the event
/// reports (button, shift state, position, sizes, the dragged object...).
using TMouseEvent = TEvent<TObject*, TMouseButton, TShiftState, int, int>;
using TMouseMoveEvent = TEvent<TObject*, TShiftState, int, int>;
using TCanResizeEvent = TEvent<TObject*, int&, int&, bool&>;
using TConstrainedResizeEvent = TEvent<TObject*, int&, int&, int&, int&>;
using TContextPopupEvent = TEvent<TObject*, TPoint, bool&>;
using TDragDropEvent = TEvent<TObject*, TObject*, int, int>;
using TDragOverEvent = TEvent<TObject*, TObject*, int, int, bool&>;
using TEndDragEvent = TEvent<TObject*, TObject*, int, int>;
using TStartDragEvent = TEvent<TObject*, TObject*&>;
using TDockDropEvent = TEvent<TObject*, TObject*, int, int>;
using TDockOverEvent = TEvent<TObject*, TObject*, int, int, bool&>;
using TStartDockEvent = TEvent<TObject*, TObject*&>;
using TGetSiteInfoEvent = TEvent<TObject*, TControl*, TRect&, TPoint, bool&>;
using TUnDockEvent = TEvent<TObject*, TControl*, TWinControl*, bool&>;
///@}

constexpr std::uint32_t WM_PAINT = 0x000F;                ///< Perform: paint the control into its canvas
constexpr std::uint32_t CM_BASE = 0xB000;                 ///< the first of the control messages
constexpr std::uint32_t CM_ENABLEDCHANGED = CM_BASE + 0;  ///< sent to a control after Enabled changed
constexpr std::uint32_t CM_VISIBLECHANGED = CM_BASE + 11; ///< sent to a control after Visible changed
/// Asks a data-aware control for its data link (the answer is in Result).
constexpr std::uint32_t CM_GETDATALINK = CM_BASE + 45;

/// Largest width or height of a control, in pixels.
constexpr int MaxControlSize = 32767;
/// Largest area of a control's raster, in pixels (256 MB of image).
constexpr std::int64_t MaxControlArea = std::int64_t{1} << 26;

/// The size limits of a control; 0 means no limit. Streams as
/// Constraints.MaxHeight and so on.
class TSizeConstraints : public TPersistent {
    QB_CLASS(TSizeConstraints, TPersistent)
    int MaxHeight() const { return maxHeight_; }
    int MaxWidth() const { return maxWidth_; }
    int MinHeight() const { return minHeight_; }
    int MinWidth() const { return minWidth_; }
    /// Setters ignore negative values; a change re-applies the limits to the control.
    void SetMaxHeight(int v) { Change(maxHeight_, v); }
    void SetMaxWidth(int v) { Change(maxWidth_, v); }
    void SetMinHeight(int v) { Change(minHeight_, v); }
    void SetMinWidth(int v) { Change(minWidth_, v); }
    /// Copies the four limits from another TSizeConstraints.
    void Assign(const TPersistent* source) override;
    /// A width or height brought within the limits.
    int ConstrainWidth(int w) const;
    int ConstrainHeight(int h) const;

private:
    friend class TControl;
    void Change(int& field, int v);
    TControl* control_ = nullptr;
    int maxHeight_ = 0, maxWidth_ = 0, minHeight_ = 0, minWidth_ = 0;
};

/// A minimal pop-up menu component, the type of a control's PopupMenu.
class TPopupMenu : public TComponent {
    QB_CLASS(TPopupMenu, TComponent)
    /// A component owned by owner (may be null).
    using TComponent::TComponent;
};

// ---------------------------------------------------------------------------
// TControl

/// A visual control: position and size within its parent, visibility, font
/// and colour, events, numbered messages, and an off-screen raster canvas.
///
/// Painting: Paint draws the client area on Canvas() with ClientOrigin() as
/// the client's top-left corner, clipped to the client area (Canvas()'s
/// ClipRect). The control's own raster is repainted by
/// Repaint (and at once by Invalidate, or after the paint under way when one
/// is running, or by Loaded when the control is being read from a form file).
class TControl : public TComponent {
    QB_CLASS(TControl, TComponent)
    /// A 185 x 41 control at (0, 0) with a raster of that size.
    explicit TControl(TComponent* owner);
    /// Leaves the parent; the owner frees what it owns.
    ~TControl() override;

    // Position and size; the setters repaint when the size changes.
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
    void SetTop(int v) { SetBounds(left_, v, width_, height_); }
    void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
    void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
    /// Moves and resizes at once. The size is brought within Constraints; a
    /// width or height outside 0..MaxControlSize, or an area over
    /// MaxControlArea, raises Exception and changes nothing. A new size
    /// resizes the raster, fires OnResize and repaints.
    virtual void SetBounds(int left, int top, int width, int height);
    /// The width of the window border on each side (0 without a border).
    virtual int BorderExtent() const { return 0; }
    /// The client area's size: the outer size less the window border.
    int ClientWidth() const;
    int ClientHeight() const;
    /// (0, 0, ClientWidth, ClientHeight).
    TRect ClientRect() const { return {0, 0, ClientWidth(), ClientHeight()}; }

    bool Visible() const { return visible_; }
    virtual void SetVisible(bool v);
    bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool v);
    TColor Color() const { return color_; }
    /// Sets the background colour and repaints.
    virtual void SetColor(TColor v);
    /// The control's font (owned). Changing its fields does not repaint by
    /// itself; SetFont does.
    TFont* Font() const { return font_.get(); }
    /// Copies a font's properties into Font and repaints.
    void SetFont(const TFont* font);
    TSizeConstraints* Constraints() const { return constraints_.get(); }
    void SetConstraints(const TSizeConstraints* v) { constraints_->Assign(v); }
    /// The control-style set of the class.
    TControlStyle ControlStyle() const { return controlStyle_; }
    void SetControlStyle(TControlStyle v) { controlStyle_ = v; }

    /// The window control this one is placed on, or nullptr.
    TWinControl* Parent() const { return parent_; }
    /// Moves the control to another parent (nullptr: none), at the end of its
    /// list of controls.
    virtual void SetParent(TWinControl* parent);
    /// A control read nested inside a window control is placed on it.
    void SetParentComponent(TComponent* parent) override;

    /// Sends a numbered message through WndProc and returns its Result.
    std::intptr_t Perform(std::uint32_t msg, std::intptr_t wparam = 0, std::intptr_t lparam = 0);
    /// Handles a message: WM_PAINT repaints; anything else goes to Dispatch.
    virtual void WndProc(TMessage& message);

    /// The canvas being painted: the control's raster, or the target canvas
    /// while PaintTo runs.
    TCanvas& Canvas();
    /// Where the client area's (0, 0) lies on Canvas().
    TPoint ClientOrigin() const { return origin_; }
    /// The control's raster (Width x Height, as last painted).
    const TBitmap& Image() const { return *raster_; }

    /// Asks for a repaint of the raster: at once, or after the paint under
    /// way, or (while loading) in Loaded.
    void Invalidate();
    /// Repaints the raster now: client area, then window border.
    void Repaint();
    /// Paints the control with its top-left corner at (x, y) on another
    /// canvas, within its bounds there (and the canvas's clip), leaving its
    /// own raster alone.
    virtual void PaintTo(TCanvas& canvas, int x, int y);

    /// From another control: takes nothing and returns normally, so that a
    /// descendant's Assign can copy what it defines after calling this one.
    /// Other sources raise as TPersistent::Assign does.
    void Assign(const TPersistent* source) override;

    /// Fires OnClick.
    virtual void Click();
    /// Clears the loading state and repaints.
    void Loaded() override;

    // Properties that only keep a value (streamed with their defaults).
    TAlign Align = alNone;
    TAnchors Anchors{akLeft, akTop};
    bool AutoSize = false;
    TBiDiMode BiDiMode = bdLeftToRight;
    TCursor Cursor = crDefault;
    TCursor DragCursor = crDrag;
    TDragKind DragKind = dkDrag;
    TDragMode DragMode = dmManual;
    std::string Hint;
    int HelpContext = 0;
    std::string HelpKeyword;
    THelpType HelpType = htContext;
    bool ParentBiDiMode = true;
    bool ParentColor = false;
    bool ParentFont = true;
    bool ParentShowHint = true;
    bool ShowHint = false;

    TPopupMenu* PopupMenu() const { return popupMenu_; }
    /// Sets the menu and asks to be told when it is freed.
    void SetPopupMenu(TPopupMenu* menu);
    void Notification(TComponent* component, TOperation operation) override;

    TCanResizeEvent OnCanResize;
    TNotifyEvent OnClick;
    TConstrainedResizeEvent OnConstrainedResize;
    TContextPopupEvent OnContextPopup;
    TNotifyEvent OnDblClick;
    TDragDropEvent OnDragDrop;
    TDragOverEvent OnDragOver;
    TEndDragEvent OnEndDock;
    TEndDragEvent OnEndDrag;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnResize;
    TStartDockEvent OnStartDock;
    TStartDragEvent OnStartDrag;

protected:
    /// Paints the client area on Canvas() at ClientOrigin(); the base does nothing.
    virtual void Paint();
    /// Paints the window border around the control at (x, y) on canvas; the
    /// base has none.
    virtual void PaintBorder(TCanvas& canvas, int x, int y);
    /// Calls Paint at once on the raster, then repaints again if a repaint
    /// was asked for meanwhile (a resize from inside Paint).
    void PaintNow();

private:
    void PaintRaster();
    /// Paint, clipped to the client area at origin_.
    void PaintClient();

    int left_ = 0, top_ = 0, width_ = 185, height_ = 41;
    bool visible_ = true;
    bool enabled_ = true;
    TColor color_ = clBtnFace;
    std::unique_ptr<TFont> font_;
    std::unique_ptr<TSizeConstraints> constraints_;
    TControlStyle controlStyle_{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
    TWinControl* parent_ = nullptr;
    TPopupMenu* popupMenu_ = nullptr;

    std::unique_ptr<TBitmap> raster_;
    TCanvas* paintCanvas_ = nullptr; // the PaintTo target, else null
    TPoint origin_;
    int paintDepth_ = 0;
    bool invalid_ = false;
};

// ---------------------------------------------------------------------------
// TWinControl

/// A control that can hold other controls.
class TWinControl : public TControl {
    QB_CLASS(TWinControl, TControl)
    explicit TWinControl(TComponent* owner);
    /// Takes its child controls off it first.
    ~TWinControl() override;

    /// The controls placed on this one, in the order they were placed.
    const std::vector<TControl*>& Controls() const { return controls_; }
    int ControlCount() const { return static_cast<int>(controls_.size()); }

    /// A 3-D look for the window border (changes its width).
    bool Ctl3D() const { return ctl3D_; }
    void SetCtl3D(bool v);

    /// Written nested in a form file: the controls placed on this one that
    /// its owner tree holds.
    void GetChildren(std::vector<TComponent*>& children) const override;
    /// Components read nested inside this control belong to the component
    /// the reader builds the file from (the form, or this control when it is
    /// the file's root, whoever owns it): nullptr.
    TComponent* GetChildOwner() override;

    bool ParentCtl3D = true;
    bool UseDockManager = true;
    bool DockSite = false;
    int TabOrder = -1;
    bool TabStop = false;

    TDockDropEvent OnDockDrop;
    TDockOverEvent OnDockOver;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TGetSiteInfoEvent OnGetSiteInfo;
    TUnDockEvent OnUnDock;

private:
    friend class TControl;
    std::vector<TControl*> controls_;
    bool ctl3D_ = true;
};

// ---------------------------------------------------------------------------
// TCustomPanel

/// A panel: background, an outer bevel, a border band, an inner bevel and a
/// caption, all painted by Paint. Its properties are declared here and
/// published by descendants.
///
/// Paint, with r the client rectangle (right and bottom exclusive):
///  1. BevelOuter (unless bvNone): BevelWidth rings, each one pixel wide
///     from the outside in; r shrinks by one pixel per ring.
///  2. BorderWidth rings in Color.
///  3. BevelInner (unless bvNone) as step 1.
///  4. The rest of r filled with Color.
///  5. Caption (when not empty) in Font, clear background, vertically
///     centred in r and placed by Alignment (left at r.Left, right ending
///     at r.Right, or centred).
/// A ring's top row and left column take the top colour and its right
/// column and bottom row the bottom colour, the top-right and bottom-left
/// corner pixels included. Raised: top clBtnHighlight, bottom clBtnShadow;
/// lowered: the reverse; bvSpace: both in Color.
///
/// The window border (BorderStyle bsSingle) lies outside the client area:
/// with Ctl3D two rings (outer clBtnShadow / clBtnHighlight, inner
/// cl3DDkShadow / cl3DLight, as top / bottom colours), without Ctl3D one
/// clWindowFrame ring. It is painted after the client area.
class TCustomPanel : public TWinControl {
    QB_CLASS(TCustomPanel, TWinControl)
    /// A 185 x 41 panel: raised outer bevel of 1, centred, clBtnFace.
    explicit TCustomPanel(TComponent* owner);

    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment v);
    TBevelCut BevelInner() const { return bevelInner_; }
    void SetBevelInner(TBevelCut v);
    TBevelCut BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TBevelCut v);
    /// 1 to MaxControlSize; other values are ignored.
    int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int v);
    /// 0 to MaxControlSize; other values are ignored.
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int v);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle v);
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& v);
    int BorderExtent() const override;

    bool FullRepaint = true;
    bool Locked = false;

protected:
    void Paint() override;
    /// Paint, leaving the background alone inside *covered (canvas
    /// coordinates) when a descendant is about to paint all of it over.
    void PaintPanel(const TRect* covered);
    void PaintBorder(TCanvas& canvas, int x, int y) override;

private:
    TAlignment alignment_ = taCenter;
    TBevelCut bevelInner_ = bvNone;
    TBevelCut bevelOuter_ = bvRaised;
    int bevelWidth_ = 1;
    int borderWidth_ = 0;
    TBorderStyle borderStyle_ = bsNone;
    std::string caption_;
};

/// A panel that publishes its properties.
class TPanel : public TCustomPanel {
    QB_CLASS(TPanel, TCustomPanel)
    /// A panel owned by owner (may be null).
    using TCustomPanel::TCustomPanel;
};

// ---------------------------------------------------------------------------
// TForm

/// A form: the root of a form file and the surface its controls are shown
/// on. Paint fills the client area with Color and paints every visible
/// control placed on the form, in the order they were placed, at its
/// position.
class TForm : public TWinControl {
    QB_CLASS(TForm, TWinControl)
    /// A 320 x 240 form in clBtnFace.
    explicit TForm(TComponent* owner);

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& v) { caption_ = v; }

    /// Components it owns that are not controls, then its controls.
    void GetChildren(std::vector<TComponent*>& children) const override;
    /// Components read nested inside a form belong to it.
    TComponent* GetChildOwner() override { return this; }

protected:
    void Paint() override;

private:
    std::string caption_;
};

/// Registers TForm, TPanel and TPopupMenu for form files.
void RegisterControlClasses();

} // namespace qb
