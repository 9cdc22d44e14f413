// The all-files batch command in the real program on an X server of the test's own: a desktop
// folder of the test's own with two photographs, listed by a click on the tree's root, shown by
// a click on the first file, and reduced by a click on the button, with the same thumbnails
// the command-line tool writes and the completion notice.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/program_session.h"
#include "tests/imaging/jpeg_test_support.h"
#include "tests/support/scratch_folder.h"

namespace {

using program_session::ProgramEnvironment;
using program_session::ProgramRun;
using program_session::Screenshot;
using program_session::VirtualDisplay;
using program_session::WaitForMainWindow;
using program_session::WindowPlace;

std::string Bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The two smallest sample photographs when they are unpacked; two photo-like pictures else.
void PutPhotographs(const test_support::ScratchFolder& desk) {
  const std::filesystem::path samples = SUOTU_SOURCE_DIR "/build/samples/photos";
  std::vector<std::filesystem::path> photos;
  if (std::filesystem::is_directory(samples)) {
    for (const auto& entry : std::filesystem::directory_iterator(samples))
      if (entry.path().extension() == ".jpg") photos.push_back(entry.path());
    std::sort(photos.begin(), photos.end(), [](const auto& a, const auto& b) {
      return std::filesystem::file_size(a) < std::filesystem::file_size(b);
    });
  }
  const char* names[] = {"first.jpg", "second.jpg"};
  for (int i = 0; i < 2; ++i) {
    if (photos.size() >= 2) {
      std::filesystem::copy_file(photos[std::size_t(i)], desk.HostOf(names[i]));
    } else {
      jpegtest::WriteFile(desk.HostOf(names[i]),
                          jpegtest::Encode(jpegtest::PhotoLike(1200 + 200 * i, 900, i + 1), {}));
    }
  }
}

// How long a step may take on a loaded machine under the sanitizers.
constexpr int kPatience = 120000;

bool Highlighted(std::uint32_t c) {
  // The selection's highlight (navy in the classic scheme) against the list's white.
  return (c & 0xFF) > 0x60 && ((c >> 16) & 0xFF) < 0x40;
}

// The pointer is moved there first and given time to arrive: the program reads a press's
// place when it takes the press.
void ClickAt(const VirtualDisplay& display, int x, int y) {
  ASSERT_TRUE(display.MoveMouse(x, y));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ASSERT_TRUE(display.Press());
  ASSERT_TRUE(display.Release());
}

class BatchProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!program_session::OnPath("Xvfb") || !program_session::OnPath("xdotool"))
      GTEST_SKIP() << "needs Xvfb and xdotool (scripts/setup.sh --test)";
  }
  void Keep(const VirtualDisplay& display) {
    if (HasFailure())
      display.Grab().SavePpm(std::string(SUOTU_BINARY_DIR) + "/batch_program_test.ppm");
  }
};

TEST_F(BatchProgramTest, TheAllFilesButtonWritesWhatTheToolWritesAndSaysSo) {
  test_support::ScratchFolder desk{"suotu-e2e-desk"};
  test_support::ScratchFolder tool{"suotu-e2e-tool"};
  PutPhotographs(desk);

  VirtualDisplay display(1280, 800);
  ASSERT_TRUE(display.Running()) << display.Failure();
  ProgramRun program(display, SUOTU_PROGRAM, {},
                     ProgramEnvironment({"SUOTU_DESKTOP=" + desk.Host()}));
  ASSERT_TRUE(program.Started());
  const std::optional<WindowPlace> window = WaitForMainWindow(display, program, kPatience);
  ASSERT_TRUE(window) << "no main window";
  const int x = window->x, y = window->y;

  // The tree's root (the desktop) is its first row; the list's first row lies beside it.
  const int listX = x + 184 + 40, firstRowY = y + 68 + 8;
  ClickAt(display, x + 6 + 40, y + 69 + 9);
  EXPECT_TRUE(display.WaitForScreen(
      [&](const Screenshot& s) { return Highlighted(s.At(listX, firstRowY)); }, kPatience))
      << "the list shows no selected first file";

  // The first file in both previews: the source preview no longer shows the placeholder.
  const std::uint32_t placeholder = display.Grab().At(x + 395, y + 67);
  const auto previewChanged = [&](const Screenshot& s) {
    return s.At(x + 395, y + 67) != placeholder;
  };
  ClickAt(display, listX, firstRowY);
  EXPECT_TRUE(display.WaitForScreen(previewChanged, kPatience))
      << "the source preview still shows the placeholder";

  // The windows shown so far (the main one, and the list's item hint if the pointer brought it
  // up): the notice is the one that is new after the click.
  std::set<std::string> before;
  for (const WindowPlace& place : program.Windows()) before.insert(place.id);
  ClickAt(display, x + 858, y + 456);  // RzButton2
  const std::string firstThumb = desk.HostOf("first缩图.jpg");
  const std::string secondThumb = desk.HostOf("second缩图.jpg");
  // The notice is a window of its own, shown once both files are written.
  std::string notice;
  EXPECT_TRUE(display.WaitForScreen(
      [&](const Screenshot&) {
        for (const WindowPlace& place : program.Windows()) {
          std::string name;
          if (before.count(place.id) == 0 && display.Xdotool({"getwindowname", place.id}, &name)) {
            notice = name.substr(0, name.find('\n'));
            return true;
          }
        }
        return false;
      },
      kPatience))
      << "no notice";
  EXPECT_EQ(notice, "suotu");  // captioned with the program's title
  ASSERT_TRUE(std::filesystem::exists(firstThumb));
  ASSERT_TRUE(std::filesystem::exists(secondThumb));

  // The command-line tool on the same files.
  const std::string command = std::string(SUOTU_THUMB) + " --out '" + tool.Host() + "' 200 '" +
                              desk.HostOf("first.jpg") + "' '" + desk.HostOf("second.jpg") +
                              "' >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_TRUE(Bytes(firstThumb) == Bytes(tool.HostOf("first缩图.jpg")));
  EXPECT_TRUE(Bytes(secondThumb) == Bytes(tool.HostOf("second缩图.jpg")));
  Keep(display);
}

}  // namespace
