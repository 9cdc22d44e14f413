#include "tests/support/x_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

extern char** environ;

namespace test_support {

void EndProcess(pid_t pid) {
  ::kill(pid, SIGTERM);
  for (int i = 0; i < 200; ++i) {
    if (::waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

bool OnPath(const char* tool) {
  const char* path = std::getenv("PATH");
  const std::string rest = path != nullptr ? path : "";
  std::size_t at = 0;
  while (at <= rest.size()) {
    const std::size_t end = std::min(rest.find(':', at), rest.size());
    if (::access((rest.substr(at, end - at) + "/" + tool).c_str(), X_OK) == 0) return true;
    at = end + 1;
  }
  return false;
}

XServer::XServer(int width, int height) {
  if (!OnPath("Xvfb")) {
    failure_ = "Xvfb is not installed";
    return;
  }
  // Xvfb writes the number of the display it took to the pipe once it accepts clients.
  int fds[2];
  if (::pipe(fds) != 0) {
    failure_ = "no pipe";
    return;
  }
  ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  std::vector<std::string> args = {
      "Xvfb",      "-displayfd", std::to_string(fds[1]),
      "-screen",   "0",          std::to_string(width) + "x" + std::to_string(height) + "x24",
      "-nolisten", "tcp",        "-noreset"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  if (posix_spawnp(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) pid_ = 0;
  ::close(fds[1]);
  std::string number;
  pollfd wait{fds[0], POLLIN, 0};
  char c = 0;
  while (pid_ != 0 && ::poll(&wait, 1, 30000) == 1 && ::read(fds[0], &c, 1) == 1 && c != '\n')
    number += c;
  ::close(fds[0]);
  if (pid_ != 0 && number.empty()) {
    EndProcess(pid_);
    pid_ = 0;
  }
  if (pid_ == 0) {
    failure_ = "Xvfb did not start";
    return;
  }
  name_ = ":" + number;
}

XServer::~XServer() {
  if (pid_ != 0) EndProcess(pid_);
}

}  // namespace test_support
