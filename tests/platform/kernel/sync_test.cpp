// Events, threads and waits: who gets a signal, what a wait answers, and a handle closed on
// another thread while a wait holds it.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/kernel/sync.h"

namespace {

using win::HANDLE;
using win::WAIT_OBJECT_0;
using win::WAIT_TIMEOUT;

TEST(Events, AutoResetLetsOneWaitThroughManualStays) {
  HANDLE autoEvent = win::CreateEventA(nullptr, win::FALSE, win::FALSE, nullptr);
  HANDLE manual = win::CreateEventA(nullptr, win::TRUE, win::TRUE, nullptr);
  ASSERT_NE(autoEvent, nullptr);
  ASSERT_NE(manual, nullptr);

  EXPECT_EQ(win::WaitForSingleObject(autoEvent, 0), WAIT_TIMEOUT) << "starts unsignalled";
  ASSERT_TRUE(win::SetEvent(autoEvent));
  ASSERT_TRUE(win::SetEvent(autoEvent));  // a second set before a wait is no second signal
  EXPECT_EQ(win::WaitForSingleObject(autoEvent, 0), WAIT_OBJECT_0);
  EXPECT_EQ(win::WaitForSingleObject(autoEvent, 0), WAIT_TIMEOUT) << "the wait took the signal";

  EXPECT_EQ(win::WaitForSingleObject(manual, 0), WAIT_OBJECT_0) << "initially signalled";
  EXPECT_EQ(win::WaitForSingleObject(manual, 0), WAIT_OBJECT_0) << "a wait leaves it signalled";
  ASSERT_TRUE(win::ResetEvent(manual));
  EXPECT_EQ(win::WaitForSingleObject(manual, 0), WAIT_TIMEOUT);

  // Several signalled: the first in the order given, and only it is taken.
  win::SetEvent(autoEvent);
  win::SetEvent(manual);
  const HANDLE both[] = {manual, autoEvent};
  EXPECT_EQ(win::WaitForMultipleObjects(2, both, win::FALSE, 0), WAIT_OBJECT_0 + 0);
  EXPECT_EQ(win::WaitForSingleObject(autoEvent, 0), WAIT_OBJECT_0) << "not taken by the wait";

  EXPECT_TRUE(win::CloseHandle(autoEvent));
  EXPECT_TRUE(win::CloseHandle(manual));
  EXPECT_FALSE(win::SetEvent(manual));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_HANDLE);
}

TEST(Waits, BadRequestsFailWithTheirReasons) {
  HANDLE event = win::CreateEventA(nullptr, win::TRUE, win::TRUE, nullptr);
  HANDLE stale = win::CreateEventA(nullptr, win::TRUE, win::TRUE, nullptr);
  win::CloseHandle(stale);
  std::vector<HANDLE> many(65, event);
  const HANDLE withStale[] = {event, stale};
  struct Case {
    win::DWORD count;
    const HANDLE* handles;
    win::BOOL waitAll;
    win::DWORD error;
    const char* why;
  } cases[] = {
      {0, many.data(), win::FALSE, win::ERROR_INVALID_PARAMETER, "no handles"},
      {65, many.data(), win::FALSE, win::ERROR_INVALID_PARAMETER, "more than 64"},
      {1, nullptr, win::FALSE, win::ERROR_INVALID_PARAMETER, "no array"},
      {2, withStale, win::FALSE, win::ERROR_INVALID_HANDLE,
       "a closed handle, even after a live one"},
      {1, many.data(), win::TRUE, win::ERROR_NOT_SUPPORTED, "wait for all"},
  };
  for (const Case& c : cases) {
    win::SetLastError(0);
    EXPECT_EQ(win::WaitForMultipleObjects(c.count, c.handles, c.waitAll, 0), win::WAIT_FAILED)
        << c.why;
    EXPECT_EQ(win::GetLastError(), c.error) << c.why;
  }
  EXPECT_EQ(win::WaitForMultipleObjects(64, many.data(), win::FALSE, 0), WAIT_OBJECT_0)
      << "64 is fine";
  EXPECT_EQ(win::CreateEventA(nullptr, win::FALSE, win::FALSE, "named"), nullptr);
  EXPECT_EQ(win::GetLastError(), win::ERROR_NOT_SUPPORTED);
  win::CloseHandle(event);
}

struct PingPong {
  HANDLE ping;
  HANDLE pong;
  int rounds;
};

// Answers every ping with a pong, then ends with the number of rounds as its exit code.
win::DWORD Responder(void* parameter) {
  auto* p = static_cast<PingPong*>(parameter);
  for (int i = 0; i < p->rounds; ++i) {
    if (win::WaitForSingleObject(p->ping, 10000) != WAIT_OBJECT_0) return 1000 + i;
    win::SetEvent(p->pong);
  }
  return win::DWORD(p->rounds);
}

TEST(Threads, SignalAcrossThreadsAndEndWithExitCode) {
  PingPong p{win::CreateEventA(nullptr, win::FALSE, win::FALSE, nullptr),
             win::CreateEventA(nullptr, win::FALSE, win::FALSE, nullptr), 200};
  win::DWORD id = 0;
  HANDLE thread = win::CreateThread(nullptr, 0, Responder, &p, 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, win::GetCurrentThreadId());
  win::DWORD code = 0;
  ASSERT_TRUE(win::GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, win::STILL_ACTIVE) << "it waits for the first ping";
  for (int i = 0; i < p.rounds; ++i) {
    win::SetEvent(p.ping);
    ASSERT_EQ(win::WaitForSingleObject(p.pong, 10000), WAIT_OBJECT_0) << "round " << i;
  }
  ASSERT_EQ(win::WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(win::WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "an ended thread stays so";
  ASSERT_TRUE(win::GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 200u);
  EXPECT_EQ(win::CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(win::CreateThread(nullptr, 0, Responder, &p, 4, nullptr), nullptr);
  win::CloseHandle(thread);
  win::CloseHandle(p.ping);
  win::CloseHandle(p.pong);
}

struct CloseLater {
  HANDLE go;
  HANDLE victim;
};

win::DWORD CloseOnGo(void* parameter) {
  auto* c = static_cast<CloseLater*>(parameter);
  if (win::WaitForSingleObject(c->go, 10000) != WAIT_OBJECT_0) return 1;
  win::CloseHandle(c->victim);
  return 0;
}

// The waiter pins its handles, so closing one ends the wait as abandoned instead of leaving it
// to its time-out or reaching a freed object. Which comes first, the close or the wait's look
// at the handle, is up to the scheduler; a close before it fails the wait instead, so this
// tries until the close has landed during the wait.
TEST(Waits, HandleClosedWhileWaitedOnIsAbandoned) {
  bool abandoned = false;
  for (int attempt = 0; attempt < 200 && !abandoned; ++attempt) {
    HANDLE quiet = win::CreateEventA(nullptr, win::FALSE, win::FALSE, nullptr);
    CloseLater c{win::CreateEventA(nullptr, win::FALSE, win::FALSE, nullptr),
                 win::CreateEventA(nullptr, win::FALSE, win::FALSE, nullptr)};
    HANDLE closer = win::CreateThread(nullptr, 0, CloseOnGo, &c, 0, nullptr);
    ASSERT_NE(closer, nullptr);
    const HANDLE watched[] = {quiet, c.victim};
    win::SetEvent(c.go);
    const win::DWORD result = win::WaitForMultipleObjects(2, watched, win::FALSE, 30000);
    ASSERT_NE(result, WAIT_TIMEOUT) << "closing the handle must wake the wait";
    if (result == win::WAIT_FAILED) {
      EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_HANDLE);
    } else {
      EXPECT_EQ(result, win::WAIT_ABANDONED_0 + 1);
      abandoned = true;
    }
    ASSERT_EQ(win::WaitForSingleObject(closer, 10000), WAIT_OBJECT_0);
    win::CloseHandle(closer);
    win::CloseHandle(quiet);
    win::CloseHandle(c.go);
  }
  EXPECT_TRUE(abandoned);
}

TEST(Waits, TimeOutWhenNothingComes) {
  HANDLE event = win::CreateEventA(nullptr, win::FALSE, win::FALSE, nullptr);
  EXPECT_EQ(win::WaitForSingleObject(event, 20), WAIT_TIMEOUT);
  win::CloseHandle(event);
}

}  // namespace
