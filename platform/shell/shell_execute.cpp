#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/shell/shell.h"

extern char** environ;

namespace win {
namespace {

std::mutex& HandlerLock() {
  static auto* lock = new std::mutex;
  return *lock;
}
ShellOpenHandler& Handler() {
  static auto* handler = new ShellOpenHandler;
  return *handler;
}

HINSTANCE Result(std::intptr_t code) {
  return reinterpret_cast<HINSTANCE>(code);
}

bool EqualsNoCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (std::tolower(static_cast<unsigned char>(*a)) !=
        std::tolower(static_cast<unsigned char>(*b)))
      return false;
  return *a == *b;
}

// Runs xdg-open with the target as its only argument (no shell, so nothing in the target is
// interpreted). A handler that is still running after a few seconds has started the program and
// counts as success; it is reaped in the background.
bool OpenWithDesktop(const std::string& target) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::string program = "xdg-open";
  std::string argument = target;
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, "xdg-open", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;

  using namespace std::chrono;
  const auto deadline = steady_clock::now() + seconds(5);
  while (steady_clock::now() < deadline) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (done < 0) return false;
    std::this_thread::sleep_for(milliseconds(20));
  }
  std::thread([pid] {
    int status = 0;
    waitpid(pid, &status, 0);
  }).detach();
  return true;
}

}  // namespace

HINSTANCE ShellExecuteA(HWND /*window*/, const char* verb, const char* file,
                        const char* /*parameters*/, const char* /*directory*/, int /*show*/) {
  if (verb && *verb && !EqualsNoCase(verb, "open")) return Result(SE_ERR_NOASSOC);
  if (!file || !*file) return Result(SE_ERR_FNF);
  const std::optional<std::string> utf8 = AnsiToUtf8(file);
  if (!utf8 || utf8->empty()) return Result(SE_ERR_FNF);
  // xdg-open would take it for one of its own options.
  if ((*utf8)[0] == '-') return Result(SE_ERR_NOASSOC);
  ShellOpenHandler handler;
  {
    std::lock_guard guard(HandlerLock());
    handler = Handler();
  }
  const bool opened = handler ? handler(*utf8) : OpenWithDesktop(*utf8);
  return Result(opened ? 42 : SE_ERR_NOASSOC);
}

void SetShellOpenHandler(ShellOpenHandler handler) {
  std::lock_guard guard(HandlerLock());
  Handler() = std::move(handler);
}

}  // namespace win
