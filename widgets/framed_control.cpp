#include "widgets/framed_control.h"

#include <QPalette>
#include <QWidget>

TFrameState TFramedControl::State() const {
  TFrameState s;
  s.enabled = control_.Enabled();
  s.focused = control_.Focused();
  s.mouseOver = control_.MouseInside();
  return s;
}

void TFramedControl::SetFrameVisible(bool value) {
  if (settings_.frameVisible == value) return;
  settings_.frameVisible = value;
  // The frame comes and goes with the window's border painting.
  if (control_.HandleAllocated()) InstallPainter();
}

void TFramedControl::ChangeColor(TColor& field, TColor value) {
  if (field == value) return;
  field = value;
  StateChanged();
}

void TFramedControl::InstallPainter() {
  if (!settings_.frameVisible) {
    control_.SetFramePainter(0, nullptr);
    return;
  }
  control_.SetFramePainter(2, [this](TCanvas& canvas, int width, int height) {
    PaintControlFrame(canvas, width, height, settings_, State());
  });
}

void TFramedControl::ApplyBackground() {
  if (!control_.HandleAllocated()) return;
  QWidget* w = control_.Widget();
  const win::COLORREF c = ColorToRGB(CurrentColor());
  QPalette p = w->palette();
  const QColor color(win::GetRValue(c), win::GetGValue(c), win::GetBValue(c));
  p.setColor(QPalette::Base, color);
  w->setPalette(p);
}

void TFramedControl::HandleCreated() {
  InstallPainter();
  ApplyBackground();
}

void TFramedControl::StateChanged() {
  ApplyBackground();
  control_.UpdateFrame();
}
