// Start-up of the program: from starting the process to its first painted window on an X
// server of our own, and its resident memory at rest, over several starts.
//   startup_bench [PROGRAM] [STARTS]
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/program_session.h"

namespace {

using Clock = std::chrono::steady_clock;
using program_session::ProgramRun;
using program_session::VirtualDisplay;

constexpr int kScreenWidth = 1280, kScreenHeight = 800;
constexpr int kLeft = (kScreenWidth - 951) / 2, kTop = (kScreenHeight - 618) / 2;

// Resident memory of a process in KB, from /proc.
long ResidentKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

// The window is painted once its title panel and the bottom strip, painted last, show.
bool Painted(const VirtualDisplay& display) {
  const auto title = display.Grab(kLeft + 800, kTop + 30, 1, 1);
  const auto strip = display.Grab(kLeft + 100, kTop + 615, 1, 1);
  return !title.pixels.empty() && !strip.pixels.empty() && title.pixels[0] == 0x1FB1EC &&
         strip.pixels[0] == 0xA7E0F8;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty()      ? 0
         : v.size() % 2 ? v[v.size() / 2]
                        : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string program = argc > 1 ? argv[1] : "app/suotu";
  const int starts = argc > 2 ? std::atoi(argv[2]) : 10;
  if (::access(program.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "startup_bench: %s is not a program\n", program.c_str());
    return 2;
  }
  VirtualDisplay display(kScreenWidth, kScreenHeight);
  if (!display.Running()) {
    std::fprintf(stderr, "startup_bench: %s\n", display.Failure().c_str());
    return 2;
  }
  std::vector<double> firstPaint, residentMb;
  for (int i = 0; i < starts; ++i) {
    const Clock::time_point start = Clock::now();
    ProgramRun run(display, program);
    if (!run.Started()) {
      std::fprintf(stderr, "startup_bench: %s did not start\n", program.c_str());
      return 1;
    }
    while (!Painted(display)) {
      if (Clock::now() - start > std::chrono::seconds(30) || run.WaitForExit(0)) {
        std::fprintf(stderr, "startup_bench: no painted window\n");
        return 1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    firstPaint.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    // At rest: a second after the first paint, nothing more to do.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    residentMb.push_back(double(ResidentKb(run.Pid())) / 1024.0);
    ::kill(run.Pid(), SIGTERM);
    run.WaitForExit(10000);
    // The next start must not see this run's pixels.
    while (Painted(display)) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::printf("start %2d: first paint %.3f s, resident %.1f MB\n", i + 1, firstPaint.back(),
                residentMb.back());
  }
  const auto [minPaint, maxPaint] = std::minmax_element(firstPaint.begin(), firstPaint.end());
  std::printf(
      "first paint over %d starts: median %.3f s, best %.3f s, worst %.3f s (target 0.300 s)\n",
      starts, Median(firstPaint), *minPaint, *maxPaint);
  std::printf("resident memory at rest: median %.1f MB\n", Median(residentMb));
  return Median(firstPaint) <= 0.3 ? 0 : 1;
}
