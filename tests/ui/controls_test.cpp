// The control tree itself: ownership, painting of graphic children, mouse routing and capture,
// popup menus, inherited fonts and colours, tab order, label and memo behaviour, the bridge.
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "runtime/exceptions.h"
#include "ui/bridge.h"
#include "ui/extctrls.h"
#include "ui/menus.h"
#include "ui/stdctrls.h"
#include "ui_test_support.h"

namespace {

using uitest::UiTest;

class ControlsTest : public UiTest {};

// Records its own end, so the order of destruction can be read.
class Tracked : public TComponent {
 public:
  Tracked(TComponent* owner, std::vector<std::string>& log, std::string name)
      : TComponent(owner), log_(log), tag_(std::move(name)) {}
  ~Tracked() override { log_.push_back(tag_); }

 private:
  std::vector<std::string>& log_;
  std::string tag_;
};

TEST_F(ControlsTest, OwnerDestroysWhatItOwnsLastFirst) {
  std::vector<std::string> log;
  {
    TComponent owner(nullptr);
    new Tracked(&owner, log, "a");
    auto* b = new Tracked(&owner, log, "b");
    new Tracked(&owner, log, "c");
    b->SetName("Button1");
    EXPECT_EQ(owner.FindComponent("BUTTON1"), b) << "names compare without case";
    auto* other = new Tracked(&owner, log, "d");
    EXPECT_THROW(other->SetName("button1"), EInvalidOperation);
    EXPECT_EQ(other->Name(), "");
    delete b;  // leaves its owner's list
    EXPECT_EQ(owner.ComponentCount(), 3);
    EXPECT_EQ(owner.FindComponent("Button1"), nullptr);
    log.clear();
  }
  EXPECT_EQ(log, (std::vector<std::string>{"d", "c", "a"}));
}

// A graphic control that fills more than its bounds: the clip must keep it inside them.
class Swatch : public TGraphicControl {
 public:
  Swatch(TComponent* owner, TColor color) : TGraphicControl(owner) { SetColor(color); }
  void Paint(TCanvas& canvas) override {
    canvas.Brush().SetColor(Color());
    canvas.FillRect(Rect(-10, -10, Width() + 10, Height() + 10));
  }
};

TEST_F(ControlsTest, GraphicChildrenPaintInZOrderClippedToTheirBounds) {
  TPanel panel(nullptr);
  panel.SetBevelOuter(TBevelCut::bvNone);
  panel.SetColor(clRed);
  panel.SetBounds(0, 0, 60, 50);
  auto* a = new Swatch(&panel, clBlue);
  a->SetBounds(10, 10, 20, 20);
  a->SetParent(&panel);
  auto* b = new Swatch(&panel, clLime);
  b->SetBounds(20, 20, 20, 20);
  b->SetParent(&panel);
  auto* hidden = new Swatch(&panel, clYellow);
  hidden->SetBounds(0, 40, 60, 10);
  hidden->SetParent(&panel);
  hidden->Hide();
  panel.Widget()->resize(60, 50);

  struct Case {
    int x, y;
    std::uint32_t rgb;  // 0xRRGGBB
    const char* why;
  };
  auto check = [&](std::initializer_list<Case> cases) {
    panel.PaintWindow();
    for (const Case& c : cases)
      EXPECT_EQ(panel.Buffer()->Pixel(c.x, c.y), c.rgb) << c.x << "," << c.y << ": " << c.why;
  };
  check({{5, 5, 0xFF0000, "the parent's own surface"},
         {15, 15, 0x0000FF, "first child"},
         {25, 25, 0x00FF00, "the later child lies on top"},
         {9, 15, 0xFF0000, "left of the first child: its overflow is clipped"},
         {15, 31, 0xFF0000, "below the first child"},
         {41, 25, 0xFF0000, "right of the second child"},
         {30, 45, 0xFF0000, "a hidden child paints nothing"}});
  a->BringToFront();
  check({{25, 25, 0x0000FF, "brought to the front"}, {35, 35, 0x00FF00, "the rest of the other"}});
}

// Records what reaches it, in its own coordinates.
class Probe : public TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;
  std::vector<std::string> log;
  void MouseDown(TMouseButton, TShiftState, int x, int y) override {
    log.push_back(Format("down %d,%d", x, y));
  }
  void MouseMove(TShiftState, int x, int y) override { log.push_back(Format("move %d,%d", x, y)); }
  void MouseUp(TMouseButton, TShiftState, int x, int y) override {
    log.push_back(Format("up %d,%d", x, y));
  }
  void Click() override { log.push_back("click"); }
  void MouseEnter() override {
    TGraphicControl::MouseEnter();
    log.push_back("enter");
  }
  void MouseLeave() override {
    TGraphicControl::MouseLeave();
    log.push_back("leave");
  }
};

void SendMouse(QWidget* w, QEvent::Type type, int x, int y, Qt::MouseButton button,
               Qt::MouseButtons held) {
  const QPointF at(x, y);
  QMouseEvent e(type, at, w->mapToGlobal(at), button, held, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

TEST_F(ControlsTest, ParentRoutesTheMouseToItsGraphicChildAndKeepsItWhileHeld) {
  struct Case {
    int upX, upY;
    std::vector<std::string> expected;
  } cases[] = {
      {15, 12, {"enter", "down 5,5", "move 50,30", "up 5,2", "click"}},
      // Released outside: the child still gets the release, no click, and then the leave.
      {70, 40, {"enter", "down 5,5", "move 50,30", "up 60,30", "leave"}},
  };
  for (const Case& c : cases) {
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 200, 100);
    auto* probe = new Probe(form.get());
    probe->SetBounds(10, 10, 20, 20);
    probe->SetParent(form.get());
    form->Show();
    QWidget* w = form->Widget();
    SendMouse(w, QEvent::MouseMove, 15, 15, Qt::NoButton, Qt::NoButton);
    SendMouse(w, QEvent::MouseButtonPress, 15, 15, Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(probe->MouseCapture());
    SendMouse(w, QEvent::MouseMove, 60, 40, Qt::NoButton, Qt::LeftButton);
    SendMouse(w, QEvent::MouseButtonRelease, c.upX, c.upY, Qt::LeftButton, Qt::NoButton);
    std::vector<std::string> seen(probe->log.begin(), probe->log.end());
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[1], "move 5,5") << "the child is entered before its first move";
    seen.erase(seen.begin() + 1);
    EXPECT_EQ(seen, c.expected) << "release at " << c.upX << "," << c.upY;
    EXPECT_FALSE(probe->MouseCapture()) << "the capture outlived the button";
  }
}

// A click handler that deletes the very control it was raised for, custom-drawn (the click
// comes from our mouse routing) or a wrapped Qt button (from its clicked signal): nothing may
// touch the control or its widget afterwards (AddressSanitizer reports it if anything does).
TEST_F(ControlsTest, ControlDeletedByItsOwnClickHandler) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetBounds(0, 0, 200, 100);
  auto* panel = new TPanel(form.get());
  panel->SetBounds(10, 10, 50, 30);
  panel->SetParent(form.get());
  auto* button = new TButton(form.get());
  button->SetBounds(100, 10, 60, 25);
  button->SetParent(form.get());
  int clicks = 0;
  panel->OnClick = [&](TObject* sender) {
    ++clicks;
    delete static_cast<TPanel*>(sender);
  };
  button->OnClick = [&](TObject* sender) {
    ++clicks;
    delete static_cast<TButton*>(sender);
  };
  form->Show();
  for (QWidget* w : {panel->Widget(), button->Widget()}) {
    SendMouse(w, QEvent::MouseMove, 5, 5, Qt::NoButton, Qt::NoButton);
    SendMouse(w, QEvent::MouseButtonPress, 5, 5, Qt::LeftButton, Qt::LeftButton);
    SendMouse(w, QEvent::MouseButtonRelease, 5, 5, Qt::LeftButton, Qt::NoButton);
  }
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(form->ControlCount(), 0);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(ControlsTest, RightClickShowsTheMenuOfTheControlOrOfItsNearestParent) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetBounds(0, 0, 200, 100);
  auto* panel = new TPanel(form.get());
  panel->SetBounds(0, 0, 200, 100);
  panel->SetParent(form.get());
  auto* image = new TImage(form.get());
  image->SetBounds(10, 10, 50, 50);
  image->SetParent(panel);
  auto* plain = new Probe(form.get());
  plain->SetBounds(100, 10, 50, 50);
  plain->SetParent(panel);

  auto* imageMenu = new TPopupMenu(form.get());
  auto* paste = new TMenuItem(form.get());
  imageMenu->Items().Add(paste);
  int pasted = 0;
  paste->OnClick = [&](TObject*) { ++pasted; };
  image->SetPopupMenu(imageMenu);
  auto* panelMenu = new TPopupMenu(form.get());
  panel->SetPopupMenu(panelMenu);

  struct Shown {
    TPopupMenu* menu;
    win::POINT at;
  };
  std::vector<Shown> shown;
  auto previous = TPopupMenu::SetPresenter([&](TPopupMenu& m, int x, int y) -> TMenuItem* {
    shown.push_back({&m, {x, y}});
    return m.Items().Count() > 0 ? m.Items().Items(0) : nullptr;
  });
  form->Show();
  auto rightClick = [&](int x, int y) {
    QWidget* w = panel->Widget();
    QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(x, y), w->mapToGlobal(QPoint(x, y)));
    QApplication::sendEvent(w, &e);
  };
  rightClick(20, 20);
  rightClick(120, 20);  // a control without a menu: its parent's
  TPopupMenu::SetPresenter(previous);

  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].menu, imageMenu);
  const QPoint screen = panel->Widget()->mapToGlobal(QPoint(20, 20));
  EXPECT_EQ(shown[0].at.x, screen.x());
  EXPECT_EQ(shown[0].at.y, screen.y());
  EXPECT_EQ(imageMenu->PopupComponent(), image);
  EXPECT_EQ(pasted, 1) << "the chosen item's click did not run";
  EXPECT_EQ(shown[1].menu, panelMenu);
  EXPECT_EQ(panelMenu->PopupComponent(), plain);

  // A menu that goes away is forgotten by the controls naming it.
  delete imageMenu;
  EXPECT_EQ(image->PopupMenu(), nullptr);
}

TEST_F(ControlsTest, FontAndColourFollowTheParentUntilSetOnTheControl) {
  TPanel panel(nullptr);
  auto* follower = new TLabel(&panel);
  follower->SetParent(&panel);
  auto* own = new TLabel(&panel);
  own->SetParent(&panel);
  own->Font().SetColor(clRed);
  EXPECT_FALSE(own->ParentFont());

  panel.Font().SetStyle({TFontStyle::fsBold});
  panel.Font().SetHeight(-13);
  panel.SetColor(clWhite);
  EXPECT_TRUE(follower->Font().Style().Contains(TFontStyle::fsBold));
  EXPECT_EQ(follower->Font().Height(), -13);
  EXPECT_TRUE(follower->ParentFont()) << "following the parent is not setting a font";
  EXPECT_EQ(follower->Color(), clWhite) << "labels take their parent's colour";
  EXPECT_FALSE(own->Font().Style().Contains(TFontStyle::fsBold));
  EXPECT_EQ(own->Font().Color(), clRed);

  own->SetParentFont(true);
  EXPECT_EQ(own->Font().Height(), -13);
  EXPECT_EQ(own->Font().Color(), panel.Font().Color());
}

// The program's own OnChange on a control's font leaves the control following its font.
TEST_F(ControlsTest, FontOnChangeOfTheProgramKeepsTheControlFollowing) {
  TPanel panel(nullptr);
  auto* label = new TLabel(&panel);
  label->SetParent(&panel);
  int changes = 0;
  panel.Font().OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &panel.Font());
    ++changes;
  };
  panel.Font().SetHeight(-20);
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(panel.ParentFont()) << "the control did not hear of its font's change";
  EXPECT_EQ(label->Font().Height(), -20) << "the child did not follow";
}

TEST_F(ControlsTest, LabelSizesToItsCaption) {
  TPanel panel(nullptr);
  auto* label = new TLabel(&panel);
  label->SetParent(&panel);
  label->SetBounds(100, 10, 65, 17);
  label->SetCaption("");
  const int blank = label->Width();
  EXPECT_GT(blank, 0) << "an empty caption still leaves a label to see";
  label->SetCaption("a longer caption");
  const int wide = label->Width();
  EXPECT_GT(wide, blank);
  EXPECT_EQ(label->Left(), 100);
  EXPECT_GT(label->Height(), 8);

  label->SetAlignment(TAlignment::taRightJustify);
  const int right = label->Left() + label->Width();
  label->SetCaption("short");
  EXPECT_EQ(label->Left() + label->Width(), right) << "a right-aligned label grows to the left";

  label->SetAutoSize(false);
  label->SetBounds(0, 0, 97, 13);
  label->SetCaption("\xD1\xA1\xD4\xF1\xC4\xBF\xC2\xBC and more text than fits");
  EXPECT_EQ(label->Width(), 97);
  EXPECT_EQ(label->Height(), 13);
}

TEST_F(ControlsTest, MemoLinesAndText) {
  struct Case {
    AnsiString text;
    int count;
    AnsiString last;
  } cases[] = {
      {"", 0, ""},     {"one", 1, "one"}, {"a\r\nb", 2, "b"}, {"a\r\nb\r\n", 2, "b"},
      {"\r\n", 1, ""}, {"x\ny", 2, "y"},
  };
  TMemo memo(nullptr);
  for (const Case& c : cases) {
    memo.SetText(c.text);
    EXPECT_EQ(memo.Lines().Count(), c.count) << c.text;
    if (c.count > 0) {
      EXPECT_EQ(memo.Lines().Strings(c.count - 1), c.last) << c.text;
    }
  }
  memo.Lines().Clear();
  memo.Lines().Add("");
  EXPECT_EQ(memo.Lines().Count(), 1) << "one empty line";
  memo.Lines().Add("C:\\photo.jpg");
  EXPECT_EQ(memo.Text(), "\r\nC:\\photo.jpg");
}

TEST_F(ControlsTest, PanelBordersAndBevelsShrinkTheAlignedArea) {
  struct Case {
    TBevelCut outer, inner;
    int bevelWidth, borderWidth;
    int inset;
  } cases[] = {
      {TBevelCut::bvNone, TBevelCut::bvNone, 1, 0, 0},
      {TBevelCut::bvRaised, TBevelCut::bvNone, 1, 0, 1},
      {TBevelCut::bvRaised, TBevelCut::bvLowered, 1, 0, 2},
      {TBevelCut::bvLowered, TBevelCut::bvLowered, 2, 3, 7},
      {TBevelCut::bvNone, TBevelCut::bvNone, 1, 2, 2},
  };
  for (const Case& c : cases) {
    TPanel panel(nullptr);
    panel.SetBounds(0, 0, 100, 80);
    panel.SetBevelOuter(c.outer);
    panel.SetBevelInner(c.inner);
    panel.SetBevelWidth(c.bevelWidth);
    panel.SetBorderWidth(c.borderWidth);
    auto* client = new TPanel(&panel);
    client->SetAlign(TAlign::alClient);
    client->SetParent(&panel);
    EXPECT_EQ(client->BoundsRect().left, c.inset);
    EXPECT_EQ(client->Width(), 100 - 2 * c.inset);
    EXPECT_EQ(client->Height(), 80 - 2 * c.inset);
  }
}

TEST_F(ControlsTest, TabOrderIsTheParentsListOfWindowedChildren) {
  TPanel parent(nullptr);
  std::vector<TWinControl*> made;
  for (const char* name : {"Edit1", "Memo1", "Button1"}) {
    auto* c = new TEdit(&parent);
    c->SetName(name);
    c->SetParent(&parent);
    made.push_back(c);
  }
  auto* label = new TLabel(&parent);
  label->SetParent(&parent);  // graphic controls take no part
  made[2]->SetTabOrder(0);
  EXPECT_EQ(parent.TabList(), (std::vector<TWinControl*>{made[2], made[0], made[1]}));
  EXPECT_EQ(made[1]->TabOrder(), 2);
  made[0]->SetTabOrder(99);  // past the end: last
  EXPECT_EQ(parent.TabList().back(), made[0]);
  made[1]->Hide();
  EXPECT_FALSE(made[1]->CanFocus());
  EXPECT_THROW(made[1]->SetFocus(), EInvalidOperation);
}

TEST_F(ControlsTest, BridgeKeepsTextAndColours) {
  const AnsiString chinese = "\xCB\xF5\xC2\xD4\xCD\xBC";  // 缩略图
  EXPECT_EQ(ui::ToQString(chinese), QString::fromUtf8("缩略图"));
  EXPECT_EQ(ui::FromQString(ui::ToQString(chinese)), chinese);
  EXPECT_EQ(ui::ToQColor(clBtnFace), QColor(0xD4, 0xD0, 0xC8));
  EXPECT_EQ(ui::ToQColor(win::RGB(0x2F, 0x88, 0xA2)), QColor(0x2F, 0x88, 0xA2));
  EXPECT_EQ(ui::ToQColor(clNone).alpha(), 0);
  EXPECT_EQ(ui::FromQColor(QColor(0x2F, 0x88, 0xA2)), win::RGB(0x2F, 0x88, 0xA2));
  EXPECT_EQ(ui::ClassicPalette().color(QPalette::Highlight), QColor(0x0A, 0x24, 0x6A));
}

TEST_F(ControlsTest, ScreenCursorIsTheProgramsCursor) {
  Screen->SetCursor(crHourGlass);
  EXPECT_EQ(win::CursorId(win::GetCursor()), 32514);
  Screen->SetCursor(crDefault);
  EXPECT_EQ(win::GetCursor(), nullptr) << "the windows' own cursors are back";
  const win::RECT desk = Screen->DesktopRect();
  EXPECT_GT(desk.right - desk.left, 0);
}

}  // namespace
