// The press-and-release rules both styled buttons share: a left press that leaves the button
// focused shows the pressed look and starts tracking; while tracking the pressed look follows
// whether the pointer is inside; releasing inside clicks, releasing outside does not. Space held
// down shows the pressed look as well, and its release clicks. TPressButton is the custom-drawn
// control that follows those rules with the mouse.
#pragma once

#include "ui/controls.h"

// What a step asks the control to do.
struct TPressResult {
  bool repaint = false;  // the pressed look changed
  bool click = false;    // raise OnClick (after the form's modal result is set)
};

class TPressTracker {
 public:
  bool Pressed() const { return pressed_; }
  bool Tracking() const { return tracking_; }

  // A left press on an enabled button, after it has tried to take the focus.
  TPressResult LeftDown(bool focused);
  TPressResult Move(bool inside);
  TPressResult LeftUp(bool inside);
  // Space without Alt.
  TPressResult SpaceDown();
  TPressResult SpaceUp();
  // The capture went elsewhere or the button was disabled: forget the press without clicking.
  TPressResult Cancel();

 private:
  TPressResult SetPressed(bool value);

  bool pressed_ = false;
  bool tracking_ = false;
  bool spaceHeld_ = false;
};

// Whether (x, y) lies in the client area of a width x height control.
constexpr bool InsideClient(int x, int y, int width, int height) {
  return x >= 0 && x < width && y >= 0 && y < height;
}

// A custom-drawn button whose left press is tracked by the rules above: it takes over the
// window layer's click, so a press released outside does not click, and raises OnClick last,
// as the handler may destroy the button.
class TPressButton : public TCustomControl {
 public:
  explicit TPressButton(TComponent* owner);
  const char* ClassName() const override { return "TPressButton"; }

  bool Pressed() const { return tracker_.Pressed(); }

  void SetEnabled(bool value) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void CancelMode() override;

 protected:
  // The pressed look changed; the base asks for a repaint.
  virtual void PressedLookChanged() { Invalidate(); }
  // Shows what the step changed, then clicks.
  void Apply(TPressResult result);
  TPressTracker& Tracker() { return tracker_; }
  const TPressTracker& Tracker() const { return tracker_; }

 private:
  TPressTracker tracker_;
};
