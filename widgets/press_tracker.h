// The press-and-release rules both styled buttons share: a left press that leaves the button
// focused shows the pressed look and starts tracking; while tracking the pressed look follows
// whether the pointer is inside; releasing inside clicks, releasing outside does not. Space held
// down shows the pressed look as well, and its release clicks.
#pragma once

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
