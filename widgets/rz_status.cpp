#include "widgets/rz_status.h"

#include "ui/text.h"
#include "widgets/drawing.h"

TRzStatusBar::TRzStatusBar(TComponent* owner) : TCustomControl(owner) {
  look_.borderOuter = TFrameStyleEx::fsNone;
  look_.visualStyle = TVisualStyle::vsClassic;
  SetBounds(0, 0, 300, 19);
  SetVisible(false);
}

void TRzStatusBar::AdjustClientRect(win::RECT& rect) const {
  rect = PanelInterior(rect, look_);
}

void TRzStatusBar::Paint() {
  TPanelLook look = look_;
  look.color = Color();
  const TColor parentColor = Parent() != nullptr ? Parent()->Color() : clBtnFace;
  PaintPanel(Canvas(), ClientRect(), look, parentColor);
}

TRzStatusPane::TRzStatusPane(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 100, 19);
  SetVisible(false);
}

void TRzStatusPane::Paint(TCanvas& canvas) {
  canvas.Font().CopyFrom(&Font());
  win::RECT r = ClientRect();
  r.left += 2;
  ui::DrawCaption(canvas, Caption(), r, ui::tfLeft | ui::tfVCenter | ui::tfSingleLine);
}
