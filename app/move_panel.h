// The title panel of the borderless main window: a plain panel that moves its parent window
// while the left button is held on its own surface.
#pragma once

#include "ui/stdctrls.h"

class TMovePanel : public TPanel {
 public:
  explicit TMovePanel(TComponent* owner) : TPanel(owner) {}
  const char* ClassName() const override { return "TMovePanel"; }

  bool Dragging() const { return dragging_; }

  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void CancelMode() override;

 private:
  bool dragging_ = false;
  win::POINT last_{0, 0};  // screen position at the last step
};
