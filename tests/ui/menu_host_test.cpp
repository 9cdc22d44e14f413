// Menu handles shown through the popup menus: the menu messages the owner receives while a
// menu is open, a sub-menu filled by the owner when it opens, and the choice that comes back,
// through a presenter and through Qt's own menus.
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "platform/user/menu.h"
#include "tests/ui/ui_test_support.h"
#include "ui/menus.h"

namespace {

struct Message {
  win::UINT message;
  win::WPARAM wParam;
  win::LPARAM lParam;
  bool operator==(const Message&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Message& m) {
  return out << "{" << std::hex << m.message << ", " << m.wParam << ", " << m.lParam << "}";
}

win::LPARAM L(win::HMENU menu) {
  return reinterpret_cast<win::LPARAM>(menu);
}
win::WPARAM W(win::HMENU menu) {
  return reinterpret_cast<win::WPARAM>(menu);
}

// 打开 (10), a separator, 发送到 (filled by the owner when it opens: X 20, Y 21), 属性 (12,
// greyed). The owner answers the key "y" in the sub-menu with "execute Y".
class MenuHostTest : public uitest::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    top = win::CreatePopupMenu();
    sub = win::CreatePopupMenu();
    win::AppendMenuA(top, win::MF_STRING | win::MF_DEFAULT, 10, "&Open");
    win::AppendMenuA(top, win::MF_SEPARATOR, 0, nullptr);
    win::AppendMenuA(top, win::MF_POPUP, reinterpret_cast<win::UINT_PTR>(sub), "Send &to");
    win::AppendMenuA(top, win::MF_STRING | win::MF_GRAYED, 12, "&Properties");
    owner = win::CreateMessageWindow();
    win::SetWindowProc(owner, [this](win::HWND, win::UINT m, win::WPARAM wp, win::LPARAM lp) {
      log.push_back({m, wp, lp});
      if (m == win::WM_INITMENUPOPUP && wp == W(sub)) {
        while (win::GetMenuItemCount(sub) > 0) win::DeleteMenu(sub, 0, win::MF_BYPOSITION);
        win::AppendMenuA(sub, win::MF_STRING, 20, "X");
        win::AppendMenuA(sub, win::MF_STRING, 21, "Y");
      }
      if (m == win::WM_MENUCHAR && win::LOWORD(wp) == 'y' && lp == L(sub))
        return win::LRESULT(win::MAKELPARAM(1, win::MNC_EXECUTE));
      return win::LRESULT(0);
    });
    previous_ = TPopupMenu::SetPresenter({});
  }
  void TearDown() override {
    TPopupMenu::SetPresenter(previous_);
    win::SetWindowProc(owner, nullptr);
    win::DestroyWindow(owner);
    win::DestroyMenu(top);
    UiTest::TearDown();
  }

  win::HMENU top = nullptr;
  win::HMENU sub = nullptr;
  win::HWND owner = nullptr;
  std::vector<Message> log;

 private:
  TPopupMenu::Presenter previous_;
};

TEST_F(MenuHostTest, OwnerHearsTheMenuOpenEntriesHighlightAndKeysAndTheChoiceComesBack) {
  std::vector<std::string> shown;
  TPopupMenu::SetPresenter([&](TPopupMenu& menu, int, int) -> TMenuItem* {
    TMenuItem& items = menu.Items();
    for (int i = 0; i < items.Count(); ++i)
      shown.push_back(items.Items(i)->Caption() + (items.Items(i)->Enabled() ? "" : " (off)") +
                      (items.Items(i)->Default() ? " (default)" : ""));
    items.Items(0)->Highlight();
    TMenuItem* sendTo = items.Items(2);
    EXPECT_TRUE(sendTo->IsSubMenu());
    EXPECT_EQ(sendTo->Count(), 0);  // nothing before it opens
    sendTo->Highlight();
    sendTo->Opening();
    EXPECT_EQ(sendTo->Count(), 2);
    const TMenuKeyAnswer answer = sendTo->MenuKey('y');
    EXPECT_EQ(answer.action, TMenuKeyAnswer::mkExecute);
    return sendTo->Items(answer.index);
  });
  EXPECT_EQ(
      win::TrackPopupMenu(top, win::TPM_RETURNCMD | win::TPM_RIGHTBUTTON, 3, 4, 0, owner, nullptr),
      21u);
  EXPECT_EQ(shown,
            (std::vector<std::string>{"&Open (default)", "-", "Send &to", "&Properties (off)"}));
  const std::vector<Message> expected = {
      {win::WM_INITMENUPOPUP, W(top), 0},
      {win::WM_MENUSELECT, win::MAKEWPARAM(10, win::MF_HILITE), L(top)},
      {win::WM_MENUSELECT, win::MAKEWPARAM(2, win::MF_POPUP | win::MF_HILITE), L(top)},
      {win::WM_INITMENUPOPUP, W(sub), win::MAKELPARAM(2, 0)},
      {win::WM_MENUCHAR, win::MAKEWPARAM('y', win::MF_POPUP), L(sub)},
      {win::WM_MENUSELECT, win::MAKEWPARAM(0, 0xFFFF), 0},
  };
  EXPECT_EQ(log, expected);

  // Without TPM_RETURNCMD the choice comes as WM_COMMAND; with TPM_NONOTIFY nothing else
  // does, and a key nobody answers is ignored.
  log.clear();
  TPopupMenu::SetPresenter([&](TPopupMenu& menu, int, int) -> TMenuItem* {
    TMenuItem* sendTo = menu.Items().Items(2);
    sendTo->Opening();
    EXPECT_EQ(sendTo->MenuKey('y').action, TMenuKeyAnswer::mkIgnore);
    return sendTo->Items(0);
  });
  EXPECT_EQ(win::TrackPopupMenu(top, win::TPM_NONOTIFY, 3, 4, 0, owner, nullptr),
            win::UINT_PTR(win::TRUE));
  EXPECT_EQ(log, (std::vector<Message>{{win::WM_COMMAND, 20, 0}}));

  // Dismissed: 0, and the close is still told.
  log.clear();
  TPopupMenu::SetPresenter([](TPopupMenu&, int, int) -> TMenuItem* { return nullptr; });
  EXPECT_EQ(win::TrackPopupMenu(top, win::TPM_RETURNCMD, 3, 4, 0, owner, nullptr), 0u);
  EXPECT_EQ(log.back(), (Message{win::WM_MENUSELECT, win::MAKEWPARAM(0, 0xFFFF), 0}));
}

// Qt's menu under the offscreen platform, driven by keys: Down highlights, Right opens the
// sub-menu (filled then), and "y", no entry's access key, goes to the owner, whose answer
// chooses Y.
TEST_F(MenuHostTest, QtMenusSendTheSameMessagesAsTheyAreUsed) {
  int step = 0;
  QTimer driver;
  driver.setInterval(20);
  QObject::connect(&driver, &QTimer::timeout, [&] {
    QWidget* popup = QApplication::activePopupWidget();
    if (popup == nullptr) return;
    auto press = [popup](int key, const QString& text = QString()) {
      QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
      QApplication::sendEvent(popup, &down);
    };
    switch (step++) {
      case 0:  // to 发送到: the separator and nothing else is skipped
        press(Qt::Key_Down);
        press(Qt::Key_Down);
        break;
      case 1:
        press(Qt::Key_Right);
        break;
      case 2:
        if (popup->parentWidget() == nullptr && win::GetMenuItemCount(sub) == 0) {
          --step;  // the sub-menu has not opened yet
          break;
        }
        press(Qt::Key_Y, QStringLiteral("y"));
        break;
      default:
        if (step > 100) popup->close();  // never leave a modal menu behind
        break;
    }
  });
  driver.start();
  const win::UINT_PTR chosen =
      win::TrackPopupMenu(top, win::TPM_RETURNCMD, 10, 10, 0, owner, nullptr);
  driver.stop();
  EXPECT_EQ(chosen, 21u);
  auto has = [this](const Message& m) { return std::find(log.begin(), log.end(), m) != log.end(); };
  EXPECT_TRUE(has({win::WM_INITMENUPOPUP, W(top), 0}));
  EXPECT_TRUE(
      has({win::WM_MENUSELECT, win::MAKEWPARAM(2, win::MF_POPUP | win::MF_HILITE), L(top)}));
  EXPECT_TRUE(has({win::WM_INITMENUPOPUP, W(sub), win::MAKELPARAM(2, 0)}));
  EXPECT_TRUE(has({win::WM_MENUCHAR, win::MAKEWPARAM('y', win::MF_POPUP), L(sub)}));
  EXPECT_EQ(log.back(), (Message{win::WM_MENUSELECT, win::MAKEWPARAM(0, 0xFFFF), 0}));
}

}  // namespace
