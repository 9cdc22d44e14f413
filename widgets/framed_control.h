// The flat frame of a framed control (the file list, the folder tree), attached to the wrapped
// widget's 2-pixel border: settings with setters, the background colour rule applied to the
// widget, and the frame painted again whenever focus, hover, enabled state or size change.
#pragma once

#include "ui/controls.h"
#include "widgets/frame_paint.h"

class TFramedControl {
 public:
  explicit TFramedControl(TWinControl& control) : control_(control) {}

  const TFrameSettings& Settings() const { return settings_; }
  bool FrameVisible() const { return settings_.frameVisible; }
  void SetFrameVisible(bool value);
  void SetFrameColor(TColor value) { Change(settings_.frameColor, value); }
  void SetFrameHotColor(TColor value) { Change(settings_.frameHotColor, value); }
  void SetFrameStyle(TFrameStyleEx value) { Change(settings_.frameStyle, value); }
  void SetFrameHotStyle(TFrameStyleEx value) { Change(settings_.frameHotStyle, value); }
  void SetFrameHotTrack(bool value) { Change(settings_.frameHotTrack, value); }
  void SetFrameSides(TSides value) { Change(settings_.frameSides, value); }
  void SetFramingPreference(TFramingPreference value) {
    Change(settings_.framingPreference, value);
  }
  void SetColor(TColor value) { ChangeColor(settings_.color, value); }
  void SetFocusColor(TColor value) { ChangeColor(settings_.focusColor, value); }
  void SetDisabledColor(TColor value) { ChangeColor(settings_.disabledColor, value); }

  TFrameState State() const;
  // The background the control shows now.
  TColor CurrentColor() const { return FrameBackgroundColor(settings_, State()); }

  // The control's window exists: install the frame (when visible) and the background.
  void HandleCreated();
  // Focus, hover or enabled state changed.
  void StateChanged();

 private:
  template <class T>
  void Change(T& field, T value) {
    if (field == value) return;
    field = value;
    control_.UpdateFrame();
  }
  void ChangeColor(TColor& field, TColor value);
  void InstallPainter();
  void ApplyBackground();

  TWinControl& control_;
  TFrameSettings settings_;
};
