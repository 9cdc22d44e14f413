#include "widgets/press_tracker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A script of input steps: D (left down, focused), d (left down, focus refused), I / O (move
// inside / outside), U / u (left up inside / outside), S / s (Space down / up), C (cancel).
struct Case {
  const char* why;
  const char* script;
  const char* pressedAfter;  // '1' pressed / '0' not, after each step
  int clicks;
};

TEST(PressTrackerTest, Scripts) {
  const Case cases[] = {
      {"press and release inside clicks", "DU", "10", 1},
      {"release outside raises no click", "DOu", "100", 0},
      {"moving back in before release clicks", "DOIU", "1010", 1},
      {"moves without a press do nothing", "IOI", "000", 0},
      {"a press the focus refused is not tracked", "dIU", "000", 0},
      {"Space down and up clicks", "Ss", "10", 1},
      {"a Space release without its press does nothing", "s", "0", 0},
      {"a held Space keeps the look after the mouse lets go", "SDUs", "1110", 2},
      {"a cancelled press does not click", "DCU", "100", 0},
      {"a second release is not a click", "DUU", "100", 1},
  };
  for (const auto& c : cases) {
    TPressTracker t;
    int clicks = 0;
    const std::string script = c.script;
    const std::string want = c.pressedAfter;
    for (std::size_t i = 0; i < script.size(); ++i) {
      TPressResult r;
      switch (script[i]) {
        case 'D':
          r = t.LeftDown(true);
          break;
        case 'd':
          r = t.LeftDown(false);
          break;
        case 'I':
          r = t.Move(true);
          break;
        case 'O':
          r = t.Move(false);
          break;
        case 'U':
          r = t.LeftUp(true);
          break;
        case 'u':
          r = t.LeftUp(false);
          break;
        case 'S':
          r = t.SpaceDown();
          break;
        case 's':
          r = t.SpaceUp();
          break;
        case 'C':
          r = t.Cancel();
          break;
      }
      clicks += r.click;
      ASSERT_LT(i, want.size()) << c.why;
      EXPECT_EQ(t.Pressed(), want[i] == '1') << c.why << " after step " << i;
    }
    EXPECT_EQ(clicks, c.clicks) << c.why;
  }
}

TEST(PressTrackerTest, RepaintOnlyWhenTheLookChanges) {
  TPressTracker t;
  EXPECT_TRUE(t.LeftDown(true).repaint);
  EXPECT_FALSE(t.Move(true).repaint);
  EXPECT_TRUE(t.Move(false).repaint);
  EXPECT_FALSE(t.Move(false).repaint);
  EXPECT_TRUE(t.Move(true).repaint);
  EXPECT_TRUE(t.LeftUp(true).repaint);
}

TEST(PressTrackerTest, ClientAreaBounds) {
  EXPECT_TRUE(InsideClient(0, 0, 134, 49));
  EXPECT_TRUE(InsideClient(133, 48, 134, 49));
  EXPECT_FALSE(InsideClient(134, 10, 134, 49));
  EXPECT_FALSE(InsideClient(10, 49, 134, 49));
  EXPECT_FALSE(InsideClient(-1, 10, 134, 49));
}

}  // namespace
