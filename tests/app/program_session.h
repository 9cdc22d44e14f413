// Running the real program on an X server of the test's own: Xvfb on a display it picks
// itself (so parallel suites never share one), the program started there with its own
// environment, its windows found and driven with xdotool, and the screen's pixels read back.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/x_server.h"

namespace program_session {

using test_support::OnPath;

// The screen's pixels in a rectangle, 0x00RRGGBB, addressed in screen coordinates.
struct Screenshot {
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
  bool Contains(int x, int y) const {
    return x >= left && y >= top && x < left + width && y < top + height;
  }
  // 0xFF000000 outside the rectangle, which no pixel is.
  std::uint32_t At(int x, int y) const {
    return Contains(x, y)
               ? pixels[std::size_t(y - top) * std::size_t(width) + std::size_t(x - left)]
               : 0xFF000000u;
  }
  // Writes a binary PPM, to look at after a failure.
  bool SavePpm(const std::string& path) const;
};

// Channel distance: the largest difference of red, green or blue.
int ColorDistance(std::uint32_t a, std::uint32_t b);

class VirtualDisplay {
 public:
  // Starts Xvfb with one screen of width x height at 24 bits; Running() tells whether it came up
  // (Failure() says why not).
  explicit VirtualDisplay(int width = 1280, int height = 800);
  ~VirtualDisplay() = default;
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  bool Running() const { return server_.Running(); }
  const std::string& Failure() const { return server_.Failure(); }
  // ":N", the DISPLAY value of the server.
  const std::string& Name() const { return server_.Name(); }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // The pixels of a screen rectangle (the whole screen by default); empty when unreadable.
  Screenshot Grab(int left = 0, int top = 0, int width = -1, int height = -1) const;
  // Polls the screen until done accepts it; false after ms milliseconds.
  bool WaitForScreen(const std::function<bool(const Screenshot&)>& done, int ms = 20000) const;

  // Runs xdotool with args on this display; true on exit status 0, its output in out.
  bool Xdotool(const std::vector<std::string>& args, std::string* out = nullptr) const;
  // The pointer to (x, y), a button pressed or released there; each waits for the server.
  bool MoveMouse(int x, int y) const;
  bool Press(int button = 1) const;
  bool Release(int button = 1) const;
  bool Click(int x, int y, int button = 1) const;

 private:
  int width_, height_;
  test_support::XServer server_;
};

// A window's place on the screen.
struct WindowPlace {
  std::string id;
  int x = 0, y = 0, width = 0, height = 0;
};

class ProgramRun {
 public:
  // Starts program with args on display; env holds NAME=value entries that are added to (or
  // replace those of) this process's environment. DISPLAY and QT_QPA_PLATFORM=xcb are set.
  ProgramRun(const VirtualDisplay& display, const std::string& program,
             const std::vector<std::string>& args = {}, const std::vector<std::string>& env = {});
  // Ends the program if it still runs.
  ~ProgramRun();
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  bool Started() const { return pid_ != 0; }
  pid_t Pid() const { return pid_; }
  // Waits for the program to end: its exit status (0..255), -(signal) when a signal ended it,
  // nullopt when it still runs after ms milliseconds.
  std::optional<int> WaitForExit(int ms);

  // The program's visible top-level window of that size (any size when width is 0), waiting
  // up to ms milliseconds for it to be mapped.
  std::optional<WindowPlace> WaitForWindow(int width = 0, int height = 0, int ms = 20000) const;
  // The program's visible top-level windows now (the main window, message boxes, dialogs).
  std::vector<WindowPlace> Windows() const;
  // The window's place now.
  std::optional<WindowPlace> PlaceOf(const std::string& id) const;

 private:
  const VirtualDisplay& display_;
  pid_t pid_ = 0;
  std::optional<int> status_;
};

// What every run of the program is given besides the test's own entries: the leak checker's
// suppressions for the libraries under it.
std::vector<std::string> ProgramEnvironment(std::vector<std::string> env = {});

// The program's 951 x 618 main window once its first paint is done (the bottom strip, painted
// last, shows its stop colour), waiting up to ms milliseconds for each; nullopt when it does
// not come.
std::optional<WindowPlace> WaitForMainWindow(const VirtualDisplay& display,
                                             const ProgramRun& program, int ms);

}  // namespace program_session
