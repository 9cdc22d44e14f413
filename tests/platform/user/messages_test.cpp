// Windows, messages, timers, capture, message boxes and settings without a GUI host.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/user/user.h"

namespace {

struct Seen {
  win::HWND window;
  win::UINT message;
  win::WPARAM wParam;
  win::LPARAM lParam;
};

class MessagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = win::CreateMessageWindow();
    ASSERT_NE(window_, nullptr);
    ASSERT_TRUE(win::SetWindowProc(
        window_, [this](win::HWND w, win::UINT m, win::WPARAM wp, win::LPARAM lp) -> win::LRESULT {
          seen_.push_back({w, m, wp, lp});
          return win::LRESULT(m) + 1;
        }));
  }
  void TearDown() override {
    win::SetWindowProc(window_, nullptr);
    win::DestroyWindow(window_);
    win::DispatchPostedMessages();
  }
  win::HWND window_ = nullptr;
  std::vector<Seen> seen_;
};

TEST_F(MessagesTest, SentMessagesRunAtOncePostedOnesWaitForTheLoop) {
  EXPECT_EQ(win::SendMessage(window_, win::WM_USER + 36, 7, -3), win::WM_USER + 37);
  ASSERT_EQ(seen_.size(), 1u);
  EXPECT_EQ(seen_[0].wParam, 7u);
  EXPECT_EQ(seen_[0].lParam, -3);

  EXPECT_TRUE(win::PostMessage(window_, win::WM_USER + 100, 1, 2));
  EXPECT_TRUE(win::PostMessage(window_, win::WM_USER + 101, 3, 4));
  EXPECT_EQ(seen_.size(), 1u) << "a posted message must not run inside PostMessage";
  EXPECT_EQ(win::DispatchPostedMessages(), 2);
  ASSERT_EQ(seen_.size(), 3u);
  EXPECT_EQ(seen_[1].message, win::WM_USER + 100);
  EXPECT_EQ(seen_[2].message, win::WM_USER + 101) << "posted messages keep their order";
}

TEST_F(MessagesTest, DeadWindowsAreRefusedAndLateMessagesDropped) {
  ASSERT_TRUE(win::PostMessage(window_, win::WM_USER, 0, 0));
  win::HWND dead = window_;
  ASSERT_TRUE(win::DestroyWindow(dead));
  EXPECT_EQ(win::DispatchPostedMessages(), 1);
  EXPECT_TRUE(seen_.empty()) << "a message posted before the window died reached it";

  win::SetLastError(0);
  EXPECT_FALSE(win::PostMessage(dead, win::WM_USER, 0, 0));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_EQ(win::SendMessage(dead, win::WM_USER, 0, 0), 0);
  EXPECT_FALSE(win::SetWindowProc(
      dead, [](win::HWND, win::UINT, win::WPARAM, win::LPARAM) { return win::LRESULT(0); }));
  EXPECT_FALSE(win::SetTimer(dead, 1, 100, nullptr));
  window_ = win::CreateMessageWindow();  // for TearDown
}

TEST_F(MessagesTest, TimersTickUntilKilled) {
  EXPECT_EQ(win::SetTimer(window_, 5, 100, nullptr), 5u);
  win::TimerFired(window_, 5);
  ASSERT_EQ(seen_.size(), 1u);
  EXPECT_EQ(seen_[0].message, win::WM_TIMER);
  EXPECT_EQ(seen_[0].wParam, 5u);
  EXPECT_TRUE(win::KillTimer(window_, 5));
  win::TimerFired(window_, 5);  // a tick already on its way
  EXPECT_EQ(seen_.size(), 1u);
  EXPECT_FALSE(win::KillTimer(window_, 5));

  // Removing the handler (the control is going) stops its timers.
  ASSERT_TRUE(win::SetTimer(window_, 6, 100, nullptr));
  ASSERT_TRUE(win::SetWindowProc(window_, nullptr));
  EXPECT_FALSE(win::KillTimer(window_, 6));
}

TEST_F(MessagesTest, CaptureMovesAndTellsTheLoser) {
  win::HWND other = win::CreateMessageWindow();
  EXPECT_EQ(win::SetCapture(window_), nullptr);
  EXPECT_EQ(win::GetCapture(), window_);
  EXPECT_EQ(win::SetCapture(other), window_);
  ASSERT_EQ(seen_.size(), 1u);
  EXPECT_EQ(seen_[0].message, win::WM_CAPTURECHANGED);
  EXPECT_EQ(seen_[0].lParam, reinterpret_cast<win::LPARAM>(other));
  win::ReleaseCapture();
  EXPECT_EQ(win::GetCapture(), nullptr);
  win::DestroyWindow(other);
}

TEST(UserSettingsTest, MessageBoxGoesToThePresenter) {
  struct Box {
    std::string text, caption;
    win::UINT type;
  };
  std::vector<Box> shown;
  auto previous = win::SetMessageBoxPresenter(
      [&](win::HWND, const std::string& t, const std::string& c, win::UINT type) {
        shown.push_back({t, c, type});
        return win::IDCANCEL;
      });
  EXPECT_EQ(win::MessageBox(nullptr, "text", "Project1", win::MB_ICONHAND), win::IDCANCEL);
  EXPECT_EQ(win::MessageBox(nullptr, nullptr, nullptr, win::MB_ICONEXCLAMATION), win::IDCANCEL);
  win::SetMessageBoxPresenter(previous);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, "text");
  EXPECT_EQ(shown[0].caption, "Project1");
  EXPECT_EQ(shown[0].type, 16u);
  EXPECT_EQ(shown[1].text, "");
  EXPECT_EQ(shown[1].caption, "Error");
  EXPECT_EQ(shown[1].type, 48u);
}

TEST(UserSettingsTest, SettingsAndMetricsOfTheHeadlessHost) {
  struct Case {
    win::UINT action;
    win::UINT expected;
  };
  for (const Case& c :
       {Case{win::SPI_GETWHEELSCROLLLINES, 3}, Case{win::SPI_GETMOUSEHOVERWIDTH, 4},
        Case{win::SPI_GETMOUSEHOVERHEIGHT, 4}, Case{win::SPI_GETMOUSEHOVERTIME, 400}}) {
    win::UINT value = 0xDEAD;
    EXPECT_TRUE(win::SystemParametersInfo(c.action, 0, &value, 0)) << c.action;
    EXPECT_EQ(value, c.expected) << c.action;
  }
  win::RECT work{};
  EXPECT_TRUE(win::SystemParametersInfo(win::SPI_GETWORKAREA, 0, &work, 0));
  EXPECT_EQ(work.right - work.left, 1280);
  EXPECT_FALSE(win::SystemParametersInfo(win::SPI_GETWHEELSCROLLLINES, 0, nullptr, 0));
  win::UINT unused = 0;
  EXPECT_FALSE(win::SystemParametersInfo(0x7777, 0, &unused, 0));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_PARAMETER);

  EXPECT_EQ(win::GetSystemMetrics(win::SM_CXSCREEN), 1280);
  EXPECT_EQ(win::GetSystemMetrics(win::SM_CYVIRTUALSCREEN), 800);
  EXPECT_EQ(win::GetSystemMetrics(win::SM_CXVSCROLL), 16);
  EXPECT_EQ(win::GetSystemMetrics(9999), 0);
  EXPECT_EQ(win::GetDoubleClickTime(), 500u);
}

TEST(UserSettingsTest, ClassicSchemeAndStockCursors) {
  EXPECT_EQ(win::GetSysColor(15), win::RGB(0xD4, 0xD0, 0xC8));  // button face
  EXPECT_EQ(win::GetSysColor(21), win::RGB(0x40, 0x40, 0x40));  // 3-D dark shadow
  EXPECT_EQ(win::GetSysColor(13), win::RGB(0x0A, 0x24, 0x6A));  // highlight
  EXPECT_EQ(win::GetSysColor(24), win::RGB(0xFF, 0xFF, 0xE1));  // hint background
  EXPECT_EQ(win::GetSysColor(-1), 0u);
  EXPECT_EQ(win::GetSysColor(31), 0u);

  EXPECT_EQ(win::CursorId(win::LoadCursor(nullptr, win::IDC_WAIT)), 32514);
  EXPECT_EQ(win::CursorId(win::LoadCursor(nullptr, win::IDC_HAND)), 32649);
  EXPECT_EQ(win::LoadCursor(nullptr, reinterpret_cast<const char*>(32647)), nullptr);
  EXPECT_EQ(win::LoadCursor(nullptr, reinterpret_cast<const char*>(1)), nullptr);
  win::HCURSOR wait = win::LoadCursor(nullptr, win::IDC_WAIT);
  win::SetCursor(wait);
  EXPECT_EQ(win::SetCursor(nullptr), wait);
  EXPECT_EQ(win::GetCursor(), nullptr);
}

}  // namespace
