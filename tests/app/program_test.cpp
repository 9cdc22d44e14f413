// The real program on an X server of the test's own: the window where and as it should be,
// dragged by its title panel and closed by its close button.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/app/program_session.h"

namespace {

using program_session::ColorDistance;
using program_session::ProgramEnvironment;
using program_session::ProgramRun;
using program_session::Screenshot;
using program_session::VirtualDisplay;
using program_session::WindowPlace;

constexpr std::uint32_t kTitle = 0x1FB1EC;
constexpr std::uint32_t kClientBorder = 0x47AAC9;  // #2F88A2 lightened by the flat adjustment
constexpr std::uint32_t kStripTop = 0xCDEDF9;
constexpr std::uint32_t kStripBottom = 0xA7E0F8;

int Red(std::uint32_t c) {
  return int(c >> 16) & 0xFF;
}
int Green(std::uint32_t c) {
  return int(c >> 8) & 0xFF;
}
int Blue(std::uint32_t c) {
  return int(c) & 0xFF;
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!program_session::OnPath("Xvfb") || !program_session::OnPath("xdotool"))
      GTEST_SKIP() << "needs Xvfb and xdotool (scripts/setup.sh --test)";
  }
  // Saves the screen beside the test's output when something failed.
  void Keep(const VirtualDisplay& display) {
    if (HasFailure()) display.Grab().SavePpm(std::string(SUOTU_BINARY_DIR) + "/program_test.ppm");
  }
};

TEST_F(ProgramTest, WindowIsCentredLaidOutDragsByItsTitleAndClosesWithItsButton) {
  VirtualDisplay display(1280, 800);
  ASSERT_TRUE(display.Running()) << display.Failure();
  ProgramRun program(display, SUOTU_PROGRAM, {}, ProgramEnvironment());
  ASSERT_TRUE(program.Started());

  const std::optional<WindowPlace> window = program.WaitForWindow(951, 618);
  ASSERT_TRUE(window) << "no 951 x 618 window";
  EXPECT_EQ(window->x, (1280 - 951) / 2);
  EXPECT_EQ(window->y, (800 - 618) / 2);
  const int x = window->x, y = window->y;

  // The first paint is done once the bottom strip, painted last, shows its stop colour.
  ASSERT_TRUE(display.WaitForScreen(
      [&](const Screenshot& s) { return s.At(x + 100, y + 615) == kStripBottom; }));
  const Screenshot s = display.Grab();

  // The title panel below its banner strip and beside its caption.
  EXPECT_EQ(s.At(x + 800, y + 30), kTitle);
  EXPECT_EQ(s.At(x + 20, y + 33), kTitle);
  // The client panel's bold flat border: two pixels, then the white folder column.
  EXPECT_EQ(s.At(x + 0, y + 300), kClientBorder);
  EXPECT_EQ(s.At(x + 1, y + 300), kClientBorder);
  EXPECT_EQ(s.At(x + 2, y + 300), 0xFFFFFFu);
  EXPECT_EQ(s.At(x + 950, y + 300), kClientBorder);
  EXPECT_EQ(s.At(x + 500, y + 617), kClientBorder);
  // The bottom strip's gradient, lighter at the top, row by row.
  EXPECT_LE(ColorDistance(s.At(x + 100, y + 588), kStripTop), 3);
  for (int row = 589; row <= 615; ++row) {
    EXPECT_LE(Red(s.At(x + 100, y + row)), Red(s.At(x + 100, y + row - 1))) << row;
  }
  // The placeholder's blue field in the source preview, inside the scroll box's flat border.
  for (const auto& [px, py] : {std::pair{395, 67}, std::pair{675, 67}, std::pair{395, 347}}) {
    const std::uint32_t c = s.At(x + px, y + py);
    EXPECT_TRUE(Blue(c) > 0x60 && Blue(c) > Red(c) + 0x40 && Blue(c) > Green(c))
        << std::hex << c << " at " << std::dec << px << ", " << py;
  }
  // The close button shows its up face; its olive edge shows the title panel below the banner.
  EXPECT_EQ(s.At(x + 915, y + 12), kTitle);
  EXPECT_LE(ColorDistance(s.At(x + 920, y + 1), 0x9CD8F4), 24);

  // The pointer over the close button turns it to its hot face, red at the top.
  ASSERT_TRUE(display.MoveMouse(x + 945, y + 12));
  EXPECT_TRUE(display.WaitForScreen([&](const Screenshot& shot) {
    const std::uint32_t c = shot.At(x + 920, y + 1);
    return Red(c) > 0xC0 && Blue(c) < 0x60;
  })) << "no hot face";

  // A left-button drag on the panel's own surface moves the window with the pointer. The
  // close button's face going back to up shows the program has seen the pointer leave; the
  // press reads the pointer's place when the program takes it, so it gets time to.
  ASSERT_TRUE(display.MoveMouse(x + 600, y + 25));
  EXPECT_TRUE(display.WaitForScreen([&](const Screenshot& shot) {
    return ColorDistance(shot.At(x + 920, y + 1), 0x9CD8F4) <= 24;
  })) << "the close button stays hot";
  ASSERT_TRUE(display.Press());
  std::this_thread::sleep_for(std::chrono::seconds(1));
  ASSERT_TRUE(display.MoveMouse(x + 620, y + 20));
  ASSERT_TRUE(display.MoveMouse(x + 640, y + 15));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ASSERT_TRUE(display.Release());
  std::optional<WindowPlace> moved;
  EXPECT_TRUE(display.WaitForScreen([&](const Screenshot&) {
    moved = program.PlaceOf(window->id);
    return moved && moved->x == x + 40 && moved->y == y - 10;
  })) << "window at "
      << (moved ? moved->x : -1) << ", " << (moved ? moved->y : -1);
  EXPECT_TRUE(display.WaitForScreen(
      [&](const Screenshot& shot) { return shot.At(x + 40 + 800, y - 10 + 30) == kTitle; }));

  // The close button ends the program, without a question.
  ASSERT_TRUE(display.Click(x + 40 + 934, y - 10 + 8));
  EXPECT_EQ(program.WaitForExit(20000), std::optional<int>(0));
  Keep(display);
}

}  // namespace
