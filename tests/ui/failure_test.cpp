// The failure display: its text rule and caption, the silent abort, and failures escaping
// from each kind of call Qt makes into our code, after which the loop goes on.
#include <QMouseEvent>
#include <QPushButton>
#include <memory>
#include <stdexcept>

#include "runtime/exceptions.h"
#include "ui/stdctrls.h"
#include "ui_test_support.h"

namespace {

using uitest::UiTest;

class FailureTest : public UiTest {};

TEST_F(FailureTest, MessageTextGetsItsFullStopByTheLastByte) {
  struct Case {
    AnsiString message;
    AnsiString shown;
  } cases[] = {
      {"'abc' is not a valid integer value", "'abc' is not a valid integer value."},
      {"ends with a dot.", "ends with a dot."},
      {"Done!", "Done!"},
      {"(see above)", "(see above)"},
      {"trailing blank ", "trailing blank "},
      {"digit 7", "digit 7."},
      {"colon:", "colon:."},
      {"why?", "why?."},
      {"\xB2\xD9\xD7\xF7", "\xB2\xD9\xD7\xF7."},  // a double-byte character last
      {"", ""},
  };
  for (const Case& c : cases) {
    boxes_.clear();
    Application->HandleException(std::make_exception_ptr(EConvertError(c.message)));
    ASSERT_EQ(boxes_.size(), 1u) << c.message;
    EXPECT_EQ(boxes_[0].text, c.shown) << c.message;
    EXPECT_EQ(boxes_[0].caption, Application->Title());
    EXPECT_EQ(boxes_[0].flags, 16u) << "a stop icon and one OK button";
  }
  EXPECT_EQ(Application->Title(), "ui_tests") << "the program file's name";
}

TEST_F(FailureTest, SilentAbortShowsNothingButOtherFailuresDo) {
  Application->HandleException(std::make_exception_ptr(EAbort()));
  EXPECT_TRUE(boxes_.empty());
  Application->HandleException(std::make_exception_ptr(std::runtime_error("plain")));
  Application->HandleException(std::make_exception_ptr(42));
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[0].text, "plain.");
  EXPECT_EQ(boxes_[1].text, "Unknown exception.");
}

TEST_F(FailureTest, TheControlHoldingTheMouseLetsGoFirst) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetBounds(0, 0, 200, 100);
  auto* panel = new TPanel(form.get());
  panel->SetParent(form.get());
  panel->SetMouseCapture(true);
  ASSERT_TRUE(panel->MouseCapture());
  Application->HandleException(std::make_exception_ptr(EConvertError("x")));
  EXPECT_FALSE(panel->MouseCapture()) << "no cancel-mode reached the capture window";
  EXPECT_EQ(win::GetCapture(), nullptr);
  EXPECT_EQ(boxes_.size(), 1u);
}

// A panel whose every entry point can be made to fail.
class FailingPanel : public TPanel {
 public:
  using TPanel::TPanel;
  bool failPaint = false;
  int messages = 0;
  win::LRESULT WndProc(win::UINT message, win::WPARAM w, win::LPARAM l) override {
    if (message == win::WM_TIMER) {
      win::KillTimer(Handle(), w);
      throw EInvalidOperation("from a timer");
    }
    if (message == win::WM_USER + 7) throw EInvalidOperation("from a posted message");
    if (message == win::WM_USER + 8) ++messages;
    return TPanel::WndProc(message, w, l);
  }

 protected:
  void Paint() override {
    TPanel::Paint();
    if (failPaint) throw EInvalidOperation("from a paint");
  }
};

TEST_F(FailureTest, FailuresFromEveryKindOfCallReachTheDisplayAndTheLoopGoesOn) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetBounds(10, 10, 300, 200);
  auto* panel = new FailingPanel(form.get());
  panel->SetBounds(0, 0, 150, 100);
  panel->SetParent(form.get());
  auto* button = new TButton(form.get());
  button->SetBounds(160, 10, 75, 25);
  button->SetParent(form.get());
  button->OnClick = [](TObject*) { throw EConvertError("from a click"); };
  form->Show();

  struct Case {
    const char* what;
    std::function<void()> trigger;
  } cases[] = {
      {"from a click",
       [&] {
         QWidget* w = button->Widget();
         const QPointF at(10, 10);
         QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton,
                           Qt::LeftButton, Qt::NoModifier);
         QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton,
                             Qt::NoButton, Qt::NoModifier);
         QApplication::sendEvent(w, &press);
         QApplication::sendEvent(w, &release);
       }},
      {"from a paint",
       [&] {
         panel->failPaint = true;
         panel->Repaint();
       }},
      {"from a timer", [&] { win::SetTimer(panel->Handle(), 1, 10, nullptr); }},
      {"from a posted message", [&] { win::PostMessage(panel->Handle(), win::WM_USER + 7, 0, 0); }},
  };
  for (const Case& c : cases) {
    boxes_.clear();
    panel->failPaint = false;
    c.trigger();
    ASSERT_TRUE(PumpUntil([&] { return !boxes_.empty(); })) << c.what;
    panel->failPaint = false;
    EXPECT_EQ(boxes_[0].text, AnsiString(c.what) + ".");
    EXPECT_EQ(boxes_[0].flags, 16u);
    // The loop still runs: a later message is delivered.
    const int before = panel->messages;
    win::PostMessage(panel->Handle(), win::WM_USER + 8, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return panel->messages > before; })) << "after " << c.what;
  }
}

TEST_F(FailureTest, ShowNoticeIsThePlainBoxWithTheTitle) {
  ShowNotice("\xB2\xD9\xD7\xF7\xCD\xEA\xB3\xC9!");
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "\xB2\xD9\xD7\xF7\xCD\xEA\xB3\xC9!") << "no full stop rule here";
  EXPECT_EQ(boxes_[0].caption, Application->Title());
  EXPECT_EQ(boxes_[0].flags, 0u);
}

}  // namespace
