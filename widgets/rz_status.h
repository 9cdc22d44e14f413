// TRzStatusBar and TRzStatusPane: the status bar and its pane. The main window keeps them
// hidden; the pane stores the caption it is given.
#pragma once

#include "ui/controls.h"
#include "widgets/panel_paint.h"

class TRzStatusBar : public TCustomControl {
 public:
  explicit TRzStatusBar(TComponent* owner);
  const char* ClassName() const override { return "TRzStatusBar"; }

  // The bar's borders, drawn and laid out as a styled panel's are.
  TFrameStyleEx BorderOuter() const { return look_.borderOuter; }
  void SetBorderOuter(TFrameStyleEx value) { Change(look_.borderOuter, value); }
  TFrameStyleEx BorderInner() const { return look_.borderInner; }
  void SetBorderInner(TFrameStyleEx value) { Change(look_.borderInner, value); }
  TSides BorderSides() const { return look_.borderSides; }
  void SetBorderSides(TSides value) { Change(look_.borderSides, value); }
  int BorderWidth() const { return look_.borderWidth; }
  void SetBorderWidth(int value) { Change(look_.borderWidth, value < 0 ? 0 : value); }

  void AdjustClientRect(win::RECT& rect) const override;

 protected:
  void Paint() override;

 private:
  template <class T>
  void Change(T& field, T value) {
    if (field == value) return;
    field = value;
    Realign();
    Invalidate();
  }
  TPanelLook look_;
};

class TRzStatusPane : public TGraphicControl {
 public:
  explicit TRzStatusPane(TComponent* owner);
  const char* ClassName() const override { return "TRzStatusPane"; }
  void Paint(TCanvas& canvas) override;
};
