// TRzStatusBar and TRzStatusPane: the status bar and its pane. The main window keeps them
// hidden; the pane stores the caption it is given.
#pragma once

#include "ui/controls.h"

class TRzStatusBar : public TCustomControl {
 public:
  explicit TRzStatusBar(TComponent* owner);
  const char* ClassName() const override { return "TRzStatusBar"; }

 protected:
  void Paint() override;
};

class TRzStatusPane : public TGraphicControl {
 public:
  explicit TRzStatusPane(TComponent* owner);
  const char* ClassName() const override { return "TRzStatusPane"; }
  void Paint(TCanvas& canvas) override;
};
