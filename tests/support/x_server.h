// An X server of the test's own: Xvfb on a display it picks itself, so suites that start servers
// at the same time never race for one display, and without the reset Xvfb does when its last
// client goes (a program started at that moment would find no server).
#pragma once

#include <sys/types.h>

#include <string>

namespace test_support {

// Ends a child process: asked with SIGTERM, killed when it has not gone after two seconds.
void EndProcess(pid_t pid);

// True when tool is an executable on PATH.
bool OnPath(const char* tool);

class XServer {
 public:
  // Starts Xvfb with one screen of width x height at 24 bits; Running() tells whether it came up
  // (Failure() says why not).
  explicit XServer(int width = 1280, int height = 800);
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  bool Running() const { return pid_ != 0; }
  const std::string& Failure() const { return failure_; }
  // ":N", the DISPLAY value of the server.
  const std::string& Name() const { return name_; }

 private:
  pid_t pid_ = 0;
  std::string name_;
  std::string failure_;
};

}  // namespace test_support
