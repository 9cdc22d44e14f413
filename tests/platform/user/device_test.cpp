// Device broadcasts from drive table changes, delivered by the headless host's loop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/kernel/kernel.h"
#include "platform/user/device.h"

namespace {

struct Heard {
  int who;
  win::WPARAM event;
  win::DWORD mask;
};

class DeviceBroadcast : public testing::Test {
 protected:
  void SetUp() override {
    win::SetDriveTable({{'C', "/", win::DRIVE_FIXED}, {'E', "/tmp", win::DRIVE_FIXED}});
    for (int who = 0; who < 3; ++who) {
      windows_[who] = win::CreateMessageWindow();
      win::SetWindowProc(
          windows_[who],
          [this, who](win::HWND, win::UINT m, win::WPARAM w, win::LPARAM l) -> win::LRESULT {
            if (m != win::WM_DEVICECHANGE) return 0;
            const auto* volume = reinterpret_cast<const win::DEV_BROADCAST_VOLUME*>(l);
            EXPECT_EQ(volume->dbcv_devicetype, win::DBT_DEVTYP_VOLUME);
            heard_.push_back({who, w, volume->dbcv_unitmask});
            return 1;
          });
    }
  }
  void TearDown() override {
    for (win::HWND w : windows_) {
      win::ListenForDeviceBroadcasts(w, win::FALSE);
      win::DestroyWindow(w);
    }
    win::SetDriveTable({});
    win::DispatchPostedMessages();
  }
  std::vector<Heard> Change(std::vector<win::DriveMapping> table) {
    heard_.clear();
    win::SetDriveTable(std::move(table));
    win::DispatchPostedMessages();
    return heard_;
  }

  win::HWND windows_[3] = {};
  std::vector<Heard> heard_;
};

bool operator==(const Heard& a, const Heard& b) {
  return a.who == b.who && a.event == b.event && a.mask == b.mask;
}

constexpr win::DWORD kD = 1u << 3;
constexpr win::DWORD kE = 1u << 4;
constexpr win::DWORD kF = 1u << 5;

TEST_F(DeviceBroadcast, ListenersHearArrivalsAndRemovalsInTheirOrder) {
  ASSERT_TRUE(win::ListenForDeviceBroadcasts(windows_[2], win::TRUE));
  ASSERT_TRUE(win::ListenForDeviceBroadcasts(windows_[0], win::TRUE));
  ASSERT_TRUE(win::ListenForDeviceBroadcasts(windows_[0], win::TRUE)) << "twice is once";
  using V = std::vector<Heard>;
  const win::DriveMapping c{'C', "/", win::DRIVE_FIXED};
  const win::DriveMapping e{'E', "/tmp", win::DRIVE_FIXED};
  const win::DriveMapping usb{'D', "/media/usb", win::DRIVE_REMOVABLE};

  EXPECT_EQ(Change({c, e, usb}),
            (V{{2, win::DBT_DEVICEARRIVAL, kD}, {0, win::DBT_DEVICEARRIVAL, kD}}))
      << "window 1 does not listen";
  EXPECT_EQ(Change({c, e, usb}), V{}) << "nothing changed";
  EXPECT_EQ(
      Change({c, {'D', "/media/other", win::DRIVE_REMOVABLE}, {'F', "/srv", win::DRIVE_FIXED}}),
      (V{{2, win::DBT_DEVICEREMOVECOMPLETE, kD | kE},
         {0, win::DBT_DEVICEREMOVECOMPLETE, kD | kE},
         {2, win::DBT_DEVICEARRIVAL, kD | kF},
         {0, win::DBT_DEVICEARRIVAL, kD | kF}}))
      << "D: now names another volume: removed, then arrived";

  win::ListenForDeviceBroadcasts(windows_[2], win::FALSE);
  win::DestroyWindow(windows_[0]);  // a listener that died without saying so
  EXPECT_EQ(Change({c}), V{});
  EXPECT_FALSE(win::ListenForDeviceBroadcasts(windows_[0], win::TRUE));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_WINDOW_HANDLE);
}

}  // namespace
