// The list box's caret and selection and its notifications; the tree's lazy images and its
// expand veto.
#include <QKeyEvent>
#include <QListWidget>
#include <QPixmap>
#include <QTreeWidget>
#include <memory>
#include <set>
#include <utility>

#include "imaging/bitmap.h"
#include "runtime/exceptions.h"
#include "ui/list_box.h"
#include "ui/tree_view.h"
#include "ui_test_support.h"

namespace {

using uitest::UiTest;

class ListTreeTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetBounds(0, 0, 300, 200);
  }
  template <class T>
  T* Add(int w, int h) {
    auto* c = new T(form_.get());
    c->SetBounds(4, 4, w, h);
    c->SetParent(form_.get());
    return c;
  }
  static void Key(QWidget* w, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &release);
  }
  std::unique_ptr<TForm> form_;
};

TEST_F(ListTreeTest, CaretItemIsNotTheSelection) {
  auto* list = Add<TListBox>(150, 120);
  int clicks = 0;
  list->OnClick = [&](TObject*) { ++clicks; };
  list->SetMultiSelect(true);
  for (const char* s : {"a.jpg", "B.JPG", "c.jpg", "d.jpg", "e.jpg"}) list->Items().Add(s);
  list->SetSelected(1, true);
  list->SetSelected(3, true);
  list->SetItemIndex(4);
  EXPECT_EQ(list->ItemIndex(), 4);
  EXPECT_FALSE(list->Selected(4)) << "moving the caret selected its item";
  EXPECT_TRUE(list->Selected(1));
  EXPECT_TRUE(list->Selected(3));
  EXPECT_EQ(list->SelCount(), 2);
  EXPECT_EQ(clicks, 0) << "changes made from code raise no notification";

  list->DeleteSelected();
  ASSERT_EQ(list->Items().Count(), 3);
  EXPECT_EQ(list->Items().Strings(0), "a.jpg");
  EXPECT_EQ(list->Items().Strings(1), "c.jpg");
  EXPECT_EQ(list->Items().Strings(2), "e.jpg");
  EXPECT_EQ(clicks, 0);

  // A single-selection list selects what the caret moves to.
  auto* single = Add<TListBox>(150, 120);
  single->Items().Assign({"x", "y", "z"});
  single->SetItemIndex(2);
  EXPECT_TRUE(single->Selected(2));
  EXPECT_EQ(single->SelCount(), -1);
  EXPECT_THROW(single->Selected(3), EInvalidOperation);
}

TEST_F(ListTreeTest, ArrowKeysRaiseTheSelectionNotification) {
  auto* list = Add<TListBox>(150, 120);
  list->SetMultiSelect(true);
  list->Items().Assign({"a", "b", "c"});
  std::vector<int> seen;  // the caret at each notification
  list->OnClick = [&](TObject*) { seen.push_back(list->ItemIndex()); };
  form_->Show();
  list->SetItemIndex(0);
  list->SetSelected(0, true);
  QWidget* w = list->Widget();
  w->setFocus();
  Key(w, Qt::Key_Down);
  Key(w, Qt::Key_Down);
  Key(w, Qt::Key_Down);  // at the end: nothing changes
  ASSERT_EQ(seen, (std::vector<int>{1, 2}));
  EXPECT_TRUE(list->Selected(2));
  EXPECT_FALSE(list->Selected(0)) << "an arrow key moves the selection of an extended list";
  Key(w, Qt::Key_Up);
  EXPECT_EQ(seen.back(), 1);
}

// Qt would make the first row current when the list gets the focus; the list keeps its caret
// and selection and raises no notification, empty or not.
TEST_F(ListTreeTest, FocusChangesNeitherCaretNorSelection) {
  for (bool multi : {false, true}) {
    for (int items : {0, 3}) {
      auto* list = Add<TListBox>(150, 120);
      list->SetMultiSelect(multi);
      for (int i = 0; i < items; ++i) list->Items().Add(Format("item %d", i));
      int clicks = 0;
      list->OnClick = [&](TObject*) { ++clicks; };
      form_->Show();
      QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
      QApplication::sendEvent(list->Widget(), &in);
      list->Items().Add("added later");
      SCOPED_TRACE(testing::Message() << "multi " << multi << ", items " << items);
      EXPECT_EQ(clicks, 0);
      EXPECT_EQ(list->ItemIndex(), -1);
      for (int i = 0; i < list->Items().Count(); ++i) EXPECT_FALSE(list->Selected(i)) << i;
      delete list;
    }
  }
}

TEST_F(ListTreeTest, OwnerPaintsTheFrameOverTheTwoBorderPixels) {
  auto* list = Add<TListBox>(120, 80);
  list->Items().Assign({"a", "b"});
  form_->Show();
  list->SetFramePainter(TListBox::kBorderWidth, [](TCanvas& canvas, int w, int h) {
    canvas.Brush().SetColor(win::RGB(0xCD, 0xDA, 0xC0));
    canvas.FillRect(Rect(0, 0, w, h));
  });
  const QImage shot = list->Widget()->grab().toImage();
  const QRgb frame = qRgb(0xCD, 0xDA, 0xC0);
  struct Case {
    int x, y;
    bool framed;
  } cases[] = {{0, 0, true},  {1, 1, true},   {119, 79, true}, {118, 40, true},  {60, 1, true},
               {1, 40, true}, {2, 40, false}, {60, 2, false},  {117, 40, false}, {60, 77, false}};
  for (const Case& c : cases)
    EXPECT_EQ(shot.pixel(c.x, c.y) == frame, c.framed) << c.x << "," << c.y;
}

TEST_F(ListTreeTest, ItemGeometryAndPrefixSearch) {
  auto* list = Add<TListBox>(150, 120);
  list->SetItemHeight(13);
  list->Items().Assign({"alpha", "beta", "Bravo", "charlie"});
  form_->Show();
  for (int i = 0; i < 4; ++i) {
    const win::RECT r = list->ItemRect(i);
    EXPECT_EQ(r.bottom - r.top, 13) << i;
    EXPECT_EQ(list->ItemAtPos({r.left + 3, r.top + 6}, true), i);
  }
  EXPECT_EQ(list->ItemAtPos({10, 110}, true), -1);
  EXPECT_EQ(list->ItemAtPos({10, 110}, false), 4);
  struct Case {
    const char* prefix;
    int start;
    int found;
  } cases[] = {{"b", -1, 1}, {"b", 1, 2}, {"B", 2, 1}, {"ch", 0, 3}, {"z", -1, -1}, {"", 3, 0}};
  for (const Case& c : cases)
    EXPECT_EQ(list->FindPrefix(c.prefix, c.start), c.found) << c.prefix << " from " << c.start;
}

// The columns of a row's image that hold ink (anything darker than mid grey).
std::pair<int, int> InkColumns(const QImage& image, int top, int bottom) {
  int first = -1, last = -1;
  for (int x = 0; x < image.width(); ++x)
    for (int y = top; y < bottom; ++y)
      if (qGray(image.pixel(x, y)) < 128) {
        if (first < 0) first = x;
        last = x;
        break;
      }
  return {first, last};
}

// Item texts are GDI text in the control's font: a Latin entry is exactly as wide as the same
// string drawn by TextOut, and a Chinese entry shows the strike's two colours only.
TEST_F(ListTreeTest, ItemTextsShowTheGlyphsOfGdiText) {
  auto* list = Add<TListBox>(200, 60);
  const AnsiString latin = "thumbnails of the holiday";
  list->Items().Assign({latin, "\xCE\xC4\xBC\xFE\xBC\xD0"});  // "文件夹"
  form_->Show();
  auto* qlist = static_cast<QListWidget*>(list->Widget());
  const QImage shot = qlist->viewport()->grab().toImage();
  const QRect row0 = qlist->visualItemRect(qlist->item(0));
  const auto [first, last] = InkColumns(shot, row0.top(), row0.bottom() + 1);
  ASSERT_GE(first, 0) << "no text drawn";

  TBitmap bitmap;
  bitmap.SetWidth(300);
  bitmap.SetHeight(20);
  TCanvas& canvas = bitmap.Canvas();
  canvas.Brush().SetColor(clWhite);
  canvas.FillRect({0, 0, 300, 20});
  canvas.Font().CopyFrom(&list->Font());
  canvas.TextOut(0, 0, latin);
  QImage gdi(300, 20, QImage::Format_RGB32);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 300; ++x) {
      const win::COLORREF c = ColorToRGB(canvas.Pixels(x, y));
      gdi.setPixel(x, y, qRgb(win::GetRValue(c), win::GetGValue(c), win::GetBValue(c)));
    }
  const auto [gdiFirst, gdiLast] = InkColumns(gdi, 0, 20);
  EXPECT_EQ(last - first, gdiLast - gdiFirst) << "the entry's text is not GDI's";

  const QRect row1 = qlist->visualItemRect(qlist->item(1));
  std::set<QRgb> colours;
  for (int y = row1.top(); y <= row1.bottom(); ++y)
    for (int x = row1.left(); x < row1.left() + 60; ++x) colours.insert(shot.pixel(x, y));
  EXPECT_EQ(colours.size(), 2u) << "Chinese entry not drawn from the strike";
}

TEST_F(ListTreeTest, TreeAsksForImagesOnlyForNodesItDraws) {
  auto* tree = Add<TTreeView>(150, 80);
  std::vector<int> asked(200, 0);
  tree->OnGetImageIndex = [&](TObject*, TTreeNode* node) {
    ++asked[std::size_t(node->Index())];
    node->SetImageIndex(node->Index() % 3);
  };
  tree->SetImages([](int index, int, bool cut) {
    QPixmap p(16, 16);
    p.fill(cut ? Qt::gray : QColor::fromHsv(index * 100, 200, 200));
    return p;
  });
  for (int i = 0; i < 200; ++i) tree->AddChild(nullptr, Format("node %d", i));
  EXPECT_EQ(std::count(asked.begin(), asked.end(), 0), 200) << "asked before anything was drawn";
  form_->Show();
  tree->Widget()->grab();  // draws the visible part
  tree->Widget()->grab();
  const auto askedNodes = 200 - std::count(asked.begin(), asked.end(), 0);
  EXPECT_GT(askedNodes, 0);
  EXPECT_LT(askedNodes, 20) << "the tree asked for nodes it does not show";
  EXPECT_EQ(*std::max_element(asked.begin(), asked.end()), 1)
      << "a node that got its index was asked again";
}

TEST_F(ListTreeTest, ExpandingCanBeVetoedAndFillsLazily) {
  auto* tree = Add<TTreeView>(150, 120);
  TTreeNode* locked = tree->AddChild(nullptr, "locked");
  TTreeNode* lazy = tree->AddChild(nullptr, "lazy");
  locked->SetHasChildren(true);
  lazy->SetHasChildren(true);
  int expandedEvents = 0;
  tree->OnExpanding = [&](TObject*, TTreeNode* node, bool& allow) {
    if (node == locked) {
      allow = false;
      return;
    }
    if (node->Count() == 0) tree->AddChild(node, "child");
  };
  tree->OnExpanded = [&](TObject*, TTreeNode*) { ++expandedEvents; };
  form_->Show();
  EXPECT_FALSE(locked->Expand());
  EXPECT_FALSE(locked->Expanded());
  EXPECT_TRUE(lazy->Expand());
  EXPECT_TRUE(lazy->Expanded());
  EXPECT_EQ(lazy->Count(), 1);
  EXPECT_EQ(expandedEvents, 1);

  // The same veto when Qt expands the node (a click on its button).
  auto* qtree = static_cast<QTreeWidget*>(tree->Widget());
  qtree->expandItem(qtree->topLevelItem(0));
  EXPECT_FALSE(locked->Expanded()) << "the veto did not hold for a user expansion";
  EXPECT_EQ(expandedEvents, 1);

  // Hit test over the lazy node's row: its button sits in the indent before the caption.
  const win::RECT row = tree->NodeRect(lazy, false);
  const int midY = (row.top + row.bottom) / 2;
  EXPECT_EQ(tree->HitTest({row.left - 5, midY}), THitTest::htOnButton);
  EXPECT_EQ(tree->HitTest({row.left + 5, midY}), THitTest::htOnItem);
  EXPECT_EQ(tree->HitTest({row.left + 80, midY}), THitTest::htOnRight);
  EXPECT_EQ(tree->HitTest({20, 115}), THitTest::htNowhere);
}

// A press in the indent before a node expands it only where the button is shown; without
// buttons the indent is bare, so the press neither expands nor selects.
TEST_F(ListTreeTest, AClickInTheIndentExpandsOnlyWithButtons) {
  for (const bool buttons : {true, false}) {
    SCOPED_TRACE(buttons ? "buttons" : "no buttons");
    auto* tree = Add<TTreeView>(150, 120);
    tree->SetShowButtons(buttons);
    TTreeNode* first = tree->AddChild(nullptr, "first");
    TTreeNode* parent = tree->AddChild(nullptr, "parent");
    tree->AddChild(parent, "child");
    tree->SetSelected(first);
    form_->Show();
    const win::RECT row = tree->NodeRect(parent, false);
    const win::POINT at{row.left - 5, (row.top + row.bottom) / 2};
    EXPECT_EQ(tree->HitTest(at), buttons ? THitTest::htOnButton : THitTest::htOnIndent);
    auto* view = static_cast<QTreeWidget*>(tree->Widget())->viewport();
    const QPoint p = view->mapFrom(tree->Widget(), QPoint(at.x, at.y));
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent e(type, QPointF(p), view->mapToGlobal(QPointF(p)), Qt::LeftButton,
                    type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                    Qt::NoModifier);
      QApplication::sendEvent(view, &e);
    }
    EXPECT_EQ(parent->Expanded(), buttons);
    EXPECT_EQ(tree->Selected(), first);
    delete tree;
  }
}

// The indent left of the child rows, grabbed from the view: dotted grey lines only with
// ShowLines, the boxed plus/minus only with ShowButtons.
TEST_F(ListTreeTest, TreeDrawsLinesAndButtonsOnlyWhenAsked) {
  for (bool lines : {true, false}) {
    for (bool buttons : {true, false}) {
      auto* tree = Add<TTreeView>(150, 120);
      tree->SetShowLines(lines);
      tree->SetShowButtons(buttons);
      TTreeNode* root = tree->AddChild(nullptr, "root");
      TTreeNode* first = tree->AddChild(root, "first");
      tree->AddChild(first, "inner");
      tree->AddChild(root, "last");
      root->Expand();
      form_->Show();
      auto* qtree = static_cast<QTreeWidget*>(tree->Widget());
      const QImage image = qtree->viewport()->grab().toImage();
      const QRgb grey = qRgb(0x80, 0x80, 0x80);
      auto childRow = [&](int index) {
        return qtree->visualItemRect(qtree->topLevelItem(0)->child(index));
      };
      SCOPED_TRACE(testing::Message() << "lines " << lines << ", buttons " << buttons);
      // The first child's column (it has children, so a button): the box around its middle,
      // dotted lines above and below it (a sibling follows).
      const QRect row = childRow(0);
      const int cx = row.left() - tree->Indent() + tree->Indent() / 2;
      const int cy = row.top() + row.height() / 2;
      EXPECT_EQ(image.pixel(cx - 4, cy - 4) == grey, buttons) << "the button's box corner";
      EXPECT_EQ(image.pixel(cx, cy) == qRgb(0, 0, 0), buttons) << "the centre of the plus";
      int greyLine = 0, other = 0;
      for (int y = row.top(); y < row.bottom(); ++y) {
        for (int x = cx - 1; x <= cx + 1; ++x) {
          if (std::abs(y - cy) <= 4) continue;  // the box
          const QRgb p = image.pixel(x, y);
          if (p == grey)
            ++greyLine;
          else if (p != qRgb(255, 255, 255))
            ++other;
        }
      }
      EXPECT_EQ(greyLine > 0, lines) << "the vertical line through the first child's column";
      EXPECT_EQ(other, 0) << "lines are the grey dots on white only";
      // The last child has no sibling below: its column's line stops at its middle.
      const QRect lastRow = childRow(1);
      const int lastCy = lastRow.top() + lastRow.height() / 2;
      for (int y = lastCy + 1; y <= lastRow.bottom(); ++y) EXPECT_NE(image.pixel(cx, y), grey) << y;
      delete tree;
    }
  }
}

TEST_F(ListTreeTest, CustomSortOrdersByTheCallback) {
  auto* tree = Add<TTreeView>(150, 120);
  for (const char* s : {"b10", "a2", "c1"}) tree->AddChild(nullptr, s);
  // By the number after the letter.
  tree->OnCompare = [](TObject*, TTreeNode* a, TTreeNode* b, std::intptr_t) {
    return std::atoi(a->Text().c_str() + 1) - std::atoi(b->Text().c_str() + 1);
  };
  tree->CustomSort(nullptr);
  ASSERT_EQ(tree->Count(), 3);
  EXPECT_EQ(tree->Item(0)->Text(), "c1");
  EXPECT_EQ(tree->Item(1)->Text(), "a2");
  EXPECT_EQ(tree->Item(2)->Text(), "b10");
  auto* qtree = static_cast<QTreeWidget*>(tree->Widget());
  EXPECT_EQ(qtree->topLevelItem(0)->text(0), "c1") << "the view did not follow the order";
}

}  // namespace
