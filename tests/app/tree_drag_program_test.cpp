// A folder of the tree dragged onto another with the real mouse in the real program, on an X
// server of the test's own: the system drag carries the shell item to the tree's own drop
// target, the folder's drop handler moves it, and the tree shows the result.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/app/program_session.h"
#include "tests/support/scratch_folder.h"

namespace {

using program_session::ProgramEnvironment;
using program_session::ProgramRun;
using program_session::Screenshot;
using program_session::VirtualDisplay;
using program_session::WaitForMainWindow;
using program_session::WindowPlace;

// How long a step may take on a loaded machine under the sanitizers.
constexpr int kPatience = 120000;

class TreeDragProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!program_session::OnPath("Xvfb") || !program_session::OnPath("xdotool"))
      GTEST_SKIP() << "needs Xvfb and xdotool (scripts/setup.sh --test)";
  }
};

TEST_F(TreeDragProgramTest, AFolderDroppedOnAnotherMovesIntoItAndTheTreeShowsIt) {
  test_support::ScratchFolder desk{"suotu-e2e-drag"};
  std::filesystem::create_directories(desk.HostOf("Alpha"));
  std::filesystem::create_directories(desk.HostOf("Beta"));

  VirtualDisplay display(1280, 800);
  ASSERT_TRUE(display.Running()) << display.Failure();
  ProgramRun program(display, SUOTU_PROGRAM, {},
                     ProgramEnvironment({"SUOTU_DESKTOP=" + desk.Host()}));
  ASSERT_TRUE(program.Started());
  const std::optional<WindowPlace> window = WaitForMainWindow(display, program, kPatience);
  ASSERT_TRUE(window) << "no main window";
  const int x = window->x, y = window->y;

  // The root's rows: 桌面, 我的文档, 我的电脑, 网上邻居, 回收站, then Alpha and Beta, 18 pixels
  // apart. The press on Alpha's caption, a few steps with the button held, the release on Beta.
  const int captionX = x + 67, alphaY = y + 168, betaY = y + 186;
  ASSERT_TRUE(display.MoveMouse(captionX, alphaY));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ASSERT_TRUE(display.Press());
  for (int step = 1; step <= 6; ++step) {
    ASSERT_TRUE(display.MoveMouse(captionX, alphaY + step * (betaY - alphaY) / 6));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
  }
  ASSERT_TRUE(display.Release());

  // Moved, as a plain drop on the same drive does; the tree lists Beta in Alpha's row, with
  // the expand button it now has, and nothing below it. The selection, on Alpha since the
  // press, goes to the root, not to the node under the release.
  EXPECT_TRUE(display.WaitForScreen(
      [&](const Screenshot&) {
        return std::filesystem::is_directory(desk.HostOf("Beta/Alpha")) &&
               !std::filesystem::exists(desk.HostOf("Alpha"));
      },
      kPatience))
      << "Alpha was not moved into Beta";
  EXPECT_TRUE(display.WaitForScreen(
      [&](const Screenshot& s) {
        for (int dx = 36; dx < 156; ++dx)
          if (s.At(x + dx, betaY) != 0xFFFFFFu) return false;  // the row below is empty
        return s.At(x + 17, alphaY + 1) == 0x000000u && s.At(x + 13, alphaY + 1) == 0x808080u &&
               s.At(x + 150, y + 78) == 0x0A246Au && s.At(x + 150, alphaY) == 0xFFFFFFu;
      },
      kPatience))
      << "the tree does not show the move";
  if (HasFailure())
    display.Grab().SavePpm(std::string(SUOTU_BINARY_DIR) + "/tree_drag_program_test.ppm");
}

}  // namespace
