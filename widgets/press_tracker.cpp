#include "widgets/press_tracker.h"

TPressResult TPressTracker::SetPressed(bool value) {
  TPressResult r;
  r.repaint = pressed_ != value;
  pressed_ = value;
  return r;
}

TPressResult TPressTracker::LeftDown(bool focused) {
  if (!focused) return {};
  tracking_ = true;
  return SetPressed(true);
}

TPressResult TPressTracker::Move(bool inside) {
  if (!tracking_) return {};
  return SetPressed(inside);
}

TPressResult TPressTracker::LeftUp(bool inside) {
  if (!tracking_) return {};
  tracking_ = false;
  TPressResult r = SetPressed(spaceHeld_);
  r.click = inside;
  return r;
}

TPressResult TPressTracker::SpaceDown() {
  if (tracking_) return {};  // the mouse owns the press
  spaceHeld_ = true;
  return SetPressed(true);
}

TPressResult TPressTracker::SpaceUp() {
  // Only a Space that pressed the button clicks it: a release whose press went to another
  // control (the focus moved here meanwhile) does nothing.
  if (!spaceHeld_) return {};
  spaceHeld_ = false;
  if (tracking_) return {};
  TPressResult r = SetPressed(false);
  r.click = true;
  return r;
}

TPressResult TPressTracker::Cancel() {
  tracking_ = false;
  spaceHeld_ = false;
  return SetPressed(false);
}

// --- TPressButton --------------------------------------------------------------------------

TPressButton::TPressButton(TComponent* owner) : TCustomControl(owner) {
  SetTabStop(true);
}

void TPressButton::Apply(TPressResult result) {
  if (result.repaint) PressedLookChanged();
  if (result.click) Click();  // last: the handler may destroy this button
}

void TPressButton::SetEnabled(bool value) {
  if (!value) tracker_.Cancel();
  TCustomControl::SetEnabled(value);
  Invalidate();
}

void TPressButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  // The press is ours to turn into a click (on release inside, by the tracker's rules).
  clickPending_ = false;
  if (button == TMouseButton::mbLeft && Enabled() && Visible()) {
    if (!Focused() && CanFocus()) SetFocus();
    Apply(tracker_.LeftDown(Focused()));
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TPressButton::MouseMove(TShiftState shift, int x, int y) {
  Apply(tracker_.Move(InsideClient(x, y, Width(), Height())));
  TCustomControl::MouseMove(shift, x, y);
}

void TPressButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button != TMouseButton::mbLeft) {
    TCustomControl::MouseUp(button, shift, x, y);
    return;
  }
  const TPressResult result = tracker_.LeftUp(InsideClient(x, y, Width(), Height()));
  TDestroyGuard guard(*this);
  TCustomControl::MouseUp(button, shift, x, y);
  if (!guard.Destroyed()) Apply(result);
}

void TPressButton::CancelMode() {
  Apply(tracker_.Cancel());
  TCustomControl::CancelMode();
}
