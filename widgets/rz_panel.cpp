#include "widgets/rz_panel.h"

TRzPanel::TRzPanel(TComponent* owner) : TCustomControl(owner) {
  SetBounds(0, 0, 185, 41);
}

void TRzPanel::SetTransparent(bool value) {
  if (look_.transparent == value) return;
  look_.transparent = value;
  SetTransparentFlag(value);
  Invalidate();
}

TPanelLook TRzPanel::Look() const {
  TPanelLook look = look_;
  look.color = Color();
  return look;
}

void TRzPanel::AdjustClientRect(win::RECT& rect) const {
  rect = PanelInterior(rect, look_);
}

void TRzPanel::Paint() {
  const TColor parentColor = Parent() != nullptr ? Parent()->Color() : clBtnFace;
  PaintPanel(Canvas(), ClientRect(), Look(), parentColor);
  if (OnPaint) OnPaint(this);
}
