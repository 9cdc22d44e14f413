// The control tree: TControl (bounds, alignment, anchors, visibility, mouse), TGraphicControl
// (no window: painted by its parent into the parent's canvas, fed the mouse by hit test),
// TWinControl (owns one QWidget, its child controls, tab order and focus) and TCustomControl
// (a windowed control that paints itself through a TCanvas).
//
// Geometry lives here, not in Qt: our alignment and anchors set every QWidget's geometry, in
// device pixels (the program turns Qt's high-DPI scaling off).
#pragma once

#include <memory>
#include <vector>

#include "imaging/canvas.h"
#include "platform/user/user.h"
#include "ui/component.h"
#include "ui/paint_buffer.h"
#include "ui/types.h"

class QWidget;
class QEvent;
class QMouseEvent;
class QWheelEvent;
class QKeyEvent;
class TWinControl;
class TPopupMenu;
class FrameOverlay;

namespace ui::detail {
class ControlWidget;
class EventRelay;
}  // namespace ui::detail

// The control follows its font through the drawing tool's owner link, so the font's OnChange
// stays the program's own.
class TControl : public TComponent, private TGraphicsObjectOwner {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;
  const char* ClassName() const override { return "TControl"; }

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  win::RECT BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  // Negative sizes are taken as 0.
  virtual void SetBounds(int left, int top, int width, int height);
  virtual int ClientWidth() const { return width_; }
  virtual int ClientHeight() const { return height_; }
  void SetClientWidth(int v) { SetWidth(width_ - ClientWidth() + v); }
  void SetClientHeight(int v) { SetHeight(height_ - ClientHeight() + v); }
  win::RECT ClientRect() const { return Rect(0, 0, ClientWidth(), ClientHeight()); }

  TAlign Align() const { return align_; }
  void SetAlign(TAlign value);
  TAnchors Anchors() const { return anchors_; }
  void SetAnchors(TAnchors value);

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible here and in every parent up to a top-level window.
  bool Showing() const;
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool value);

  TColor Color() const { return color_; }
  void SetColor(TColor value);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool value);
  TFont& Font() { return font_; }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool value);
  const AnsiString& Caption() const { return caption_; }
  void SetCaption(const AnsiString& value);
  const AnsiString& Text() const { return Caption(); }
  void SetText(const AnsiString& value) { SetCaption(value); }
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor value);
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* value) { popupMenu_ = value; }
  const AnsiString& Hint() const { return hint_; }
  void SetHint(const AnsiString& value);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool value);
  bool Transparent() const { return transparent_; }

  // Screen and client coordinates (of this control's client area).
  win::POINT ClientToScreen(win::POINT p) const;
  win::POINT ScreenToClient(win::POINT p) const;
  // Origin of the client area in the nearest window's client coordinates.
  win::POINT OriginInWindow() const;

  // Repaint requests: Invalidate marks for the next paint, Update paints what is marked now,
  // Repaint does both.
  virtual void Invalidate();
  virtual void Update();
  void Repaint() {
    Invalidate();
    Update();
  }

  bool MouseCapture() const;
  void SetMouseCapture(bool value);
  bool MouseInside() const { return mouseInside_; }

  // Raises the control above its siblings (z-order) / puts it below them.
  void BringToFront();
  void SendToBack();

  // The control's own reactions; the message routing of the parent calls them.
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void Click();
  virtual void DblClick();
  virtual void MouseEnter();
  virtual void MouseLeave();
  // True when a handler took the wheel.
  virtual bool MouseWheel(TShiftState shift, int wheelDelta, win::POINT mousePos);
  // A right click asks for the context menu at a screen position; true when one was shown.
  virtual bool ContextPopup(win::POINT screenPos);
  // The capture is being taken away (a failure display, another window grabbing the mouse).
  virtual void CancelMode();
  // Paints on a canvas whose origin is the control's top-left (graphic controls).
  virtual void Paint(TCanvas& canvas) { (void)canvas; }

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TMouseWheelEvent OnMouseWheel;
  TNotifyEvent OnResize;

 protected:
  friend class TWinControl;
  // Applies the parent's new font or colour where this control follows it.
  virtual void ParentFontChanged();
  virtual void ParentColorChanged();
  virtual void FontChanged();
  virtual void ColorChanged() { Invalidate(); }
  virtual void TextChanged() { Invalidate(); }
  virtual void CursorChanged() {}
  virtual void VisibleChanging() {}
  // Bounds changed: windowed controls move their widget and realign their children.
  virtual void BoundsChanged(bool sized);
  void SetTransparentFlag(bool value);
  void Notification(TComponent* component) override;
  // Click is raised when the left button goes up over the control after going down on it.
  bool clickPending_ = false;

 private:
  void UpdateAnchorRules();
  void ToolChanged(TGraphicsObject& tool) override;

  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = TAlign::alNone;
  TAnchors anchors_ = kDefaultAnchors;
  // Distances to the parent's right and bottom edges that the right and bottom anchors keep,
  // and the parent's size they were taken at.
  int anchorLeft_ = 0, anchorTop_ = 0, anchorWidth_ = 0, anchorHeight_ = 0;
  int anchorRight_ = 0, anchorBottom_ = 0;
  int anchorParentWidth_ = 0, anchorParentHeight_ = 0;
  bool anchorRulesValid_ = false;
  bool visible_ = true;
  bool enabled_ = true;
  TColor color_ = clBtnFace;
  bool parentColor_ = false;
  TFont font_;
  bool parentFont_ = true;
  bool changingFontFromParent_ = false;
  AnsiString caption_;
  TCursor cursor_ = crDefault;
  TPopupMenu* popupMenu_ = nullptr;
  AnsiString hint_;
  bool showHint_ = false;
  bool transparent_ = false;
  bool mouseInside_ = false;
};

class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* owner) : TControl(owner) {}
  const char* ClassName() const override { return "TGraphicControl"; }
};

class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* owner);
  // Destroys the child controls first, then the window.
  ~TWinControl() override;
  const char* ClassName() const override { return "TWinControl"; }

  // The control's window handle, made with its widget.
  win::HWND Handle();
  bool HandleAllocated() const { return widget_ != nullptr; }
  // The widget, made on first use.
  QWidget* Widget();
  // Where child widgets go (a scroll box's viewport; the widget itself otherwise).
  virtual QWidget* ClientWidget();

  int ControlCount() const { return int(controls_.size()); }
  // In z-order, bottom first.
  TControl* Controls(int index) const;
  // The topmost visible, enabled child at a client position (graphic or windowed), or null.
  TControl* ControlAtPos(win::POINT p, bool allowDisabled = false) const;

  int TabOrder() const;
  void SetTabOrder(int value);
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool value);
  // Windowed children in tab order.
  std::vector<TWinControl*> TabList() const;
  bool CanFocus() const;
  bool Focused() const;
  // EInvalidOperation when the control cannot take the focus.
  virtual void SetFocus();

  // Lays the children out again: alignment (top, bottom, left, right, client), then anchors.
  void Realign();
  void DisableAlign() { ++alignDisabled_; }
  void EnableAlign();
  // The rectangle aligned children share (the client rect less borders and bevels).
  virtual void AdjustClientRect(win::RECT& rect) const { (void)rect; }
  // Moves every child by (dx, dy) without touching their anchors (scrolling).
  void ScrollBy(int dx, int dy);

  void Invalidate() override;
  void Update() override;
  void SetBounds(int left, int top, int width, int height) override;
  void SetVisible(bool value) override;
  void SetEnabled(bool value) override;
  bool ContextPopup(win::POINT screenPos) override;
  void CancelMode() override;

  // Messages sent or posted to Handle(); the base answers WM_CANCELMODE and WM_TIMER.
  virtual win::LRESULT WndProc(win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
  // Paints the whole surface of a custom-drawn window into its buffer and shows it.
  void PaintWindow();
  // The custom-drawn surface, sized to the control (made on first use; wrapped Qt widgets
  // have none and answer null).
  PaintBuffer* Buffer();
  // Paints the graphic children that intersect rect onto canvas (origin: this client area).
  void PaintControls(TCanvas& canvas);
  // Paints this control's own surface and its graphic children into dc at (x, y): what a
  // transparent child needs below it.
  void PaintTo(win::HDC dc, int x, int y);

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  // The control gained or lost the focus; the base raises OnEnter / OnExit.
  virtual void DoEnter() {
    if (OnEnter) OnEnter(this);
  }
  virtual void DoExit() {
    if (OnExit) OnExit(this);
  }
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;

  // A wrapped widget keeps a border of width pixels; the painter draws the control's own
  // frame over it (framed controls). Needs the widget; replaces an earlier painter.
  void SetFramePainter(int width, std::function<void(TCanvas&, int, int)> painter);
  // Paints the frame again (a hot frame changes colour).
  void UpdateFrame();

  // Entry points of the widget layer (ui/control_widget.cpp).
  void HandleMouseEvent(QMouseEvent& event);
  void HandleWheelEvent(QWheelEvent& event);
  void HandleLeave();
  void HandleEnter();
  bool HandleKeyEvent(QKeyEvent& event);

 protected:
  friend class TControl;
  // The widget class a control shows; the base makes a custom-drawn ControlWidget.
  virtual QWidget* CreateWidget(QWidget* parentWidget);
  // The widget and its children's widgets exist now.
  virtual void HandleCreated() {}
  // Custom-drawn windows paint their own surface here, before their graphic children: the
  // base fills it with Color, or for a transparent control starts from the parent's pixels.
  virtual void PaintSurface(TCanvas& canvas);
  // A wrapped Qt widget: whether it paints itself (no buffer) and feeds us its input through
  // a relay.
  bool Wrapped() const { return wrapped_; }
  void SetWrapped(bool value) { wrapped_ = value; }
  // Copies our font, colours and enabled state into the widget.
  virtual void SyncWidget();
  virtual void KeyDown(std::uint16_t& key, TShiftState shift);
  virtual void KeyUp(std::uint16_t& key, TShiftState shift);
  virtual void KeyPress(char& key);
  // The graphic child that took the mouse with a button press, or this control itself.
  TControl* MouseTarget(win::POINT p);
  void BoundsChanged(bool sized) override;
  void FontChanged() override;
  void ColorChanged() override;
  void CursorChanged() override;
  // The child's (or this control's) cursor at a client position.
  void UpdateCursorAt(win::POINT p);
  // Mouse enter and leave of the graphic children at a client position.
  void UpdateHover(win::POINT p);
  void AlignControls();
  // A child moved or changed size by other means than the alignment.
  virtual void ChildMoved(TControl* child) { (void)child; }

 private:
  friend class ui::detail::ControlWidget;
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  void CreateHandle();
  void PlaceWidget();

  std::vector<TControl*> controls_;  // z-order, bottom first
  std::vector<TWinControl*> tabList_;
  QWidget* widget_ = nullptr;
  ui::detail::EventRelay* relay_ = nullptr;
  FrameOverlay* frame_ = nullptr;
  win::HWND handle_ = nullptr;
  std::unique_ptr<PaintBuffer> buffer_;
  TControl* captureControl_ = nullptr;
  TControl* hoverControl_ = nullptr;
  int alignDisabled_ = 0;
  bool aligning_ = false;
  bool tabStop_ = false;
  bool wrapped_ = false;
  bool destroyingChildren_ = false;
};

class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* owner) : TWinControl(owner) {}
  const char* ClassName() const override { return "TCustomControl"; }
  // The canvas over the paint buffer.
  TCanvas& Canvas();

 protected:
  // Paints the control through Canvas(); its origin is the control's top-left.
  virtual void Paint() {}
  void PaintSurface(TCanvas& canvas) override;
};
