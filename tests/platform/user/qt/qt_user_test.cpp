// The Qt host: messages posted from another thread, timers, message boxes over Qt.
#include "platform/user/qt/qt_user.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <thread>

#include "platform/user/user.h"

namespace {

class QtUserTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "platform_user_qt_tests";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance() == nullptr) app_ = new QApplication(argc, argv);
    win::InstallQtUserHost();
  }
  static void TearDownTestSuite() {
    win::RemoveQtUserHost();
    delete app_;
    app_ = nullptr;
  }
  void SetUp() override { window_ = win::CreateMessageWindow(); }
  void TearDown() override {
    win::SetWindowProc(window_, nullptr);
    win::DestroyWindow(window_);
  }
  // Runs the event loop until done() or two seconds have passed.
  template <class Done>
  static bool PumpUntil(Done done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 2000)
      QApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
  }
  static inline QApplication* app_ = nullptr;
  win::HWND window_ = nullptr;
};

TEST_F(QtUserTest, MessagePostedFromAnotherThreadArrivesOnTheGuiThread) {
  std::atomic<int> arrived{0};
  std::atomic<bool> onGuiThread{false};
  win::SetWindowProc(window_, [&](win::HWND, win::UINT m, win::WPARAM w, win::LPARAM) {
    if (m == 1124 && w == 42) {
      onGuiThread = QThread::currentThread() == QApplication::instance()->thread();
      ++arrived;
    }
    return win::LRESULT(0);
  });
  std::thread poster([this] { EXPECT_TRUE(win::PostMessage(window_, 1124, 42, 0)); });
  poster.join();
  EXPECT_EQ(arrived, 0) << "delivered before the loop ran";
  ASSERT_TRUE(PumpUntil([&] { return arrived > 0; }));
  EXPECT_TRUE(onGuiThread);
  EXPECT_EQ(arrived, 1);
}

TEST_F(QtUserTest, TimerTicksAndCanBeKilledFromItsOwnTick) {
  int ticks = 0;
  win::SetWindowProc(window_, [&](win::HWND w, win::UINT m, win::WPARAM id, win::LPARAM) {
    if (m == win::WM_TIMER && id == 3 && ++ticks == 2) win::KillTimer(w, 3);
    return win::LRESULT(0);
  });
  ASSERT_TRUE(win::SetTimer(window_, 3, 10, nullptr));
  ASSERT_TRUE(PumpUntil([&] { return ticks >= 2; }));
  PumpUntil([] { return false; });  // another stretch: a killed timer must stay quiet
  EXPECT_EQ(ticks, 2);
}

TEST_F(QtUserTest, ScreenGeometryComesFromQt) {
  EXPECT_GT(win::GetSystemMetrics(win::SM_CXSCREEN), 0);
  EXPECT_GE(win::GetSystemMetrics(win::SM_CMONITORS), 1);
  win::RECT work{};
  ASSERT_TRUE(win::SystemParametersInfo(win::SPI_GETWORKAREA, 0, &work, 0));
  EXPECT_GT(work.right, work.left);
  win::UINT lines = 0;
  ASSERT_TRUE(win::SystemParametersInfo(win::SPI_GETWHEELSCROLLLINES, 0, &lines, 0));
  EXPECT_GE(lines, 1u);
}

}  // namespace
