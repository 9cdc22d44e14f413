// The styled controls in a form: what they paint, how they take the mouse and keys, and the
// order of their notifications.
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <memory>
#include <string>

#include "platform/shell/shell.h"
#include "tests/ui/ui_test_support.h"
#include "tests/widgets/widget_test_support.h"
#include "ui/forms.h"
#include "widgets/color_math.h"
#include "widgets/rz_bmp_button.h"
#include "widgets/rz_button.h"
#include "widgets/rz_list_box.h"
#include "widgets/rz_panel.h"
#include "widgets/rz_status.h"
#include "widgets/rz_url_label.h"

namespace {

using widget_test::GradientRow;
using widget_test::Hex;

// PaintBuffer pixels are 0x00RRGGBB.
std::uint32_t Rgb(win::COLORREF c) {
  return (std::uint32_t(win::GetRValue(c)) << 16) | (std::uint32_t(win::GetGValue(c)) << 8) |
         win::GetBValue(c);
}

class ControlsTest : public uitest::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetBounds(0, 0, 400, 300);
    form_->SetColor(clWhite);
  }
  template <class T>
  T* Add(TWinControl* parent, int x, int y, int w, int h) {
    auto* c = new T(form_.get());
    c->SetBounds(x, y, w, h);
    c->SetParent(parent);
    return c;
  }
  void ShowAndFocus() {
    form_->Show();
    form_->Widget()->activateWindow();
    QApplication::setActiveWindow(form_->Widget());
    PumpUntil([&] { return form_->Widget()->isActiveWindow(); });
  }
  static std::uint32_t PixelOf(TWinControl* c, int x, int y) {
    c->PaintWindow();
    return c->Buffer()->Pixel(x, y);
  }
  static void Mouse(QWidget* w, QEvent::Type type, int x, int y) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(x, y), w->mapToGlobal(QPointF(x, y)), Qt::LeftButton, held,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  }
  static void Key(QWidget* w, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &release);
  }
  std::unique_ptr<TForm> form_;
};

TEST_F(ControlsTest, RoundedPanelOnAWhiteParentAndItsOwnPaint) {
  auto* panel = Add<TRzPanel>(form_.get(), 10, 10, 60, 40);  // the preview frame
  panel->SetBorderOuter(TFrameStyleEx::fsFlatRounded);
  panel->SetFlatColor(5613202);
  panel->SetColor(16775924);
  panel->SetVisualStyle(TVisualStyle::vsGradient);
  panel->SetGradientColorStyle(TGradientColorStyle::gcsCustom);
  int paints = 0;
  panel->OnPaint = [&](TObject* sender) {
    EXPECT_EQ(sender, panel);
    ++paints;
  };
  EXPECT_EQ(PixelOf(panel, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(PixelOf(panel, 59, 39), 0xFFFFFFu);
  EXPECT_EQ(PixelOf(panel, 1, 1), Rgb(Hex(0xADBD7E)));
  EXPECT_EQ(PixelOf(panel, 58, 38), Rgb(Hex(0xADBD7E)));
  EXPECT_EQ(PixelOf(panel, 1, 20), Rgb(Hex(0xF4FAFF)));
  EXPECT_EQ(PixelOf(panel, 30, 37), Rgb(GetSysColor(kColorBtnFace)))
      << "no colours stored: the gradient ends in the button face";
  EXPECT_GT(paints, 0);

  // Children aligned to the client area stay inside the border.
  auto* child = Add<TRzPanel>(panel, 0, 0, 5, 5);
  child->SetAlign(TAlign::alClient);
  panel->Realign();
  EXPECT_EQ(child->Left(), 2);
  EXPECT_EQ(child->Top(), 2);
  EXPECT_EQ(child->Width(), 56);
  EXPECT_EQ(child->Height(), 36);
}

TRzButton* BatchButton(TRzButton* b) {  // RzButton2
  b->SetFrameColor(10651695);
  b->SetColor(16769186);
  b->SetHighlightColor(clWhite);
  b->SetHotTrack(true);
  b->SetCaption("\xC5\xFA\xC1\xBF\xC9\xFA\xB3\xC9\xCB\xF5\xC2\xD4\xCD\xBC");
  return b;
}

TEST_F(ControlsTest, HotTrackingButtonFaces) {
  auto* group = Add<TRzPanel>(form_.get(), 0, 0, 300, 200);
  group->SetColor(clBtnFace);
  group->SetBorderOuter(TFrameStyleEx::fsNone);
  auto* button = BatchButton(Add<TRzButton>(group, 10, 10, 134, 49));
  EXPECT_EQ(PixelOf(button, 60, 44), Rgb(GradientRow(Hex(0xE1F5FF), Hex(0x8CD8FF), 43, 42)))
      << "not hovered: no ring";
  button->MouseEnter();
  EXPECT_EQ(PixelOf(button, 60, 44), Rgb(Hex(0xF09B14))) << "hovered: the ring's bottom";
  EXPECT_EQ(PixelOf(button, 60, 45), Rgb(Hex(0x77D1FF)));
  EXPECT_EQ(PixelOf(button, 60, 46), Rgb(Hex(0x62CAFF)));
  EXPECT_EQ(PixelOf(button, 0, 10), Rgb(DarkenColor(clBtnFace, 20)))
      << "etched in the parent's colour";
  button->MouseLeave();
  EXPECT_EQ(PixelOf(button, 60, 44), Rgb(GradientRow(Hex(0xE1F5FF), Hex(0x8CD8FF), 43, 42)));
  button->SetHotTrack(false);
  button->MouseEnter();
  EXPECT_EQ(PixelOf(button, 60, 44), Rgb(GradientRow(Hex(0xE1F5FF), Hex(0x8CD8FF), 43, 42)))
      << "no ring without HotTrack";
}

TEST_F(ControlsTest, ButtonClicksOnlyOnReleaseInside) {
  auto* button = BatchButton(Add<TRzButton>(form_.get(), 10, 10, 134, 49));
  int clicks = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  ShowAndFocus();
  QWidget* w = button->Widget();

  Mouse(w, QEvent::MouseButtonPress, 20, 20);
  EXPECT_TRUE(button->Focused());
  EXPECT_TRUE(button->Pressed());
  EXPECT_EQ(PixelOf(button, 60, 20), Rgb(Hex(0x8CD8FF))) << "pressed: a flat face";
  Mouse(w, QEvent::MouseMove, 200, 20);
  EXPECT_FALSE(button->Pressed());
  Mouse(w, QEvent::MouseButtonRelease, 200, 20);
  EXPECT_EQ(clicks, 0) << "released outside";

  Mouse(w, QEvent::MouseButtonPress, 20, 20);
  Mouse(w, QEvent::MouseMove, 200, 20);
  Mouse(w, QEvent::MouseMove, 30, 30);
  EXPECT_TRUE(button->Pressed()) << "back inside";
  Mouse(w, QEvent::MouseButtonRelease, 30, 30);
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(button->Pressed());

  Key(w, Qt::Key_Space, " ");
  EXPECT_EQ(clicks, 2) << "Space";
}

void MakeFace(TBitmap& b, win::COLORREF ink) {
  b.SetColorDepth(TColorDepth::Depth24);
  b.SetWidth(38);
  b.SetHeight(18);
  for (int y = 0; y < 18; ++y)
    for (int x = 0; x < 38; ++x) b.Canvas().SetPixels(x, y, (x + y) % 4 == 0 ? Hex(0x808000) : ink);
}

TEST_F(ControlsTest, CloseButtonShowsThePanelThroughItsOlivePixels) {
  auto* title = Add<TRzPanel>(form_.get(), 0, 0, 400, 30);
  title->SetBorderOuter(TFrameStyleEx::fsNone);
  title->SetVisualStyle(TVisualStyle::vsGradient);
  title->SetGradientColorStyle(TGradientColorStyle::gcsCustom);
  title->SetGradientColorStart(Hex(0x0000FF));
  title->SetGradientColorStop(Hex(0x00FF00));
  auto* close = Add<TRzBmpButton>(title, 315, -1, 80, 30);
  MakeFace(close->Bitmaps().Up(), Hex(0x202020));
  MakeFace(close->Bitmaps().Down(), Hex(0xC00000));
  MakeFace(close->Bitmaps().Hot(), Hex(0xFFFFFF));
  EXPECT_EQ(close->Width(), 38) << "sized to the Up bitmap";
  EXPECT_EQ(close->Height(), 18);
  int clicks = 0;
  close->OnClick = [&](TObject*) { ++clicks; };
  ShowAndFocus();

  auto check = [&](const char* state, win::COLORREF ink) {
    for (int y = 1; y < 18; ++y)  // row 0 is above the panel (the button sits at top -1)
      for (int x = 0; x < 38; ++x) {
        const std::uint32_t want = (x + y) % 4 == 0 ? PixelOf(title, 315 + x, y - 1) : Rgb(ink);
        ASSERT_EQ(PixelOf(close, x, y), want) << state << " at " << x << "," << y;
      }
  };
  check("up", Hex(0x202020));
  close->MouseEnter();
  EXPECT_EQ(close->CurrentFace(), TBmpButtonFace::Hot);
  check("hot", Hex(0xFFFFFF));
  Mouse(close->Widget(), QEvent::MouseButtonPress, 5, 5);
  EXPECT_EQ(close->CurrentFace(), TBmpButtonFace::Down);
  check("down", Hex(0xC00000));
  Mouse(close->Widget(), QEvent::MouseMove, 100, 5);
  EXPECT_EQ(close->CurrentFace(), TBmpButtonFace::Hot) << "moved out while held";
  Mouse(close->Widget(), QEvent::MouseButtonRelease, 100, 5);
  EXPECT_EQ(clicks, 0);
  Mouse(close->Widget(), QEvent::MouseButtonPress, 5, 5);
  Mouse(close->Widget(), QEvent::MouseButtonRelease, 5, 5);
  EXPECT_EQ(clicks, 1);
  close->SetEnabled(false);
  EXPECT_EQ(close->CurrentFace(), TBmpButtonFace::Embossed);
}

TEST_F(ControlsTest, LinkLabelClickOrderAndVisitedColour) {
  std::string log;
  bool opens = false;
  win::SetShellOpenHandler([&](const std::string& target) {
    log += "open(" + target + ")";
    return opens;
  });
  auto* label = Add<TRzURLLabel>(form_.get(), 10, 10, 100, 13);
  label->SetCaption(" \xBB\xB6\xD3\xAD:www.suotu.example ");
  label->OnClick = [&](TObject*) { log += "click;"; };
  EXPECT_EQ(label->Cursor(), 26000);
  EXPECT_EQ(ui::ResolveCursor(26000), crHandPoint);
  EXPECT_TRUE(label->Font().Style().Contains(TFontStyle::fsUnderline));
  EXPECT_EQ(label->Font().Color(), clHighlight);

  label->Click();
  EXPECT_EQ(log, "click;open(\xE6\xAC\xA2\xE8\xBF\x8E:www.suotu.example)");
  EXPECT_FALSE(label->Visited()) << "the shell failed";
  EXPECT_EQ(label->Font().Color(), clHighlight);

  opens = true;
  log.clear();
  label->SetURL("  http://www.suotu.example\t");
  label->Click();
  EXPECT_EQ(log, "click;open(http://www.suotu.example)");
  EXPECT_TRUE(label->Visited());
  EXPECT_EQ(label->Font().Color(), clPurple);

  log.clear();
  label->SetURL("");
  label->SetCaption("   ");
  label->Click();
  EXPECT_EQ(log, "click;") << "nothing to open";
  win::SetShellOpenHandler(nullptr);
}

class ListTest : public ControlsTest {
 protected:
  void SetUp() override {
    ControlsTest::SetUp();
    list_ = Add<TRzListBox>(form_.get(), 5, 31, 173, 200);  // RzListBox1
    list_->Frame().SetFrameVisible(true);
    list_->Frame().SetFrameColor(12638925);
    list_->Frame().SetFrameHotColor(12638925);
    list_->SetMultiSelect(true);
    list_->Items().Assign({"C:\\a\\apple.jpg", "C:\\a\\Apricot.jpg", "C:\\a\\banana.jpg",
                           "C:\\a\\a-very-long-name-that-does-not-fit-in-the-list.jpg"});
    list_->OnClick = [&](TObject*) { ++clicks_; };
    ShowAndFocus();
    list_->SetFocus();
    PumpUntil([&] { return list_->Focused(); });
    clicks_ = 0;
  }
  void Type(const char* text) {
    for (const char* p = text; *p; ++p) Key(list_->Widget(), Qt::Key_unknown, QString(QChar(*p)));
  }
  TRzListBox* list_ = nullptr;
  int clicks_ = 0;
};

TEST_F(ListTest, TypingSelectsWithoutAClick) {
  Type("C:\\a\\b");
  EXPECT_EQ(list_->ItemIndex(), 2);
  EXPECT_TRUE(list_->Selected(2));
  EXPECT_EQ(list_->SelCount(), 1);
  EXPECT_EQ(clicks_, 0);
  Type("x");  // matches nothing: beeps, keeps the text
  EXPECT_EQ(list_->SearchText(), "C:\\a\\b");
  EXPECT_EQ(list_->ItemIndex(), 2);

  Key(list_->Widget(), Qt::Key_Home);
  EXPECT_EQ(list_->SearchText(), "") << "navigation keys clear the search";
}

TEST_F(ListTest, BackspaceOfTheLastCharacterClicksItemZero) {
  Type("C");
  list_->SetItemIndex(2);
  ASSERT_EQ(list_->SearchText(), "C");
  Key(list_->Widget(), Qt::Key_Backspace);
  EXPECT_EQ(list_->ItemIndex(), 0);
  EXPECT_EQ(clicks_, 1);
  EXPECT_EQ(list_->SearchText(), "");
}

TEST_F(ListTest, TheFrameStaysOnePixelWithTheFocus) {
  ASSERT_TRUE(list_->Focused());
  const QImage focused = list_->Widget()->grab().toImage();
  const QRgb frame = qRgb(0xCD, 0xDA, 0xC0);
  EXPECT_EQ(focused.pixel(0, 50), frame);
  EXPECT_EQ(focused.pixel(50, 0), frame);
  EXPECT_EQ(focused.pixel(172, 50), frame);
  EXPECT_EQ(focused.pixel(1, 50), qRgb(255, 255, 255)) << "the second border pixel is erased";
  EXPECT_EQ(focused.pixel(50, 1), qRgb(255, 255, 255));
}

TEST_F(ListTest, HintsForEntriesWiderThanTheList) {
  const win::RECT shortItem = list_->ItemRect(0);
  list_->MouseMove({}, 10, (shortItem.top + shortItem.bottom) / 2);
  EXPECT_FALSE(list_->ItemHintShowing());
  const win::RECT longItem = list_->ItemRect(3);
  list_->MouseMove({}, 10, (longItem.top + longItem.bottom) / 2);
  EXPECT_TRUE(list_->ItemHintShowing());
  EXPECT_EQ(list_->ItemHintText(), "C:\\a\\a-very-long-name-that-does-not-fit-in-the-list.jpg");
  list_->MouseLeave();
  EXPECT_FALSE(list_->ItemHintShowing());
}

TEST_F(ControlsTest, StatusPaneIsHiddenAndKeepsItsCaption) {
  auto* bar = Add<TRzStatusBar>(form_.get(), 0, 280, 400, 19);
  auto* pane = new TRzStatusPane(form_.get());
  pane->SetParent(bar);
  pane->SetCaption("200 x 150");
  EXPECT_FALSE(bar->Visible());
  EXPECT_FALSE(pane->Visible());
  EXPECT_EQ(pane->Caption(), "200 x 150");
}

}  // namespace
