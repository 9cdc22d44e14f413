// TRzButton: a push button drawn by the widget layer, with the hot-tracking look (a coloured
// ring while the mouse is over it) and a word-wrapped centred caption. OnClick is raised when a
// press is released inside it, or when Space is released.
#pragma once

#include "ui/controls.h"
#include "widgets/button_paint.h"
#include "widgets/press_tracker.h"

class TRzButton : public TPressButton {
 public:
  explicit TRzButton(TComponent* owner);
  const char* ClassName() const override { return "TRzButton"; }

  TColor FrameColor() const { return look_.frameColor; }
  void SetFrameColor(TColor value) { Change(look_.frameColor, value); }
  TColor HighlightColor() const { return look_.highlightColor; }
  void SetHighlightColor(TColor value) { Change(look_.highlightColor, value); }
  TColor HotTrackColor() const { return look_.hotTrackColor; }
  void SetHotTrackColor(TColor value) { Change(look_.hotTrackColor, value); }
  bool HotTrack() const { return hotTrack_; }
  void SetHotTrack(bool value) { Change(hotTrack_, value); }
  bool ShowFocusRect() const { return look_.showFocusRect; }
  void SetShowFocusRect(bool value) { Change(look_.showFocusRect, value); }
  TVerticalAlignment AlignmentVertical() const { return look_.alignmentVertical; }
  void SetAlignmentVertical(TVerticalAlignment value) { Change(look_.alignmentVertical, value); }
  // The form's modal result set before OnClick (0: none).
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int value) { modalResult_ = value; }

  // The state the next paint shows.
  TButtonState PaintState() const;
  bool MouseOver() const { return mouseOver_; }

  void MouseEnter() override;
  void MouseLeave() override;

 protected:
  void Paint() override;
  void KeyDown(std::uint16_t& key, TShiftState shift) override;
  void KeyUp(std::uint16_t& key, TShiftState shift) override;
  void DoEnter() override;
  void DoExit() override;

 private:
  template <class T>
  void Change(T& field, T value) {
    if (field == value) return;
    field = value;
    Invalidate();
  }
  TButtonLook look_;
  bool hotTrack_ = false;
  bool mouseOver_ = false;
  int modalResult_ = 0;
};
