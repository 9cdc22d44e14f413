// Events, threads and the waits on them. Every waitable object has an eventfd that is
// readable while the object may be signalled, so WaitForMultipleObjects is one poll over the
// objects' descriptors, and each object's mutex decides who gets an auto-reset signal.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/kernel/sync.h"
#include "platform/kernel/waitable.h"

namespace win {

namespace detail {

Waitable::Waitable() : wake_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (wake_ < 0) FailWithErrno(errno);
}

Waitable::~Waitable() {
  if (wake_ >= 0) close(wake_);
}

BOOL Waitable::Close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  WakeLocked();
  return TRUE;
}

Waitable::State Waitable::TryAcquire() {
  std::lock_guard lock(mutex_);
  if (closed_) return State::kAbandoned;
  if (!SignalledLocked()) return State::kNotSignalled;
  ConsumeLocked();
  return State::kSignalled;
}

void Waitable::WakeLocked() {
  const std::uint64_t one = 1;
  // The counter only overflows after 2^64 - 2 wakes; a full counter is readable anyway.
  [[maybe_unused]] const ssize_t n = write(wake_, &one, sizeof one);
}

void Waitable::DrainLocked() {
  std::uint64_t count = 0;
  [[maybe_unused]] const ssize_t n = read(wake_, &count, sizeof count);
}

}  // namespace detail

namespace {

using detail::KernelRef;
using detail::Waitable;

class EventObject final : public Waitable {
 public:
  EventObject(bool manualReset, bool initialState) : manual_(manualReset) {
    if (initialState && Usable()) Set();
  }
  void Set() {
    std::lock_guard lock(mutex_);
    if (signalled_) return;
    signalled_ = true;
    WakeLocked();
  }
  void Reset() {
    std::lock_guard lock(mutex_);
    if (!signalled_) return;
    signalled_ = false;
    DrainLocked();
  }

 private:
  bool SignalledLocked() override { return signalled_; }
  void ConsumeLocked() override {
    if (manual_) return;
    signalled_ = false;
    DrainLocked();
  }

  const bool manual_;
  bool signalled_ = false;
};

class ThreadObject final : public Waitable {
 public:
  void Finish(DWORD code) {
    std::lock_guard lock(mutex_);
    exited_ = true;
    code_ = code;
    WakeLocked();
  }
  DWORD ExitCode() {
    std::lock_guard lock(mutex_);
    return exited_ ? code_ : STILL_ACTIVE;
  }

 private:
  bool SignalledLocked() override { return exited_; }

  bool exited_ = false;
  DWORD code_ = 0;
};

std::atomic<DWORD> nextThreadId{1};

// Our own thread numbers, given out on first use (and by CreateThread before the thread runs).
DWORD& ThisThreadId() {
  thread_local DWORD id = 0;
  return id;
}

template <typename T>
HANDLE Register(std::unique_ptr<T> object) {
  if (!object->Usable()) return nullptr;  // last error already set
  HANDLE handle = detail::RegisterHandle(std::move(object));
  return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

}  // namespace

HANDLE CreateEventA(void*, BOOL manualReset, BOOL initialState, LPCSTR name) {
  if (name != nullptr) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  return Register(std::make_unique<EventObject>(manualReset != FALSE, initialState != FALSE));
}

BOOL SetEvent(HANDLE event) {
  auto object = detail::LookupHandleAs<EventObject>(event);
  if (!object) return FALSE;
  object->Set();
  return TRUE;
}

BOOL ResetEvent(HANDLE event) {
  auto object = detail::LookupHandleAs<EventObject>(event);
  if (!object) return FALSE;
  object->Reset();
  return TRUE;
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || handles == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  if (waitAll) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return WAIT_FAILED;
  }
  std::vector<KernelRef<Waitable>> objects;
  std::vector<pollfd> fds;
  objects.reserve(count);
  for (DWORD i = 0; i < count; ++i) {
    objects.push_back(detail::LookupHandleAs<Waitable>(handles[i]));
    if (!objects.back()) return WAIT_FAILED;  // ERROR_INVALID_HANDLE
    fds.push_back({objects.back()->WakeFd(), POLLIN, 0});
    if (const int extra = objects.back()->ExtraFd(); extra >= 0) fds.push_back({extra, POLLIN, 0});
  }
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    for (DWORD i = 0; i < count; ++i) {
      switch (objects[i]->TryAcquire()) {
        case Waitable::State::kSignalled:
          return WAIT_OBJECT_0 + i;
        case Waitable::State::kAbandoned:
          return WAIT_ABANDONED_0 + i;
        case Waitable::State::kNotSignalled:
          break;
      }
    }
    int timeout = -1;
    if (milliseconds != INFINITE) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return WAIT_TIMEOUT;
      timeout = int(std::min<long long>(left, 1 << 30));
    }
    if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) {
      detail::FailWithErrno(errno);
      return WAIT_FAILED;
    }
  }
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}

HANDLE CreateThread(void*, std::size_t, LPTHREAD_START_ROUTINE start, void* parameter,
                    DWORD creationFlags, DWORD* threadId) {
  if (start == nullptr || creationFlags != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HANDLE handle = Register(std::make_unique<ThreadObject>());
  if (handle == nullptr) return nullptr;
  // The thread holds its own pin, so it can report its end after the handle is closed.
  KernelRef<ThreadObject> self = detail::LookupHandleAs<ThreadObject>(handle);
  const DWORD id = nextThreadId.fetch_add(1);
  try {
    std::thread([self = std::move(self), start, parameter, id]() mutable {
      ThisThreadId() = id;
      const DWORD code = start(parameter);
      self->Finish(code);
      self.Reset();
    }).detach();
  } catch (const std::system_error&) {
    CloseHandle(handle);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (threadId != nullptr) *threadId = id;
  return handle;
}

BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode) {
  if (exitCode == nullptr) return detail::Fail(ERROR_INVALID_PARAMETER);
  auto object = detail::LookupHandleAs<ThreadObject>(thread);
  if (!object) return FALSE;
  *exitCode = object->ExitCode();
  return TRUE;
}

DWORD GetCurrentThreadId() {
  DWORD& id = ThisThreadId();
  if (id == 0) id = nextThreadId.fetch_add(1);
  return id;
}

}  // namespace win
