// What the kernel's waitable objects share; not part of the kernel's interface.
#pragma once

#include <mutex>

#include "platform/kernel/internal.h"

namespace win::detail {

// A kernel object a wait can end on. Each has an eventfd, readable while the object may be
// signalled or once it is closed, so a wait polls every object's descriptors at once. The
// object's state lives under its mutex (which also orders what one thread did before
// signalling against what the waiter does after); the descriptors only wake the waiter.
class Waitable : public KernelObject {
 public:
  enum class State { kNotSignalled, kSignalled, kAbandoned };

  Waitable();
  ~Waitable() override;
  Waitable(const Waitable&) = delete;
  Waitable& operator=(const Waitable&) = delete;

  // False when the eventfd could not be made (last error set).
  bool Usable() const { return wake_ >= 0; }
  // Marks the object closed and wakes its waiters, who report it abandoned. The descriptors
  // stay open until the last pin goes, so no waiter polls a reused descriptor.
  BOOL Close() override;
  // Looks at the state and, for an auto-reset object, takes the signal.
  State TryAcquire();
  int WakeFd() const { return wake_; }
  // A second descriptor to poll (the inotify queue of a change notification), or -1.
  virtual int ExtraFd() const { return -1; }

 protected:
  // Both with mutex_ held.
  virtual bool SignalledLocked() = 0;
  virtual void ConsumeLocked() {}
  void WakeLocked();
  void DrainLocked();

  std::mutex mutex_;
  bool closed_ = false;

 private:
  int wake_ = -1;
};

}  // namespace win::detail
