#include "tests/app/program_session.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

extern char** environ;

namespace program_session {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

// This process's environment with the entries of extra added or replaced.
std::vector<std::string> Environment(const std::vector<std::string>& extra) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
  for (const std::string& entry : extra) {
    const std::string key = entry.substr(0, entry.find('=') + 1);
    env.erase(std::remove_if(env.begin(), env.end(),
                             [&](const std::string& e) { return e.rfind(key, 0) == 0; }),
              env.end());
    env.push_back(entry);
  }
  return env;
}

// Starts args[0] from PATH; 0 on failure. With outFd, its standard output goes there.
pid_t Spawn(std::vector<std::string> args, std::vector<std::string> env, int outFd = -1) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (outFd >= 0) posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
  std::vector<char*> argv = Pointers(args);
  std::vector<char*> envp = Pointers(env);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : 0;
}

int Field(const std::string& text, const std::string& key) {
  const std::size_t at = text.find(key + "=");
  return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + key.size() + 1);
}

}  // namespace

bool Screenshot::SavePpm(const std::string& path) const {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  std::fprintf(f, "P6\n%d %d\n255\n", width, height);
  for (std::uint32_t p : pixels) {
    const unsigned char rgb[3] = {std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p)};
    std::fwrite(rgb, 1, 3, f);
  }
  return std::fclose(f) == 0;
}

int ColorDistance(std::uint32_t a, std::uint32_t b) {
  int d = 0;
  for (int shift : {0, 8, 16}) {
    d = std::max(d, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
  }
  return d;
}

VirtualDisplay::VirtualDisplay(int width, int height)
    : width_(width), height_(height), server_(width, height) {}

Screenshot VirtualDisplay::Grab(int left, int top, int width, int height) const {
  Screenshot shot;
  if (!Running()) return shot;
  if (width < 0) width = width_ - left;
  if (height < 0) height = height_ - top;
  int screenNumber = 0;
  xcb_connection_t* c = xcb_connect(Name().c_str(), &screenNumber);
  if (xcb_connection_has_error(c) == 0) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    xcb_get_image_reply_t* reply = xcb_get_image_reply(
        c,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root, std::int16_t(left),
                      std::int16_t(top), std::uint16_t(width), std::uint16_t(height), ~0u),
        nullptr);
    // A 24-bit screen keeps 32 bits a pixel: blue, green, red, unused.
    if (reply != nullptr && reply->depth == 24 &&
        xcb_get_image_data_length(reply) >= 4 * width * height) {
      const std::uint8_t* data = xcb_get_image_data(reply);
      shot.left = left;
      shot.top = top;
      shot.width = width;
      shot.height = height;
      shot.pixels.resize(std::size_t(width) * std::size_t(height));
      for (std::size_t i = 0; i < shot.pixels.size(); ++i) {
        shot.pixels[i] = std::uint32_t(data[4 * i + 2]) << 16 |
                         std::uint32_t(data[4 * i + 1]) << 8 | data[4 * i];
      }
    }
    std::free(reply);
  }
  xcb_disconnect(c);
  return shot;
}

bool VirtualDisplay::WaitForScreen(const std::function<bool(const Screenshot&)>& done,
                                   int ms) const {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  do {
    const Screenshot shot = Grab();
    if (!shot.pixels.empty() && done(shot)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  } while (Clock::now() < end);
  return false;
}

bool VirtualDisplay::Xdotool(const std::vector<std::string>& args, std::string* out) const {
  if (!Running()) return false;
  std::vector<std::string> command = {"xdotool"};
  command.insert(command.end(), args.begin(), args.end());
  int fds[2];
  if (::pipe(fds) != 0) return false;
  ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  const pid_t pid = Spawn(command, Environment({"DISPLAY=" + Name()}), fds[1]);
  ::close(fds[1]);
  std::string text;
  char buffer[512];
  for (ssize_t n; pid != 0 && (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
    text.append(buffer, std::size_t(n));
  ::close(fds[0]);
  int status = 0;
  if (pid == 0 || ::waitpid(pid, &status, 0) != pid) return false;
  if (out != nullptr) *out = text;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool VirtualDisplay::MoveMouse(int x, int y) const {
  return Xdotool({"mousemove", "--sync", std::to_string(x), std::to_string(y)});
}

bool VirtualDisplay::Press(int button) const {
  return Xdotool({"mousedown", std::to_string(button)});
}

bool VirtualDisplay::Release(int button) const {
  return Xdotool({"mouseup", std::to_string(button)});
}

bool VirtualDisplay::Click(int x, int y, int button) const {
  return MoveMouse(x, y) && Xdotool({"click", std::to_string(button)});
}

ProgramRun::ProgramRun(const VirtualDisplay& display, const std::string& program,
                       const std::vector<std::string>& args, const std::vector<std::string>& env)
    : display_(display) {
  if (!display.Running()) return;
  std::vector<std::string> command = {program};
  command.insert(command.end(), args.begin(), args.end());
  std::vector<std::string> extra = {"DISPLAY=" + display.Name(), "QT_QPA_PLATFORM=xcb"};
  extra.insert(extra.end(), env.begin(), env.end());
  pid_ = Spawn(command, Environment(extra));
}

ProgramRun::~ProgramRun() {
  if (pid_ != 0 && !status_) test_support::EndProcess(pid_);
}

std::optional<int> ProgramRun::WaitForExit(int ms) {
  if (pid_ == 0 || status_) return status_;
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  do {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
      return status_;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  } while (Clock::now() < end);
  return std::nullopt;
}

std::optional<WindowPlace> ProgramRun::PlaceOf(const std::string& id) const {
  std::string text;
  if (!display_.Xdotool({"getwindowgeometry", "--shell", id}, &text)) return std::nullopt;
  WindowPlace place{id, Field(text, "X"), Field(text, "Y"), Field(text, "WIDTH"),
                    Field(text, "HEIGHT")};
  if (place.width <= 0 || place.height <= 0) return std::nullopt;
  return place;
}

std::vector<WindowPlace> ProgramRun::Windows() const {
  std::vector<WindowPlace> windows;
  std::string ids;
  if (pid_ == 0 ||
      !display_.Xdotool({"search", "--onlyvisible", "--pid", std::to_string(pid_)}, &ids))
    return windows;
  std::istringstream lines(ids);
  for (std::string id; std::getline(lines, id);) {
    if (const std::optional<WindowPlace> place = PlaceOf(id)) windows.push_back(*place);
  }
  return windows;
}

std::optional<WindowPlace> ProgramRun::WaitForWindow(int width, int height, int ms) const {
  if (pid_ == 0) return std::nullopt;
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  do {
    for (const WindowPlace& place : Windows()) {
      if (width == 0 || (place.width == width && place.height == height)) return place;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (Clock::now() < end);
  return std::nullopt;
}

std::vector<std::string> ProgramEnvironment(std::vector<std::string> env) {
  env.push_back("LSAN_OPTIONS=suppressions=" SUOTU_SOURCE_DIR "/tests/app/program.supp");
  return env;
}

std::optional<WindowPlace> WaitForMainWindow(const VirtualDisplay& display,
                                             const ProgramRun& program, int ms) {
  std::optional<WindowPlace> window = program.WaitForWindow(951, 618, ms);
  if (!window) return std::nullopt;
  const int x = window->x, y = window->y;
  if (!display.WaitForScreen(
          [&](const Screenshot& s) { return s.At(x + 100, y + 615) == 0xA7E0F8u; }, ms))
    return std::nullopt;
  return window;
}

}  // namespace program_session
