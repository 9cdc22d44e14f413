// Alignment, anchors, the splitter and the scroll box: where controls land.
#include <QWidget>
#include <memory>

#include "ui/extctrls.h"
#include "ui/stdctrls.h"
#include "ui_test_support.h"

namespace {

using uitest::UiTest;

struct Expected {
  const char* name;
  win::RECT bounds;
};

void ExpectBounds(TComponent& owner, std::initializer_list<Expected> table) {
  for (const Expected& e : table) {
    auto* c = dynamic_cast<TControl*>(owner.FindComponent(e.name));
    ASSERT_NE(c, nullptr) << e.name;
    const win::RECT r = c->BoundsRect();
    EXPECT_EQ(r.left, e.bounds.left) << e.name;
    EXPECT_EQ(r.top, e.bounds.top) << e.name;
    EXPECT_EQ(r.right - r.left, e.bounds.right - e.bounds.left) << e.name << " width";
    EXPECT_EQ(r.bottom - r.top, e.bounds.bottom - e.bounds.top) << e.name << " height";
  }
}

template <class T>
T* Make(TComponent* owner, TWinControl* parent, const char* name, int l, int t, int w, int h,
        TAlign align = TAlign::alNone) {
  auto* c = new T(owner);
  c->SetName(name);
  c->SetBounds(l, t, w, h);
  c->SetAlign(align);
  c->SetParent(parent);
  return c;
}

class LayoutTest : public UiTest {};

// The window's first two levels, created in the stored order with the stored bounds, then the
// form sized: every panel lands where the layout documents it.
TEST_F(LayoutTest, MainWindowColumnsLandAtTheirRectangles) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetName("Form1");
  form->SetClientWidth(951);
  form->SetClientHeight(618);
  TForm* f = form.get();
  Make<TPanel>(f, f, "MovePanel1", 0, 0, 951, 35, TAlign::alTop);
  auto* frame = Make<TPanel>(f, f, "RzPanel1", 0, 35, 951, 583, TAlign::alClient);
  frame->SetBevelOuter(TBevelCut::bvNone);
  frame->SetBorderWidth(2);  // its flat bold border
  Make<TPanel>(f, frame, "RzPanel2", 2, 2, 173, 551, TAlign::alLeft);
  Make<TSplitter>(f, frame, "Splitter1", 175, 2, 4, 551, TAlign::alLeft);
  Make<TPanel>(f, frame, "RzPanel7", 179, 2, 185, 551, TAlign::alLeft);
  Make<TSplitter>(f, frame, "Splitter2", 364, 2, 4, 551, TAlign::alLeft);
  Make<TPanel>(f, frame, "RzPanel4", 368, 2, 581, 551, TAlign::alClient);
  Make<TPanel>(f, frame, "rpBottom", 2, 553, 947, 28, TAlign::alBottom);

  ExpectBounds(*f, {{"MovePanel1", Bounds(0, 0, 951, 35)},
                    {"RzPanel1", Bounds(0, 35, 951, 583)},
                    {"RzPanel2", Bounds(2, 2, 173, 551)},
                    {"Splitter1", Bounds(175, 2, 4, 551)},
                    {"RzPanel7", Bounds(179, 2, 185, 551)},
                    {"Splitter2", Bounds(364, 2, 4, 551)},
                    {"RzPanel4", Bounds(368, 2, 581, 551)},
                    {"rpBottom", Bounds(2, 553, 947, 28)}});

  // A wider window gives the width to the client column only.
  form->SetClientWidth(1051);
  ExpectBounds(*f,
               {{"RzPanel4", Bounds(368, 2, 681, 551)}, {"rpBottom", Bounds(2, 553, 1047, 28)}});
  // Hiding the first column closes the gap: the next aligned control moves to its place.
  static_cast<TControl*>(f->FindComponent("RzPanel2"))->Hide();
  ExpectBounds(*f, {{"Splitter1", Bounds(2, 2, 4, 551)}, {"RzPanel7", Bounds(6, 2, 185, 551)}});
}

TEST_F(LayoutTest, AnchoredChildFollowsTheParentResizeByTheDifference) {
  using A = TAnchorKind;
  struct Case {
    const char* name;
    TAnchors anchors;
    win::RECT after;  // child 20, 30, 100 x 50 in a 400 x 300 parent grown to 460 x 340
  } cases[] = {
      {"left top", {A::akLeft, A::akTop}, Bounds(20, 30, 100, 50)},
      {"right", {A::akTop, A::akRight}, Bounds(80, 30, 100, 50)},
      {"left right", {A::akLeft, A::akTop, A::akRight}, Bounds(20, 30, 160, 50)},
      {"bottom", {A::akLeft, A::akBottom}, Bounds(20, 70, 100, 50)},
      {"all four", {A::akLeft, A::akTop, A::akRight, A::akBottom}, Bounds(20, 30, 160, 90)},
      {"right bottom", {A::akRight, A::akBottom}, Bounds(80, 70, 100, 50)},
      // Neither side: the centre keeps its share (70/400 of 460, 55/300 of 340).
      {"none", {}, Bounds(30, 37, 100, 50)},
  };
  for (const Case& c : cases) {
    TPanel parent(nullptr);
    parent.SetBevelOuter(TBevelCut::bvNone);
    parent.SetBounds(0, 0, 400, 300);
    auto* child = Make<TPanel>(&parent, &parent, "Child", 20, 30, 100, 50);
    child->SetAnchors(c.anchors);
    parent.SetBounds(0, 0, 460, 340);
    const win::RECT r = child->BoundsRect();
    EXPECT_EQ(r.left, c.after.left) << c.name;
    EXPECT_EQ(r.top, c.after.top) << c.name;
    EXPECT_EQ(r.right, c.after.right) << c.name;
    EXPECT_EQ(r.bottom, c.after.bottom) << c.name;
    // Shrinking below the child's extent and back restores the original placement.
    parent.SetBounds(0, 0, 50, 40);
    parent.SetBounds(0, 0, 400, 300);
    EXPECT_EQ(child->Left(), 20) << c.name;
    EXPECT_EQ(child->Width(), 100) << c.name;
    EXPECT_EQ(child->Height(), 50) << c.name;
  }
}

TEST_F(LayoutTest, SplitterResizesOnReleaseAndSnapsAtMinSize) {
  struct Case {
    int dragBy;
    int width;  // of the resized panel after the release
  } cases[] = {
      {-50, 123},   // plain move
      {-142, 31},   // one pixel above MinSize stays
      {-143, 0},    // exactly MinSize (30) collapses
      {-160, 0},    // below collapses
      {+600, 562},  // the client column keeps MinSize: 600 - 4 - 4 - 30
  };
  for (const Case& c : cases) {
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 600, 200);
    TForm* f = form.get();
    auto* left = Make<TPanel>(f, f, "Left", 0, 0, 173, 200, TAlign::alLeft);
    auto* split = Make<TSplitter>(f, f, "Split", 173, 0, 4, 200, TAlign::alLeft);
    Make<TPanel>(f, f, "Middle", 177, 0, 4, 200, TAlign::alLeft);
    Make<TPanel>(f, f, "Rest", 181, 0, 419, 200, TAlign::alClient);
    EXPECT_EQ(split->Cursor(), crHSplit);
    split->MouseDown(TMouseButton::mbLeft, {}, 2, 10);
    ASSERT_EQ(split->ResizeControl(), left);
    split->MouseMove({}, 2 + c.dragBy / 2, 10);
    EXPECT_EQ(left->Width(), 173) << "resized before the release, drag " << c.dragBy;
    split->MouseUp(TMouseButton::mbLeft, {}, 2 + c.dragBy, 10);
    EXPECT_EQ(left->Width(), c.width) << "drag " << c.dragBy;
    EXPECT_EQ(split->Left(), c.width) << "the splitter follows the panel";
    EXPECT_EQ(split->ResizeControl(), nullptr);
  }
}

TEST_F(LayoutTest, ScrollBoxKeepsItsPositionInRangeAndScrollsTheContents) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetBounds(0, 0, 600, 400);
  auto* box = Make<TScrollBox>(form.get(), form.get(), "ScrollBox1", 8, 7, 550, 301);
  box->SetBorderStyle(TBorderStyle::bsNone);
  box->SetBevelKind(TBevelKind::bkFlat);
  box->SetCtl3D(false);
  auto* image = Make<TImage>(form.get(), box, "Image1", 0, 0, 300, 700);
  TControlScrollBar& bar = box->VertScrollBar();
  ASSERT_EQ(bar.Range(), 700);
  ASSERT_EQ(box->ClientHeight(), 301 - 2);  // a flat bevel of one pixel on each side
  const int last = 700 - box->ClientHeight();
  struct Case {
    int set;
    int position;
  } cases[] = {{8, 8}, {-8, 0}, {last, last}, {last + 1, last}, {100000, last}, {16, 16}};
  int before = 0;
  for (const Case& c : cases) {
    bar.SetPosition(c.set);
    EXPECT_EQ(bar.Position(), c.position) << "set " << c.set;
    EXPECT_EQ(image->Top(), -c.position) << "contents scrolled by the difference from " << before;
    before = c.position;
  }
  // The wheel handler of the preview: one increment per notch whatever the delta, Handled set.
  box->OnMouseWheel = [&](TObject*, TShiftState, int delta, win::POINT, bool& handled) {
    int p = bar.Position();
    if (delta > 0) p = std::max(0, p - bar.Increment());
    if (delta < 0) p = p + bar.Increment() >= bar.Range() ? bar.Range() - 1 : p + bar.Increment();
    bar.SetPosition(p);
    handled = true;
  };
  bar.SetPosition(0);
  EXPECT_TRUE(box->MouseWheel({}, -360, {0, 0}));
  EXPECT_EQ(bar.Position(), 8);
  EXPECT_TRUE(box->MouseWheel({}, 0, {0, 0}));
  EXPECT_EQ(bar.Position(), 8);
  bar.SetPosition(last);
  EXPECT_TRUE(box->MouseWheel({}, -120, {0, 0}));
  EXPECT_EQ(bar.Position(), last) << "a notch down at the bottom stays at the last position";
  bar.SetPosition(0);
  EXPECT_TRUE(box->MouseWheel({}, 120, {0, 0}));
  EXPECT_EQ(bar.Position(), 0);
  // Scrolling must not become the children's placement: a resize keeps them scrolled.
  bar.SetPosition(40);
  box->SetBounds(8, 7, 560, 301);
  EXPECT_EQ(image->Top(), -40);
}

// Asking a child for its window first makes the parent's window, which makes the child's: the
// child must come out with that one window, not a second one left behind in the parent.
TEST_F(LayoutTest, ChildWindowMadeBeforeItsParentsIsMadeOnce) {
  auto form = std::make_unique<TForm>(nullptr);
  auto* panel = Make<TPanel>(form.get(), form.get(), "Panel", 5, 6, 70, 40);
  auto* edit = Make<TEdit>(form.get(), panel, "Edit", 1, 2, 30, 21);
  QWidget* editWidget = edit->Widget();
  ASSERT_TRUE(form->Widget()->isWindow());
  EXPECT_EQ(editWidget->parentWidget(), panel->Widget());
  EXPECT_EQ(panel->Widget()->parentWidget(), form->Widget());
  EXPECT_EQ(form->Widget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(), 1);
  EXPECT_EQ(editWidget->geometry(), QRect(1, 2, 30, 21));
}

}  // namespace
