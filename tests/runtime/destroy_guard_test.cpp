#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "runtime/gui_thread.h"
#include "runtime/persistent.h"
#include "runtime/scope.h"

namespace {

class Sender : public TObject {};

TEST(DestroyGuardTest, ReportsWhetherTheWatchedObjectWasDestroyed) {
  struct Case {
    const char* name;
    bool destroyInner;  // destroyed while the inner guard watches
    bool destroyOuter;  // destroyed after the inner guard ended
  };
  const Case cases[] = {
      {"kept", false, false},
      {"destroyed under both guards", true, false},
      {"destroyed under the outer guard only", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto sender = std::make_unique<Sender>();
    TDestroyGuard outer(*sender);
    {
      TDestroyGuard inner(*sender);
      if (c.destroyInner) sender.reset();
      EXPECT_EQ(inner.Destroyed(), c.destroyInner);
    }
    if (c.destroyOuter) sender.reset();
    EXPECT_EQ(outer.Destroyed(), c.destroyInner || c.destroyOuter);
    // A guard that ended unlinked itself: a new one on a living object reads it alive.
    if (sender) {
      TDestroyGuard again(*sender);
      EXPECT_FALSE(again.Destroyed());
    }
  }
}

TEST(DestroyGuardTest, ACopyIsNotWatchedByTheOriginalsGuards) {
  auto original = std::make_unique<Sender>();
  TDestroyGuard guard(*original);
  {
    Sender copy(*original);
    Sender assigned;
    assigned = *original;
  }
  EXPECT_FALSE(guard.Destroyed());
  original.reset();
  EXPECT_TRUE(guard.Destroyed());
}

TEST(ScopeTest, RestoreSetsForTheScopeOnEveryExit) {
  int value = 1;
  try {
    const TRestore<int> restore(value, 7);
    EXPECT_EQ(value, 7);
    throw 0;
  } catch (int) {
  }
  EXPECT_EQ(value, 1);
}

#ifndef NDEBUG
TEST(GuiThreadDeathTest, AnotherThreadIsRefusedInDebugBuilds) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        AssertGuiThread("first use");  // this thread becomes the GUI thread
        std::thread other([] { AssertGuiThread("TCanvas::RequiredState"); });
        other.join();
      },
      "TCanvas::RequiredState called outside the GUI thread");
}

TEST(GuiThreadTest, TheClaimingThreadPassesAgain) {
  SetGuiThread();
  AssertGuiThread();
  AssertGuiThread();
  SUCCEED();
}
#endif

}  // namespace
