#include "ui/controls.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>

#include "runtime/exceptions.h"
#include "ui/bridge.h"
#include "ui/control_widget.h"
#include "ui/drop_target.h"
#include "ui/frame_overlay.h"
#include "ui/guard.h"
#include "ui/menus.h"
#include "ui/strings.h"

using ui::detail::ControlWidget;
using ui::detail::EventRelay;

// --- TControl ----------------------------------------------------------------------------

TControl::TControl(TComponent* owner) : TComponent(owner) {
  font_.SetOwner(this, nullptr);
}

void TControl::ToolChanged(TGraphicsObject&) {
  FontChanged();
}

TControl::~TControl() {
  if (parent_ != nullptr) parent_->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent == this) throw EInvalidOperation("A control cannot be its own parent");
  if (parent_ != nullptr) parent_->RemoveControl(this);
  if (parent != nullptr) parent->InsertControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  const bool sized = width != width_ || height != height_;
  if (parent_ != nullptr && !Transparent() && Showing()) parent_->Invalidate();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (parent_ == nullptr || !parent_->aligning_) UpdateAnchorRules();
  BoundsChanged(sized);
  if (parent_ != nullptr && !parent_->aligning_) {
    if (align_ != TAlign::alNone) parent_->Realign();
    parent_->ChildMoved(this);
  }
  Invalidate();
  if (sized && OnResize) OnResize(this);
}

void TControl::BoundsChanged(bool) {}

void TControl::UpdateAnchorRules() {
  if (parent_ == nullptr) {
    anchorRulesValid_ = false;
    return;
  }
  anchorParentWidth_ = parent_->ClientWidth();
  anchorParentHeight_ = parent_->ClientHeight();
  anchorLeft_ = left_;
  anchorTop_ = top_;
  anchorWidth_ = width_;
  anchorHeight_ = height_;
  anchorRight_ = anchorParentWidth_ - (left_ + width_);
  anchorBottom_ = anchorParentHeight_ - (top_ + height_);
  anchorRulesValid_ = true;
}

void TControl::SetAlign(TAlign value) {
  if (value == align_) return;
  align_ = value;
  if (parent_ != nullptr) parent_->Realign();
}

void TControl::SetAnchors(TAnchors value) {
  if (value == anchors_) return;
  anchors_ = value;
  UpdateAnchorRules();
}

bool TControl::Showing() const {
  for (const TControl* c = this; c != nullptr; c = c->parent_)
    if (!c->visible_) return false;
  return true;
}

void TControl::SetVisible(bool value) {
  if (value == visible_) return;
  VisibleChanging();
  visible_ = value;
  if (parent_ != nullptr) {
    parent_->Invalidate();
    parent_->Realign();
  }
}

void TControl::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  Invalidate();
}

void TControl::SetColor(TColor value) {
  parentColor_ = false;
  if (value == color_) return;
  color_ = value;
  ColorChanged();
}

void TControl::SetParentColor(bool value) {
  if (value == parentColor_) return;
  parentColor_ = value;
  if (value && parent_ != nullptr) ParentColorChanged();
}

void TControl::ParentColorChanged() {
  if (!parentColor_ || parent_ == nullptr || parent_->Color() == color_) return;
  color_ = parent_->Color();
  ColorChanged();
}

void TControl::SetParentFont(bool value) {
  if (value == parentFont_) return;
  parentFont_ = value;
  if (value && parent_ != nullptr) ParentFontChanged();
}

void TControl::ParentFontChanged() {
  if (!parentFont_ || parent_ == nullptr) return;
  changingFontFromParent_ = true;
  font_.CopyFrom(&parent_->Font());
  FontChanged();
  changingFontFromParent_ = false;
}

void TControl::FontChanged() {
  // A font set on the control itself stops it following its parent.
  if (!changingFontFromParent_) parentFont_ = false;
  Invalidate();
}

void TControl::SetCaption(const AnsiString& value) {
  if (value == caption_) return;
  caption_ = value;
  TextChanged();
}

void TControl::SetCursor(TCursor value) {
  if (value == cursor_) return;
  cursor_ = value;
  CursorChanged();
}

void TControl::SetHint(const AnsiString& value) {
  hint_ = value;
}

void TControl::SetShowHint(bool value) {
  showHint_ = value;
}

void TControl::SetTransparentFlag(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Invalidate();
}

win::POINT TControl::OriginInWindow() const {
  win::POINT p{0, 0};
  const TControl* c = this;
  // A graphic control sits in its parent's client area.
  for (; c != nullptr && dynamic_cast<const TWinControl*>(c) == nullptr; c = c->parent_) {
    p.x += c->left_;
    p.y += c->top_;
  }
  return p;
}

win::POINT TControl::ClientToScreen(win::POINT p) const {
  const TControl* c = this;
  while (c != nullptr && dynamic_cast<const TWinControl*>(c) == nullptr) {
    p.x += c->left_;
    p.y += c->top_;
    c = c->parent_;
  }
  if (c == nullptr) return p;
  auto* w = const_cast<TWinControl*>(static_cast<const TWinControl*>(c));
  const QPoint g = w->ClientWidget()->mapToGlobal(QPoint(p.x, p.y));
  return {g.x(), g.y()};
}

win::POINT TControl::ScreenToClient(win::POINT p) const {
  const win::POINT origin = ClientToScreen({0, 0});
  return {p.x - origin.x, p.y - origin.y};
}

void TControl::Invalidate() {
  if (parent_ == nullptr || !visible_) return;
  parent_->Invalidate();
}

void TControl::Update() {
  if (parent_ != nullptr) parent_->Update();
}

bool TControl::MouseCapture() const {
  auto* self = dynamic_cast<const TWinControl*>(this);
  const TWinControl* host = self != nullptr ? self : parent_;
  return host != nullptr && host->captureControl_ == this && host->handle_ != nullptr &&
         win::GetCapture() == host->handle_;
}

void TControl::SetMouseCapture(bool value) {
  auto* self = dynamic_cast<TWinControl*>(this);
  TWinControl* host = self != nullptr ? self : parent_;
  if (host == nullptr) return;
  if (value) {
    host->captureControl_ = this;
    win::SetCapture(host->Handle());
  } else if (host->captureControl_ == this) {
    host->captureControl_ = nullptr;
    if (win::GetCapture() == host->handle_) win::ReleaseCapture();
  }
}

void TControl::BringToFront() {
  if (parent_ == nullptr) return;
  auto& list = parent_->controls_;
  list.erase(std::find(list.begin(), list.end(), this));
  list.push_back(this);
  if (auto* w = dynamic_cast<TWinControl*>(this); w != nullptr && w->widget_ != nullptr)
    w->widget_->raise();
  Invalidate();
}

void TControl::SendToBack() {
  if (parent_ == nullptr) return;
  auto& list = parent_->controls_;
  list.erase(std::find(list.begin(), list.end(), this));
  list.insert(list.begin(), this);
  if (auto* w = dynamic_cast<TWinControl*>(this); w != nullptr && w->widget_ != nullptr)
    w->widget_->lower();
  Invalidate();
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TControl::MouseEnter() {
  mouseInside_ = true;
  if (OnMouseEnter) OnMouseEnter(this);
}

void TControl::MouseLeave() {
  mouseInside_ = false;
  if (OnMouseLeave) OnMouseLeave(this);
}

bool TControl::MouseWheel(TShiftState shift, int wheelDelta, win::POINT mousePos) {
  bool handled = false;
  if (OnMouseWheel) OnMouseWheel(this, shift, wheelDelta, mousePos, handled);
  return handled;
}

bool TControl::ContextPopup(win::POINT screenPos) {
  // The nearest menu up the parent chain, as a right click over a child of a control with a
  // menu shows that menu.
  for (TControl* c = this; c != nullptr; c = c->parent_) {
    if (c->popupMenu_ != nullptr && c->popupMenu_->AutoPopup()) {
      c->popupMenu_->SetPopupComponent(this);
      c->popupMenu_->Popup(screenPos.x, screenPos.y);
      return true;
    }
  }
  return false;
}

void TControl::CancelMode() {
  clickPending_ = false;
  SetMouseCapture(false);
}

// --- TWinControl -------------------------------------------------------------------------

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  // From here on Qt's events (focus moving while widgets hide) must not reach us.
  if (relay_ != nullptr) {
    relay_->Detach();
    widget_->removeEventFilter(relay_);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(widget_))
      area->viewport()->removeEventFilter(relay_);
  }
  if (auto* cw = dynamic_cast<ControlWidget*>(widget_)) cw->Detach();
  destroyingChildren_ = true;
  while (!controls_.empty()) delete controls_.back();
  if (handle_ != nullptr) {
    if (win::GetCapture() == handle_) win::ReleaseCapture();
    win::SetWindowProc(handle_, nullptr);
    win::DestroyWindow(handle_);
  }
  if (parent_ != nullptr) parent_->RemoveControl(this);
  if (widget_ == nullptr) return;
  // No signal of the widget reaches this control any more (a list clearing itself as it goes).
  QObject::disconnect(widget_, nullptr, nullptr, nullptr);
  if (ui::GuardScope::Depth() == 0) {
    delete widget_;  // with it the relay, the frame overlay and the Qt children
    return;
  }
  // Destroyed from a call Qt is making into us (a button's click handler deleting the button):
  // that widget, or one inside it, is still running its event, so it goes once Qt is done.
  widget_->hide();
  widget_->setParent(nullptr);
  widget_->deleteLater();
}

TControl* TWinControl::Controls(int index) const {
  if (index < 0 || index >= ControlCount())
    throw EInvalidOperation(Format(ui::kListIndexError, index));
  return controls_[std::size_t(index)];
}

void TWinControl::InsertControl(TControl* control) {
  controls_.push_back(control);
  control->parent_ = this;
  if (auto* w = dynamic_cast<TWinControl*>(control)) {
    tabList_.push_back(w);
    if (w->widget_ != nullptr) {
      w->widget_->setParent(ClientWidget());
      w->PlaceWidget();
    } else if (widget_ != nullptr) {
      w->CreateHandle();
    }
  }
  control->UpdateAnchorRules();
  control->ParentFontChanged();
  control->ParentColorChanged();
  Realign();
  ChildMoved(control);
  control->Invalidate();
}

void TWinControl::RemoveControl(TControl* control) {
  auto it = std::find(controls_.begin(), controls_.end(), control);
  if (it == controls_.end()) return;
  if (!destroyingChildren_) control->Invalidate();
  controls_.erase(it);
  tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), control), tabList_.end());
  if (captureControl_ == control) {
    captureControl_ = nullptr;
    if (win::GetCapture() == handle_) win::ReleaseCapture();
  }
  if (hoverControl_ == control) hoverControl_ = nullptr;
  control->parent_ = nullptr;
  if (auto* w = dynamic_cast<TWinControl*>(control); w != nullptr && w->widget_ != nullptr) {
    w->widget_->hide();
    w->widget_->setParent(nullptr);
  }
  if (!destroyingChildren_) {
    Realign();
    ChildMoved(nullptr);
  }
}

void TControl::Notification(TComponent* component) {
  if (popupMenu_ == component) popupMenu_ = nullptr;
}

QWidget* TWinControl::Widget() {
  if (widget_ == nullptr) CreateHandle();
  return widget_;
}

QWidget* TWinControl::ClientWidget() {
  return Widget();
}

win::HWND TWinControl::Handle() {
  Widget();
  return handle_;
}

QWidget* TWinControl::CreateWidget(QWidget* parentWidget) {
  return new ControlWidget(this, parentWidget);
}

void TWinControl::CreateHandle() {
  if (widget_ != nullptr) return;
  QWidget* parentWidget = parent_ != nullptr ? parent_->ClientWidget() : nullptr;
  // Making the parent's window makes its children's windows, this one among them.
  if (widget_ != nullptr) return;
  widget_ = CreateWidget(parentWidget);
  if (wrapped_) {
    relay_ = new EventRelay(this);
    relay_->setParent(widget_);  // goes with the widget
    widget_->installEventFilter(relay_);
    widget_->setMouseTracking(true);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(widget_)) {
      relay_->SetViewport(area->viewport());
      area->viewport()->installEventFilter(relay_);
      area->viewport()->setMouseTracking(true);
    }
  }
  handle_ = win::CreateMessageWindow();
  win::SetWindowProc(handle_, [this](win::HWND, win::UINT m, win::WPARAM w, win::LPARAM l) {
    return ui::GuardValue([&] { return WndProc(m, w, l); }, win::LRESULT(0));
  });
  SyncWidget();
  PlaceWidget();
  ui::detail::UpdateDropSite(this);
  // Children made before this window get theirs now, in z-order.
  for (TControl* c : controls_)
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->CreateHandle();
  HandleCreated();
}

void TWinControl::PlaceWidget() {
  if (widget_ == nullptr) return;
  widget_->setGeometry(Left(), Top(), Width(), Height());
  if (parent_ != nullptr) widget_->setVisible(Visible());
}

void TWinControl::SyncWidget() {
  if (widget_ == nullptr) return;
  widget_->setEnabled(Enabled());
  if (wrapped_) {
    widget_->setFont(ui::ToQFont(Font()));
    QPalette palette = widget_->palette();
    palette.setColor(QPalette::Base, ui::ToQColor(Color()));
    palette.setColor(QPalette::Text, ui::ToQColor(Font().Color()));
    palette.setColor(QPalette::WindowText, ui::ToQColor(Font().Color()));
    widget_->setPalette(palette);
  }
  if (Cursor() != crDefault)
    widget_->setCursor(ui::ToCursorShape(Cursor()));
  else
    widget_->unsetCursor();
  if (ShowHint() || !Hint().empty()) widget_->setToolTip(ui::ToQString(Hint()));
}

void TWinControl::FontChanged() {
  TControl::FontChanged();
  SyncWidget();
  for (TControl* c : controls_) c->ParentFontChanged();
}

void TWinControl::ColorChanged() {
  SyncWidget();
  Invalidate();
  for (TControl* c : controls_) c->ParentColorChanged();
}

void TWinControl::CursorChanged() {
  SyncWidget();
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  TControl::SetBounds(left, top, width, height);
}

void TWinControl::BoundsChanged(bool sized) {
  PlaceWidget();
  if (sized) Realign();
}

void TWinControl::SetVisible(bool value) {
  if (value == Visible()) return;
  TControl::SetVisible(value);
  if (widget_ != nullptr && parent_ != nullptr) widget_->setVisible(value);
}

void TWinControl::SetEnabled(bool value) {
  if (value == Enabled()) return;
  TControl::SetEnabled(value);
  SyncWidget();
}

void TWinControl::Invalidate() {
  if (widget_ == nullptr) return;
  widget_->update();
  if (ClientWidget() != widget_) ClientWidget()->update();
  // Transparent windowed children show these pixels too.
  for (TControl* c : controls_)
    if (c->Transparent() && c->visible_)
      if (auto* w = dynamic_cast<TWinControl*>(c); w != nullptr) w->Invalidate();
}

void TWinControl::Update() {
  if (widget_ != nullptr && widget_->isVisible()) widget_->repaint();
}

void TWinControl::EnableAlign() {
  if (alignDisabled_ > 0 && --alignDisabled_ == 0) Realign();
}

void TWinControl::Realign() {
  if (alignDisabled_ > 0 || aligning_) return;
  aligning_ = true;
  try {
    AlignControls();
  } catch (...) {
    aligning_ = false;
    throw;
  }
  aligning_ = false;
}

void TWinControl::AlignControls() {
  win::RECT r = ClientRect();
  AdjustClientRect(r);
  auto visibleWith = [this](TAlign align) {
    std::vector<TControl*> list;
    for (TControl* c : controls_)
      if (c->align_ == align && c->visible_) list.push_back(c);
    // Same alignment: nearer the edge first, ties in z-order.
    std::stable_sort(list.begin(), list.end(), [align](TControl* a, TControl* b) {
      switch (align) {
        case TAlign::alTop:
          return a->top_ < b->top_;
        case TAlign::alBottom:
          return a->top_ + a->height_ > b->top_ + b->height_;
        case TAlign::alLeft:
          return a->left_ < b->left_;
        case TAlign::alRight:
          return a->left_ + a->width_ > b->left_ + b->width_;
        default:
          return false;
      }
    });
    return list;
  };
  for (TControl* c : visibleWith(TAlign::alTop)) {
    c->SetBounds(r.left, r.top, r.right - r.left, c->height_);
    r.top += c->height_;
  }
  for (TControl* c : visibleWith(TAlign::alBottom)) {
    c->SetBounds(r.left, r.bottom - c->height_, r.right - r.left, c->height_);
    r.bottom -= c->height_;
  }
  for (TControl* c : visibleWith(TAlign::alLeft)) {
    c->SetBounds(r.left, r.top, c->width_, std::max<int>(0, r.bottom - r.top));
    r.left += c->width_;
  }
  for (TControl* c : visibleWith(TAlign::alRight)) {
    c->SetBounds(r.right - c->width_, r.top, c->width_, std::max<int>(0, r.bottom - r.top));
    r.right -= c->width_;
  }
  for (TControl* c : visibleWith(TAlign::alClient))
    c->SetBounds(r.left, r.top, std::max<int>(0, r.right - r.left),
                 std::max<int>(0, r.bottom - r.top));

  // Anchored controls keep their distances to the edges they are anchored to, as placed; a
  // control anchored to neither side of an axis keeps its centre's share of the parent.
  const int w = ClientWidth();
  const int h = ClientHeight();
  for (TControl* c : controls_) {
    if (c->align_ != TAlign::alNone || !c->anchorRulesValid_) continue;
    const TAnchors a = c->anchors_;
    int left = c->anchorLeft_, top = c->anchorTop_;
    int width = c->anchorWidth_, height = c->anchorHeight_;
    const bool l = a.Contains(TAnchorKind::akLeft), r = a.Contains(TAnchorKind::akRight);
    if (l && r)
      width = w - c->anchorRight_ - left;
    else if (r)
      left = w - c->anchorRight_ - width;
    else if (!l && c->anchorParentWidth_ > 0)
      left = (left + width / 2) * w / c->anchorParentWidth_ - width / 2;
    const bool t = a.Contains(TAnchorKind::akTop), b = a.Contains(TAnchorKind::akBottom);
    if (t && b)
      height = h - c->anchorBottom_ - top;
    else if (b)
      top = h - c->anchorBottom_ - height;
    else if (!t && c->anchorParentHeight_ > 0)
      top = (top + height / 2) * h / c->anchorParentHeight_ - height / 2;
    c->SetBounds(left, top, width, height);
  }
}

void TWinControl::ScrollBy(int dx, int dy) {
  if (dx == 0 && dy == 0) return;
  DisableAlign();
  aligning_ = true;  // scrolling moves children without new anchor rules
  for (TControl* c : controls_) {
    c->SetBounds(c->left_ + dx, c->top_ + dy, c->width_, c->height_);
    c->anchorLeft_ += dx;
    c->anchorTop_ += dy;
    c->anchorRight_ -= dx;
    c->anchorBottom_ -= dy;
  }
  aligning_ = false;
  --alignDisabled_;
  Invalidate();
}

TControl* TWinControl::ControlAtPos(win::POINT p, bool allowDisabled) const {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    TControl* c = *it;
    if (!c->visible_ || (!c->enabled_ && !allowDisabled)) continue;
    if (p.x >= c->left_ && p.x < c->left_ + c->width_ && p.y >= c->top_ &&
        p.y < c->top_ + c->height_)
      return c;
  }
  return nullptr;
}

int TWinControl::TabOrder() const {
  if (parent_ == nullptr) return -1;
  const auto& list = parent_->tabList_;
  return int(std::find(list.begin(), list.end(), this) - list.begin());
}

void TWinControl::SetTabOrder(int value) {
  if (parent_ == nullptr) return;
  auto& list = parent_->tabList_;
  list.erase(std::find(list.begin(), list.end(), this));
  value = std::clamp(value, 0, int(list.size()));
  list.insert(list.begin() + value, this);
  // Qt's focus chain follows ours.
  for (std::size_t i = 1; i < list.size(); ++i)
    if (list[i - 1]->widget_ != nullptr && list[i]->widget_ != nullptr)
      QWidget::setTabOrder(list[i - 1]->widget_, list[i]->widget_);
}

void TWinControl::SetTabStop(bool value) {
  tabStop_ = value;
  if (widget_ != nullptr && !wrapped_)
    widget_->setFocusPolicy(value ? Qt::StrongFocus : Qt::ClickFocus);
}

std::vector<TWinControl*> TWinControl::TabList() const {
  return tabList_;
}

bool TWinControl::CanFocus() const {
  for (const TControl* c = this; c != nullptr; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return true;
}

bool TWinControl::Focused() const {
  return widget_ != nullptr && widget_->hasFocus();
}

void TWinControl::SetFocus() {
  if (!CanFocus()) throw EInvalidOperation(ui::kCannotFocus);
  Widget()->setFocus(Qt::OtherFocusReason);
}

win::LRESULT TWinControl::WndProc(win::UINT message, win::WPARAM, win::LPARAM) {
  switch (message) {
    case win::WM_CANCELMODE:
      CancelMode();
      return 0;
    case win::WM_CAPTURECHANGED:
      if (captureControl_ != nullptr) {
        TControl* lost = captureControl_;
        captureControl_ = nullptr;
        lost->clickPending_ = false;
      }
      return 0;
    default:
      return 0;
  }
}

void TWinControl::CancelMode() {
  TControl* target = captureControl_;
  if (target != nullptr && target != this) target->CancelMode();
  TControl::CancelMode();
  captureControl_ = nullptr;
  if (win::GetCapture() == handle_ && handle_ != nullptr) win::ReleaseCapture();
}

bool TWinControl::ContextPopup(win::POINT screenPos) {
  const QPoint local = ClientWidget()->mapFromGlobal(QPoint(screenPos.x, screenPos.y));
  TControl* child = ControlAtPos({local.x(), local.y()});
  if (child != nullptr && dynamic_cast<TWinControl*>(child) == nullptr)
    return child->ContextPopup(screenPos);
  return TControl::ContextPopup(screenPos);
}

void TWinControl::SetFramePainter(int width, std::function<void(TCanvas&, int, int)> painter) {
  delete frame_;
  frame_ = painter ? new FrameOverlay(Widget(), width, std::move(painter)) : nullptr;
}

void TWinControl::UpdateFrame() {
  if (frame_ != nullptr) frame_->Update();
}

PaintBuffer* TWinControl::Buffer() {
  if (wrapped_) return nullptr;
  if (!buffer_) buffer_ = std::make_unique<PaintBuffer>();
  return buffer_.get();
}

void TWinControl::PaintWindow() {
  PaintBuffer* buffer = Buffer();
  if (buffer == nullptr || !buffer->Resize(ClientWidget()->width(), ClientWidget()->height()))
    return;
  TCanvas& canvas = buffer->Canvas();
  canvas.Refresh();
  PaintSurface(canvas);
  PaintControls(canvas);
}

void TWinControl::PaintSurface(TCanvas& canvas) {
  if (Transparent() && parent_ != nullptr && parent_->Buffer() != nullptr) {
    // What the parent shows at this place: its surface and its graphic children.
    parent_->PaintTo(canvas.Handle(), -Left(), -Top());
    canvas.Refresh();
    return;
  }
  canvas.Brush().SetStyle(TBrushStyle::bsSolid);
  canvas.Brush().SetColor(Color());
  canvas.FillRect(ClientRect());
}

void TWinControl::PaintControls(TCanvas& canvas) {
  win::HDC dc = canvas.Handle();
  for (TControl* c : controls_) {
    if (!c->visible_ || dynamic_cast<TWinControl*>(c) != nullptr) continue;
    if (c->width_ <= 0 || c->height_ <= 0) continue;
    const int saved = win::SaveDC(dc);
    win::POINT old{};
    win::GetViewportOrgEx(dc, &old);
    win::SetViewportOrgEx(dc, old.x + c->left_, old.y + c->top_, nullptr);
    win::IntersectClipRect(dc, 0, 0, c->width_, c->height_);
    canvas.Refresh();
    c->Paint(canvas);
    win::RestoreDC(dc, saved);
    canvas.Refresh();
  }
}

void TWinControl::PaintTo(win::HDC dc, int x, int y) {
  PaintBuffer* buffer = Buffer();
  if (buffer == nullptr) return;
  PaintWindow();
  win::BitBlt(dc, x, y, buffer->Width(), buffer->Height(), buffer->DC(), 0, 0, win::SRCCOPY);
}

TControl* TWinControl::MouseTarget(win::POINT p) {
  if (captureControl_ != nullptr) return captureControl_;
  TControl* child = ControlAtPos(p);
  if (child != nullptr && dynamic_cast<TWinControl*>(child) == nullptr) return child;
  return this;
}

void TWinControl::UpdateCursorAt(win::POINT p) {
  if (widget_ == nullptr || wrapped_) return;
  TControl* target = MouseTarget(p);
  const TCursor cursor = target->Cursor();
  QWidget* w = ClientWidget();
  if (cursor == crDefault)
    w->unsetCursor();
  else
    w->setCursor(ui::ToCursorShape(cursor));
}

void TWinControl::UpdateHover(win::POINT p) {
  // A control holding the mouse keeps the hover until the release.
  if (captureControl_ != nullptr) return;
  TControl* hover = ControlAtPos(p);
  if (hover != nullptr && dynamic_cast<TWinControl*>(hover) != nullptr) hover = nullptr;
  if (hover == hoverControl_) return;
  TControl* old = hoverControl_;
  hoverControl_ = hover;
  if (old != nullptr) old->MouseLeave();
  if (hover != nullptr) hover->MouseEnter();
}

// A handler may destroy the control or the graphic child it was raised for (a click that
// closes a window): each step first checks that both are still there.
void TWinControl::HandleMouseEvent(QMouseEvent& event) {
  const QPoint pos = event.position().toPoint();
  win::POINT p{pos.x(), pos.y()};
  if (ClientWidget() != widget_) {
    const QPoint q = ClientWidget()->mapFrom(widget_, pos);
    p = {q.x(), q.y()};
  }
  const TShiftState shift = ui::ShiftOf(event);
  TDestroyGuard self(*this);
  UpdateHover(p);
  if (self.Destroyed()) return;
  TControl* target = MouseTarget(p);
  TDestroyGuard targetAlive(*target);
  auto gone = [&] { return self.Destroyed() || targetAlive.Destroyed(); };
  const int x = p.x - (target == this ? 0 : target->Left());
  const int y = p.y - (target == this ? 0 : target->Top());
  switch (event.type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      const TMouseButton button = ui::ButtonOf(event.button());
      // The control keeps the mouse while the button is held.
      target->SetMouseCapture(true);
      if (button == TMouseButton::mbLeft) target->clickPending_ = true;
      if (event.type() == QEvent::MouseButtonDblClick && button == TMouseButton::mbLeft) {
        target->DblClick();
        if (gone() || (target->parent_ == nullptr && target != this)) return;
      }
      target->MouseDown(button, shift, x, y);
      break;
    }
    case QEvent::MouseButtonRelease: {
      const TMouseButton button = ui::ButtonOf(event.button());
      const bool inside = x >= 0 && y >= 0 && x < target->Width() && y < target->Height();
      const bool click = button == TMouseButton::mbLeft && target->clickPending_ && inside;
      target->clickPending_ = false;
      if (event.buttons() == Qt::NoButton) target->SetMouseCapture(false);
      target->MouseUp(button, shift, x, y);
      if (click && !wrapped_ && !gone()) target->Click();
      break;
    }
    case QEvent::MouseMove:
      target->MouseMove(shift, x, y);
      if (!gone()) UpdateCursorAt(p);
      break;
    default:
      break;
  }
  // After a release the hover is settled again.
  if (!self.Destroyed()) UpdateHover(p);
}

void TWinControl::HandleWheelEvent(QWheelEvent& event) {
  const int delta = event.angleDelta().y() != 0 ? event.angleDelta().y() : event.angleDelta().x();
  const QPoint g = event.globalPosition().toPoint();
  if (MouseWheel(ui::ShiftOf(event), delta, {g.x(), g.y()})) event.accept();
}

void TWinControl::HandleEnter() {
  MouseEnter();
}

void TWinControl::HandleLeave() {
  if (hoverControl_ != nullptr) {
    TControl* old = hoverControl_;
    hoverControl_ = nullptr;
    old->MouseLeave();
  }
  MouseLeave();
}

namespace {

std::uint16_t VirtualKeyOf(int key) {
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return VK_RETURN;
    case Qt::Key_Escape:
      return VK_ESCAPE;
    case Qt::Key_PageUp:
      return VK_PRIOR;
    case Qt::Key_PageDown:
      return VK_NEXT;
    case Qt::Key_End:
      return VK_END;
    case Qt::Key_Home:
      return VK_HOME;
    case Qt::Key_Left:
      return VK_LEFT;
    case Qt::Key_Up:
      return VK_UP;
    case Qt::Key_Right:
      return VK_RIGHT;
    case Qt::Key_Down:
      return VK_DOWN;
    case Qt::Key_Delete:
      return VK_DELETE;
    case Qt::Key_F2:
      return VK_F2;
    case Qt::Key_F5:
      return VK_F5;
    case Qt::Key_F10:
      return VK_F10;
    case Qt::Key_Menu:
      return VK_APPS;
    case Qt::Key_Tab:
      return 0x09;
    case Qt::Key_Backspace:
      return 0x08;
    case Qt::Key_Space:
      return 0x20;
    default:
      if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z))
        return std::uint16_t(key);
      return 0;
  }
}

}  // namespace

bool TWinControl::HandleKeyEvent(QKeyEvent& event) {
  std::uint16_t key = VirtualKeyOf(event.key());
  const TShiftState shift = ui::ShiftOf(event);
  if (event.type() == QEvent::KeyPress) {
    if (key != 0) {
      TDestroyGuard self(*this);
      KeyDown(key, shift);
      if (self.Destroyed()) return true;  // the handler closed the control: the key is used
      if (key == 0) return true;          // a handler swallowed it
    }
    const QString text = event.text();
    if (text.size() == 1 && text[0].unicode() < 0x80 && text[0].unicode() >= 0x20) {
      char c = char(text[0].unicode());
      KeyPress(c);
      if (c == 0) return true;
    }
    return false;
  }
  if (event.isAutoRepeat()) return false;  // a held key repeats its press only
  if (key != 0) {
    KeyUp(key, shift);
    if (key == 0) return true;
  }
  return false;
}

void TWinControl::KeyDown(std::uint16_t& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyUp(std::uint16_t& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(char& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

// --- TCustomControl ----------------------------------------------------------------------

TCanvas& TCustomControl::Canvas() {
  PaintBuffer* buffer = Buffer();
  if (buffer->DC() == nullptr) buffer->Resize(Width(), Height());
  return buffer->Canvas();
}

void TCustomControl::PaintSurface(TCanvas& canvas) {
  TWinControl::PaintSurface(canvas);
  Paint();
}
