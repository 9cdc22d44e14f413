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
