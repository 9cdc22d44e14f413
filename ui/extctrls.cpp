#include "ui/extctrls.h"

#include <QPainter>
#include <QScrollBar>
#include <QWidget>

#include "ui/bridge.h"
#include "ui/control_widget.h"
#include "ui/guard.h"
#include "ui/stdctrls.h"

// --- TControlScrollBar -------------------------------------------------------------------

int TControlScrollBar::MaxPosition() const {
  const int extent =
      kind_ == TScrollBarKind::sbHorizontal ? box_.ClientWidth() : box_.ClientHeight();
  return std::max(0, range_ - extent);
}

bool TControlScrollBar::IsScrollBarVisible() const {
  return visible_ && MaxPosition() > 0;
}

void TControlScrollBar::SetPosition(int value) {
  value = std::clamp(value, 0, MaxPosition());
  if (value == position_) return;
  const int delta = position_ - value;
  position_ = value;
  box_.Scrolled(kind_, delta);
}

void TControlScrollBar::SetRange(int value) {
  value = std::max(value, 0);
  if (value == range_) return;
  range_ = value;
  box_.UpdateScrollBars();
}

void TControlScrollBar::SetVisible(bool value) {
  if (value == visible_) return;
  visible_ = value;
  box_.UpdateScrollBars();
}

// --- TScrollBox --------------------------------------------------------------------------

namespace {

// The frame of a scroll box: the border and bevel, drawn into the outer widget.
class FrameWidget final : public ui::detail::ControlWidget {
 public:
  FrameWidget(TScrollBox* box, QWidget* parent) : ControlWidget(box, parent) {}

 protected:
  // Input belongs to the viewport; the frame only paints.
  bool event(QEvent* e) override { return QWidget::event(e); }
  void paintEvent(QPaintEvent*) override {
    auto* box = static_cast<TScrollBox*>(Control());
    if (box == nullptr) return;
    QPainter p(this);
    const QColor face = ui::ToQColor(box->Color());
    p.fillRect(rect(), face);
    int inset = 0;
    auto line = [&](const QColor& topLeft, const QColor& bottomRight) {
      const int l = inset, t = inset, r = width() - 1 - inset, b = height() - 1 - inset;
      p.setPen(topLeft);
      p.drawLine(l, t, r, t);
      p.drawLine(l, t, l, b);
      p.setPen(bottomRight);
      p.drawLine(l, b, r, b);
      p.drawLine(r, t, r, b);
      ++inset;
    };
    const QColor shadow = ui::ToQColor(clBtnShadow), light = ui::ToQColor(clBtnHighlight);
    const QColor dark = ui::ToQColor(cl3DDkShadow), face3d = ui::ToQColor(clBtnFace);
    if (box->BevelKind() == TBevelKind::bkFlat) line(shadow, shadow);
    if (box->BevelKind() == TBevelKind::bkSoft || box->BevelKind() == TBevelKind::bkTile)
      line(light, shadow);
    if (box->BorderStyle() == TBorderStyle::bsSingle) {
      if (box->Ctl3D()) {
        line(shadow, light);
        line(dark, face3d);
      } else {
        line(ui::ToQColor(clWindowFrame), ui::ToQColor(clWindowFrame));
      }
    }
  }
};

}  // namespace

TScrollBox::TScrollBox(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 185, 41);
  SetTabStop(false);
}

TScrollBox::~TScrollBox() = default;

int TScrollBox::BorderSize() const {
  int size = 0;
  if (bevelKind_ != TBevelKind::bkNone) size += 1;
  if (borderStyle_ == TBorderStyle::bsSingle) size += ctl3D_ ? 2 : 1;
  return size;
}

int TScrollBox::ClientWidth() const {
  int w = Width() - 2 * BorderSize();
  if (vert_.visible_ && vertBar_ != nullptr && !vertBar_->isHidden()) w -= 16;
  return std::max(w, 0);
}

int TScrollBox::ClientHeight() const {
  int h = Height() - 2 * BorderSize();
  if (horz_.visible_ && horzBar_ != nullptr && !horzBar_->isHidden()) h -= 16;
  return std::max(h, 0);
}

void TScrollBox::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  PlaceParts();
}

void TScrollBox::SetBevelKind(TBevelKind value) {
  if (value == bevelKind_) return;
  bevelKind_ = value;
  PlaceParts();
}

void TScrollBox::SetCtl3D(bool value) {
  if (value == ctl3D_) return;
  ctl3D_ = value;
  PlaceParts();
}

void TScrollBox::SetAutoScroll(bool value) {
  autoScroll_ = value;
  UpdateScrollBars();
}

QWidget* TScrollBox::CreateWidget(QWidget* parentWidget) {
  auto* frame = new FrameWidget(this, parentWidget);
  viewport_ = new ui::detail::ControlWidget(this, frame);
  horzBar_ = new QScrollBar(Qt::Horizontal, frame);
  vertBar_ = new QScrollBar(Qt::Vertical, frame);
  corner_ = new QWidget(frame);
  corner_->setAutoFillBackground(true);
  horzBar_->hide();
  vertBar_->hide();
  corner_->hide();
  QObject::connect(horzBar_, &QScrollBar::valueChanged,
                   [this](int v) { ui::Guard([this, v] { horz_.SetPosition(v); }); });
  QObject::connect(vertBar_, &QScrollBar::valueChanged,
                   [this](int v) { ui::Guard([this, v] { vert_.SetPosition(v); }); });
  return frame;
}

QWidget* TScrollBox::ClientWidget() {
  Widget();
  return viewport_;
}

void TScrollBox::BoundsChanged(bool sized) {
  TWinControl::BoundsChanged(sized);
  UpdateScrollBars();
}

void TScrollBox::PlaceParts() {
  if (viewport_ == nullptr) return;
  const int b = BorderSize();
  viewport_->setGeometry(b, b, ClientWidth(), ClientHeight());
  const bool h = !horzBar_->isHidden(), v = !vertBar_->isHidden();
  horzBar_->setGeometry(b, Height() - b - 16, Width() - 2 * b - (v ? 16 : 0), 16);
  vertBar_->setGeometry(Width() - b - 16, b, 16, Height() - 2 * b - (h ? 16 : 0));
  corner_->setGeometry(Width() - b - 16, Height() - b - 16, 16, 16);
  corner_->setVisible(h && v);
  Widget()->update();
}

void TScrollBox::UpdateScrollBars() {
  if (updatingBars_) return;
  updatingBars_ = true;
  if (autoScroll_) {
    // The contents reach to the far edge of the furthest child, measured unscrolled.
    int right = 0, bottom = 0;
    for (int i = 0; i < ControlCount(); ++i) {
      TControl* c = Controls(i);
      if (!c->Visible()) continue;
      if (c->Align() != TAlign::alLeft && c->Align() != TAlign::alClient)
        right = std::max(right, c->Left() + c->Width() + horz_.position_);
      if (c->Align() != TAlign::alTop && c->Align() != TAlign::alClient)
        bottom = std::max(bottom, c->Top() + c->Height() + vert_.position_);
    }
    horz_.range_ = right;
    vert_.range_ = bottom;
  }
  if (horzBar_ != nullptr) {
    // Showing one bar narrows the other way: settle in two rounds.
    for (int round = 0; round < 2; ++round) {
      horzBar_->setVisible(horz_.visible_ && horz_.range_ > Width() - 2 * BorderSize() -
                                                                (vertBar_->isHidden() ? 0 : 16));
      vertBar_->setVisible(vert_.visible_ && vert_.range_ > Height() - 2 * BorderSize() -
                                                                (horzBar_->isHidden() ? 0 : 16));
    }
    PlaceParts();
    horzBar_->blockSignals(true);
    vertBar_->blockSignals(true);
    horzBar_->setRange(0, horz_.MaxPosition());
    horzBar_->setPageStep(std::max(1, ClientWidth()));
    horzBar_->setSingleStep(horz_.increment_);
    vertBar_->setRange(0, vert_.MaxPosition());
    vertBar_->setPageStep(std::max(1, ClientHeight()));
    vertBar_->setSingleStep(vert_.increment_);
    horzBar_->blockSignals(false);
    vertBar_->blockSignals(false);
  }
  updatingBars_ = false;
  // A smaller range may leave a position beyond the end.
  horz_.SetPosition(horz_.position_);
  vert_.SetPosition(vert_.position_);
  if (horzBar_ != nullptr) {
    horzBar_->blockSignals(true);
    vertBar_->blockSignals(true);
    horzBar_->setValue(horz_.position_);
    vertBar_->setValue(vert_.position_);
    horzBar_->blockSignals(false);
    vertBar_->blockSignals(false);
  }
}

void TScrollBox::Scrolled(TScrollBarKind kind, int delta) {
  if (kind == TScrollBarKind::sbHorizontal)
    ScrollBy(delta, 0);
  else
    ScrollBy(0, delta);
  QScrollBar* bar = kind == TScrollBarKind::sbHorizontal ? horzBar_ : vertBar_;
  if (bar != nullptr) {
    bar->blockSignals(true);
    bar->setValue(kind == TScrollBarKind::sbHorizontal ? horz_.position_ : vert_.position_);
    bar->blockSignals(false);
  }
}

void TScrollBox::ScrollInView(TControl* control) {
  if (control == nullptr || control->Parent() != this) return;
  if (control->Left() < 0)
    horz_.SetPosition(horz_.position_ + control->Left());
  else if (control->Left() + control->Width() > ClientWidth())
    horz_.SetPosition(horz_.position_ + control->Left() + control->Width() - ClientWidth());
  if (control->Top() < 0)
    vert_.SetPosition(vert_.position_ + control->Top());
  else if (control->Top() + control->Height() > ClientHeight())
    vert_.SetPosition(vert_.position_ + control->Top() + control->Height() - ClientHeight());
}

bool TScrollBox::MouseWheel(TShiftState shift, int wheelDelta, win::POINT mousePos) {
  if (TWinControl::MouseWheel(shift, wheelDelta, mousePos)) return true;
  // No handler: the box scrolls by the system's lines per notch.
  win::UINT lines = 3;
  win::SystemParametersInfo(win::SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  const int step = int(lines) * vert_.increment_;
  if (wheelDelta > 0) vert_.SetPosition(vert_.position_ - step);
  if (wheelDelta < 0) vert_.SetPosition(vert_.position_ + step);
  return true;
}

// --- TSplitter ---------------------------------------------------------------------------

TSplitter::TSplitter(TComponent* owner) : TGraphicControl(owner) {
  SetAlign(TAlign::alLeft);
  SetBounds(0, 0, 3, 100);
  SetCursor(crHSplit);
  SetParentColor(true);
}

bool TSplitter::Horizontal() const {
  // A splitter between left and right neighbours moves along x.
  return Align() == TAlign::alLeft || Align() == TAlign::alRight;
}

TControl* TSplitter::FindControl() const {
  TWinControl* parent = Parent();
  if (parent == nullptr) return nullptr;
  // The neighbour on the splitter's own side that touches it.
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (c == this || !c->Visible() || c->Align() != Align()) continue;
    switch (Align()) {
      case TAlign::alLeft:
        if (c->Left() + c->Width() == Left()) return c;
        break;
      case TAlign::alRight:
        if (c->Left() == Left() + Width()) return c;
        break;
      case TAlign::alTop:
        if (c->Top() + c->Height() == Top()) return c;
        break;
      case TAlign::alBottom:
        if (c->Top() == Top() + Height()) return c;
        break;
      default:
        break;
    }
  }
  return nullptr;
}

int TSplitter::NewSizeFor(int splitPosition) const {
  int size = startSize_;
  const int moved = splitPosition - downPos_;
  if (Align() == TAlign::alLeft || Align() == TAlign::alTop)
    size += moved;
  else
    size -= moved;
  size = std::min(size, maxSize_);
  if (size <= minSize_) size = autoSnap_ ? 0 : minSize_;
  return std::max(size, 0);
}

void TSplitter::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseDown(button, shift, x, y);
  if (button != TMouseButton::mbLeft) return;
  control_ = FindControl();
  if (control_ == nullptr) return;
  downPos_ = Horizontal() ? Left() + x : Top() + y;
  startSize_ = Horizontal() ? control_->Width() : control_->Height();
  newSize_ = startSize_;
  // The control may grow until what the other aligned controls leave falls to MinSize.
  TWinControl* parent = Parent();
  win::RECT r = parent->ClientRect();
  parent->AdjustClientRect(r);
  int free = Horizontal() ? r.right - r.left : r.bottom - r.top;
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (c == control_ || !c->Visible()) continue;
    if (Horizontal() && (c->Align() == TAlign::alLeft || c->Align() == TAlign::alRight))
      free -= c->Width();
    if (!Horizontal() && (c->Align() == TAlign::alTop || c->Align() == TAlign::alBottom))
      free -= c->Height();
  }
  maxSize_ = std::max(0, free - minSize_);
  DrawLine();
}

void TSplitter::MouseMove(TShiftState shift, int x, int y) {
  TGraphicControl::MouseMove(shift, x, y);
  if (control_ == nullptr) return;
  newSize_ = NewSizeFor(Horizontal() ? Left() + x : Top() + y);
  DrawLine();
}

void TSplitter::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseUp(button, shift, x, y);
  if (control_ == nullptr || button != TMouseButton::mbLeft) return;
  newSize_ = NewSizeFor(Horizontal() ? Left() + x : Top() + y);
  TControl* control = control_;
  const int size = newSize_;
  StopDrag();
  if (Horizontal())
    control->SetWidth(size);
  else
    control->SetHeight(size);
  if (OnMoved) OnMoved(this);
}

void TSplitter::CancelMode() {
  StopDrag();
  TGraphicControl::CancelMode();
}

void TSplitter::StopDrag() {
  control_ = nullptr;
  if (line_ != nullptr) {
    line_->hide();
    line_->deleteLater();
    line_ = nullptr;
  }
}

void TSplitter::DrawLine() {
  TWinControl* parent = Parent();
  if (parent == nullptr || !parent->HandleAllocated()) return;
  if (line_ == nullptr) {
    // The pattern line: a half-tone bar over the parent where the border will be.
    line_ = new QWidget(parent->ClientWidget());
    line_->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette palette;
    palette.setBrush(QPalette::Window, QBrush(Qt::black, Qt::Dense4Pattern));
    line_->setPalette(palette);
    line_->setAutoFillBackground(true);
  }
  const int delta = newSize_ - startSize_;
  switch (Align()) {
    case TAlign::alLeft:
      line_->setGeometry(Left() + delta, Top(), Width(), Height());
      break;
    case TAlign::alRight:
      line_->setGeometry(Left() - delta, Top(), Width(), Height());
      break;
    case TAlign::alTop:
      line_->setGeometry(Left(), Top() + delta, Width(), Height());
      break;
    default:
      line_->setGeometry(Left(), Top() - delta, Width(), Height());
      break;
  }
  line_->show();
  line_->raise();
}

void TSplitter::Paint(TCanvas& canvas) {
  canvas.Brush().SetStyle(TBrushStyle::bsSolid);
  canvas.Brush().SetColor(Color());
  canvas.FillRect(ClientRect());
}

// --- TImage ------------------------------------------------------------------------------

TImage::TImage(TComponent* owner) : TGraphicControl(owner), view_(*this) {
  TControl::SetBounds(0, 0, TImageView::kDefaultSize, TImageView::kDefaultSize);
}

TImage::~TImage() = default;

void TImage::SetTransparent(bool value) {
  view_.SetTransparent(value);
}

void TImage::Paint(TCanvas& canvas) {
  view_.Paint(canvas);
}
