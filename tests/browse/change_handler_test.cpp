// The watcher thread and the device relay, on drives of the test's own: which drives are
// watched, what the worker posts, and that ending it closes everything it held.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "browse/change_handler.h"
#include "browse/device_change.h"
#include "platform/kernel/kernel.h"
#include "platform/user/device.h"
#include "runtime/exceptions.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/ui_test_support.h"
#include "ui/controls.h"

namespace {

namespace fs = std::filesystem;

int OpenDescriptors() {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

// Runs the event loop until done() or `limit` ms have passed (the machine may be loaded).
template <class Done>
bool PumpFor(Done done, int limit = 10000) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < limit) QApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

// A window that counts the change seen per slot.
class SignalWindow {
 public:
  SignalWindow() : handle_(win::CreateMessageWindow()) {
    win::SetWindowProc(handle_, [this](win::HWND, win::UINT m, win::WPARAM w, win::LPARAM l) {
      if (m == kMessage && l == 0) signals_.push_back(int(w));
      return win::LRESULT(0);
    });
  }
  ~SignalWindow() {
    win::SetWindowProc(handle_, nullptr);
    win::DestroyWindow(handle_);
  }
  win::HWND Handle() const { return handle_; }
  std::vector<int>& Signals() { return signals_; }
  static constexpr win::UINT kMessage = win::WM_USER + 101;

 private:
  win::HWND handle_;
  std::vector<int> signals_;
};

class ChangeHandlerTest : public uitest::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    for (const char* dir : {"c", "usb", "ram", "share", "cd"})
      fs::create_directories(scratch.HostOf(dir));
    ASSERT_EQ(mkfifo(scratch.HostOf("hung").c_str(), 0600), 0);
    win::SetNetworkProbeTimeout(100);
    win::SetDriveTable({{'C', scratch.HostOf("c"), win::DRIVE_FIXED},
                        {'D', scratch.HostOf("usb"), win::DRIVE_REMOVABLE},
                        {'E', scratch.HostOf("cd"), win::DRIVE_CDROM},
                        {'H', scratch.HostOf("hung"), win::DRIVE_REMOTE},
                        {'N', scratch.HostOf("share"), win::DRIVE_REMOTE},
                        {'R', scratch.HostOf("ram"), win::DRIVE_RAMDISK}});
  }
  void TearDown() override {
    const int writer = open(scratch.HostOf("hung").c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) close(writer);  // lets a probe still waiting on the FIFO finish
    win::SetNetworkProbeTimeout(1500);
    win::SetDriveTable({});
    QApplication::processEvents();
    UiTest::TearDown();
  }
  test_support::ScratchFolder scratch{"suotu-watch"};
};

bool Has(const std::vector<int>& seen, int slot) {
  return std::find(seen.begin(), seen.end(), slot) != seen.end();
}

TEST_F(ChangeHandlerTest, WatchesFixedRamAndAnsweringNetworkDrivesOnly) {
  SignalWindow window;
  auto watcher = std::make_unique<TChangeHandlerThread>(window.Handle(), SignalWindow::kMessage);
  ASSERT_EQ(watcher->WatchDrives(false), 3) << "C:, N: and R:, in that order";
  struct Step {
    const char* make;
    int slot;  // -1: not watched
  } steps[] = {{"c/new", 0}, {"share/new", 1}, {"ram/new", 2}, {"usb/new", -1}, {"cd/new", -1}};
  int marker = 0;
  for (const Step& s : steps) {
    window.Signals().clear();
    fs::create_directory(scratch.HostOf(s.make));
    if (s.slot >= 0) {
      EXPECT_TRUE(PumpFor([&] { return Has(window.Signals(), s.slot); })) << s.make;
      continue;
    }
    // Nothing to wait for, so a change on C: made after it shows when the worker is past it.
    fs::create_directory(scratch.HostOf("c/marker" + std::to_string(marker++)));
    ASSERT_TRUE(PumpFor([&] { return Has(window.Signals(), 0); })) << s.make;
    for (int slot : window.Signals()) EXPECT_EQ(slot, 0) << s.make;
  }
  // Watching again replaces the watches instead of adding to them.
  EXPECT_EQ(watcher->WatchDrives(true), 3);
  window.Signals().clear();
  scratch.Write("c/file.txt", "x");
  EXPECT_TRUE(PumpFor([&] { return Has(window.Signals(), 0); })) << "file names now too";
}

TEST_F(ChangeHandlerTest, SlotsFillInOrderAndAFreedSlotIsReused) {
  SignalWindow window;
  TChangeHandlerThread watcher(window.Handle(), SignalWindow::kMessage);
  auto watch = [&] {
    return win::FindFirstChangeNotificationA("C:\\", win::TRUE, win::FILE_NOTIFY_CHANGE_DIR_NAME);
  };
  for (int i = 0; i < TChangeHandlerThread::kSlotCount; ++i)
    ASSERT_EQ(watcher.AddWatch(watch()), i);
  win::HANDLE extra = watch();
  EXPECT_EQ(watcher.AddWatch(extra), -1) << "all 63 taken";
  EXPECT_FALSE(win::FindNextChangeNotification(extra)) << "the handle without a slot is closed";
  EXPECT_EQ(watcher.AddWatch(nullptr), -1);

  ASSERT_TRUE(watcher.RemoveWatch(5));
  EXPECT_FALSE(watcher.RemoveWatch(63));
  fs::create_directory(scratch.HostOf("c/one"));
  ASSERT_TRUE(PumpFor([&] { return Has(window.Signals(), 62) && Has(window.Signals(), 0); }));
  EXPECT_FALSE(Has(window.Signals(), 5)) << "the removed watch";
  EXPECT_EQ(watcher.AddWatch(watch()), 5) << "the first empty slot";
  ASSERT_TRUE(watcher.RemoveAllWatches());
  EXPECT_EQ(watcher.AddWatch(watch()), 0);
}

// Ending the worker while changes keep coming: the thread ends and every descriptor it held
// (events, the thread, the inotify queues) is closed.
TEST_F(ChangeHandlerTest, EndingWhileChangesArriveLeavesNothingOpen) {
  SignalWindow window;
  const int before = OpenDescriptors();
  std::atomic<bool> stop{false};
  std::thread churn([&] {
    for (int i = 0; !stop; ++i) {
      const fs::path dir = scratch.HostOf("c/churn" + std::to_string(i % 8));
      std::error_code ignored;
      if (!fs::create_directory(dir, ignored)) fs::remove(dir, ignored);
    }
  });
  for (int round = 0; round < 3; ++round) {
    window.Signals().clear();
    auto watcher = std::make_unique<TChangeHandlerThread>(window.Handle(), SignalWindow::kMessage);
    ASSERT_EQ(watcher->WatchDrives(true), 3);
    ASSERT_TRUE(PumpFor([&] { return window.Signals().size() >= 5; }));
    watcher.reset();
  }
  stop = true;
  churn.join();
  // The thread object's descriptor goes the moment the ended thread lets go of it.
  EXPECT_TRUE(PumpFor([&] { return OpenDescriptors() == before; })) << OpenDescriptors();
}

class Recorder : public TControl {
 public:
  explicit Recorder(TComponent* owner) : TControl(owner) {}
};

TEST_F(ChangeHandlerTest, DeviceRelayCallsReceiversInOrderAndShowsTheirFailures) {
  TRzDeviceChangeHandler& relay = TRzDeviceChangeHandler::Instance();
  ASSERT_EQ(&relay, &TRzDeviceChangeHandler::Instance()) << "one per process";
  Recorder a(nullptr), b(nullptr), c(nullptr);
  std::string calls;
  std::vector<win::WPARAM> events;
  relay.Register(&a, [&](win::WPARAM event, win::LPARAM) {
    calls += 'a';
    events.push_back(event);
    throw Exception("receiver a failed");
  });
  relay.Register(&b, [&](win::WPARAM, win::LPARAM) {
    calls += 'b';
    relay.Unregister(&c);
  });
  relay.Register(&c, [&](win::WPARAM, win::LPARAM) { calls += 'c'; });
  // A window of our own hears the broadcast after the relay, which registered first.
  SignalWindow listener;
  int broadcasts = 0;
  win::SetWindowProc(listener.Handle(), [&](win::HWND, win::UINT m, win::WPARAM, win::LPARAM) {
    if (m == win::WM_DEVICECHANGE) ++broadcasts;
    return win::LRESULT(1);
  });
  win::ListenForDeviceBroadcasts(listener.Handle(), win::TRUE);

  std::vector<win::DriveMapping> table = win::DriveTable();
  table.push_back({'U', scratch.HostOf("usb"), win::DRIVE_REMOVABLE});
  win::SetDriveTable(table);
  ASSERT_TRUE(PumpFor([&] { return calls.size() >= 2; }));
  EXPECT_EQ(calls, "ab") << "in order, on past a failure; c was unregistered by b";
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "receiver a failed.");
  EXPECT_EQ(events, std::vector<win::WPARAM>{win::DBT_DEVICEARRIVAL});

  relay.SetActive(false);
  table.pop_back();
  win::SetDriveTable(table);
  ASSERT_TRUE(PumpFor([&] { return broadcasts == 2; }));
  QApplication::processEvents();  // the relay message posted during the broadcast
  EXPECT_EQ(calls, "ab") << "inactive";
  relay.SetActive(true);
  relay.Unregister(&a);
  relay.Unregister(&b);
  win::ListenForDeviceBroadcasts(listener.Handle(), win::FALSE);
}

}  // namespace
