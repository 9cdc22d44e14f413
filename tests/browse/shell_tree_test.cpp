// The folder tree over a drive table and desktop of the test's own: the first fill, lazy
// expansion, ghosting, SelectedPath, the click, Resync, navigation, the owed refreshes and
// the wheel.
#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTreeWidget>
#include <QWheelEvent>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "browse/shell_tree.h"
#include "platform/kernel/kernel.h"
#include "platform/shell/image_list.h"
#include "platform/shell/shell_folder.h"
#include "runtime/exceptions.h"
#include "tests/browse/tree_nodes.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/ui_test_support.h"

namespace {

using browsetest::Captions;
using browsetest::Child;

std::string A(const std::string& utf8) {
  return win::Utf8ToAnsi(utf8).value();
}
const std::string kC = A("本地磁盘 (C:)");

// C: is scratch/c with the desktop at C:\desk and the documents at C:\home; D: a removable
// drive without medium, F: a drive holding one file.
class ShellTreeTest : public uitest::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    for (const char* dir :
         {"c/desk", "c/home", "c/Photos/2006", "c/Photos/.hidden", "c/filesonly", "usb", "f"})
      std::filesystem::create_directories(scratch.HostOf(dir));
    scratch.Write("c/filesonly/a.jpg", "x");
    scratch.Write("c/filesonly/b.txt", "x");
    scratch.Write("f/only.jpg", "x");
    std::filesystem::create_directory_symlink(scratch.HostOf("c/Photos/2006"),
                                              scratch.HostOf("c/Photos/link"));
    win::SetDriveTable({{'C', scratch.HostOf("c"), win::DRIVE_FIXED},
                        {'D', scratch.HostOf("usb"), win::DRIVE_REMOVABLE},
                        {'F', scratch.HostOf("f"), win::DRIVE_FIXED}});
    win::SetShellFolderLocations(scratch.HostOf("c/desk"), scratch.HostOf("c/home"));
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetBounds(0, 0, 300, 400);
    tree_ = new TRzShellTree(form_.get());
    tree_->SetParent(form_.get());
    tree_->SetBounds(0, 0, 200, 380);
    tree_->Refill();
  }
  void TearDown() override {
    form_.reset();
    win::SetShellFolderLocations("", "");
    win::SetDriveTable({});
    UiTest::TearDown();
  }

  // Follows captions from the root, expanding on the way.
  TTreeNode* Walk(const std::vector<std::string>& captions) {
    TTreeNode* node = tree_->Item(0);
    for (const std::string& caption : captions) {
      node->Expand();
      node = Child(node, caption);
      if (node == nullptr) return nullptr;
    }
    return node;
  }

  // The node of a Windows path, reached by navigation.
  TTreeNode* NavigateTo(const std::string& path) {
    win::LPITEMIDLIST list = win::ILCreateFromPathA(path.c_str());
    EXPECT_NE(list, nullptr) << path;
    tree_->NavigateTo(list);
    win::ILFree(list);
    return tree_->Selected();
  }

  test_support::ScratchFolder scratch{"suotu-tree"};
  std::unique_ptr<TForm> form_;
  TRzShellTree* tree_ = nullptr;
};

TEST_F(ShellTreeTest, FirstFillShowsTheDesktopExpandedInTheShellsOrder) {
  ASSERT_EQ(tree_->Count(), 1);
  TTreeNode* root = tree_->Item(0);
  EXPECT_EQ(root->Text(), A("桌面"));
  EXPECT_TRUE(root->Expanded());
  EXPECT_EQ(tree_->Selected(), root);
  EXPECT_EQ(Captions(root),
            (std::vector<std::string>{A("我的文档"), A("我的电脑"), A("网上邻居"), A("回收站")}));
  // The computer is not listed before its first expansion.
  TTreeNode* computer = Child(root, A("我的电脑"));
  ASSERT_NE(computer, nullptr);
  EXPECT_EQ(computer->Count(), 0);
  EXPECT_TRUE(computer->HasChildren());
}

TEST_F(ShellTreeTest, SelectedPathPerKindOfNode) {
  tree_->Widget();  // SelectedPath needs the window
  struct Case {
    std::vector<std::string> captions;
    std::string path;
  } cases[] = {
      {{}, "C:\\desk"},
      {{A("我的电脑")}, ""},
      {{A("我的电脑"), A("控制面板")}, ""},
      {{A("网上邻居")}, ""},
      {{A("回收站")}, ""},
      {{A("我的电脑"), kC}, "C:\\"},
      {{A("我的电脑"), kC, "Photos"}, "C:\\Photos"},
      {{A("我的电脑"), kC, "Photos", "2006"}, "C:\\Photos\\2006"},
  };
  for (const Case& c : cases) {
    TTreeNode* node = Walk(c.captions);
    if (node == nullptr) {
      ADD_FAILURE() << "no node at " << (c.captions.empty() ? "" : c.captions.back());
      continue;
    }
    tree_->SetSelected(node);
    EXPECT_EQ(tree_->SelectedPath(), c.path) << node->Text();
  }
  tree_->SetSelected(nullptr);
  EXPECT_EQ(tree_->SelectedPath(), "");
}

TEST_F(ShellTreeTest, ExpansionListsFoldersOnlyAndDropsEmptyButtons) {
  TTreeNode* c = Walk({A("我的电脑"), kC});
  ASSERT_NE(c, nullptr);
  ASSERT_TRUE(c->Expand());
  EXPECT_EQ(Captions(c), (std::vector<std::string>{"desk", "filesonly", "home", "Photos"}));

  struct Case {
    std::vector<std::string> captions;
    bool buttonBefore;
    bool expands;
    bool buttonAfter;
    int children;
  } cases[] = {
      // A drive always offers a button; holding only files, it loses it when expanded.
      {{A("我的电脑"), A("本地磁盘 (F:)")}, true, false, false, 0},
      // A folder of files has none from the start.
      {{A("我的电脑"), kC, "filesonly"}, false, false, false, 0},
      {{A("我的电脑"), kC, "desk"}, false, false, false, 0},
      {{A("我的电脑"), kC, "Photos"}, true, true, true, 3},  // the hidden folder too
  };
  for (const Case& k : cases) {
    TTreeNode* node = Walk(k.captions);
    ASSERT_NE(node, nullptr) << k.captions.back();
    EXPECT_EQ(node->HasChildren(), k.buttonBefore) << k.captions.back();
    EXPECT_EQ(node->Expand(), k.expands) << k.captions.back();
    EXPECT_EQ(node->Expanded(), k.expands) << k.captions.back();
    EXPECT_EQ(node->HasChildren(), k.buttonAfter) << k.captions.back();
    EXPECT_EQ(node->Count(), k.children) << k.captions.back();
  }
  TTreeNode* photos = Child(c, "Photos");
  EXPECT_EQ(Captions(photos), (std::vector<std::string>{".hidden", "2006", "link"}));
  EXPECT_TRUE(Child(photos, ".hidden")->Cut());
  EXPECT_FALSE(Child(photos, "2006")->Cut());
}

TEST_F(ShellTreeTest, IconsAreLookedUpWhenDrawnWithOverlayAndGhosting) {
  struct Case {
    std::vector<std::string> captions;
    int image, selected, overlay;
    bool cut;
  } cases[] = {
      {{A("我的电脑")}, win::siComputer, win::siComputer, -1, false},
      {{A("我的电脑"), kC}, win::siFixedDrive, win::siFixedDrive, -1, false},
      {{A("我的电脑"), kC, "Photos"}, win::siFolder, win::siFolderOpen, -1, false},
      {{A("我的电脑"), kC, "Photos", ".hidden"}, win::siFolder, win::siFolderOpen, -1, true},
      {{A("我的电脑"), kC, "Photos", "link"}, win::siFolder, win::siFolderOpen, 2, false},
  };
  for (const Case& c : cases) {
    TTreeNode* node = Walk(c.captions);
    ASSERT_NE(node, nullptr) << c.captions.back();
    EXPECT_EQ(node->ImageIndex(), -1) << "looked up before it was drawn";
    tree_->ImageFor(node);
    tree_->SetSelected(node);
    tree_->ImageFor(node);
    EXPECT_EQ(node->ImageIndex(), c.image) << c.captions.back();
    EXPECT_EQ(node->SelectedIndex(), c.selected) << c.captions.back();
    EXPECT_EQ(node->OverlayIndex(), c.overlay) << c.captions.back();
    EXPECT_EQ(node->Cut(), c.cut) << c.captions.back();
  }
}

TEST_F(ShellTreeTest, WithoutShowHiddenHiddenFoldersStayOut) {
  tree_->SetOptions(kDefaultShellTreeOptions & ~StoBit(TRzShellTreeOption::stoShowHidden));
  tree_->Refill();
  TTreeNode* photos = Walk({A("我的电脑"), kC, "Photos"});
  ASSERT_NE(photos, nullptr);
  photos->Expand();
  EXPECT_EQ(Captions(photos), (std::vector<std::string>{"2006", "link"}));
}

TEST_F(ShellTreeTest, EmptyRemovableDriveKeepsItsButtonAndStaysCollapsed) {
  TTreeNode* computer = Walk({A("我的电脑")});
  ASSERT_NE(computer, nullptr);
  computer->Expand();
  TTreeNode* d = Child(computer, A("可移动磁盘 (D:)"));
  ASSERT_NE(d, nullptr);
  EXPECT_FALSE(d->Expand() && d->Expanded());
  EXPECT_TRUE(d->HasChildren());
  EXPECT_EQ(d->Count(), 0);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(ShellTreeTest, EveryLeftClickRaisesOnClickAfterTheSelectionMoved) {
  form_->Show();
  TTreeNode* computer = Child(tree_->Item(0), A("我的电脑"));
  ASSERT_NE(computer, nullptr);
  std::vector<std::string> seen;
  tree_->OnClick = [&](TObject*) { seen.push_back(tree_->Selected()->Text()); };
  auto* view = static_cast<QTreeWidget*>(tree_->Widget());
  QWidget* viewport = view->viewport();
  const win::RECT r = tree_->NodeRect(computer, true);
  const QPoint onCaption((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  const QPoint empty(150, 360);
  for (const QPoint& p : {onCaption, empty}) {
    QMouseEvent press(QEvent::MouseButtonPress, p, viewport->mapToGlobal(p), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, p, viewport->mapToGlobal(p), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &press);
    QApplication::sendEvent(viewport, &release);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{A("我的电脑"), A("我的电脑")}));
}

// Changes made from outside, then one Resync: the selection, the shell order and the nodes
// that stay untouched.
TEST_F(ShellTreeTest, ResyncFollowsChangesMadeFromOutside) {
  tree_->Widget();
  struct Case {
    const char* name;
    std::vector<std::string> prepare;  // folders made before the tree is listed
    std::string select;
    std::vector<std::string> remove, make;  // below c/Photos
    std::vector<std::string> captions;      // of Photos afterwards
    std::string path;                       // SelectedPath afterwards
  } cases[] = {
      {"selected folder removed",
       {},
       "C:\\Photos\\2006",
       {"2006"},
       {},
       {".hidden", "link"},
       "C:\\Photos"},
      {"selection deep in a removed subtree",
       {"2006/deep/deeper"},
       "C:\\Photos\\2006\\deep\\deeper",
       {"2006"},
       {},
       {".hidden", "link"},
       "C:\\Photos"},
      {"added folders in shell order",
       {},
       "C:\\Photos\\2006",
       {},
       {"img10", "Zeta", "img2", A("乗")},
       {".hidden", "2006", "img2", "img10", "link", "Zeta", A("乗")},
       "C:\\Photos\\2006"},
      {"renamed selection is one gone and one new",
       {},
       "C:\\Photos\\2006",
       {"2006"},
       {"2007"},
       {".hidden", "2007", "link"},
       "C:\\Photos"},
      {"a folder gains its first subfolder",
       {},
       "C:\\Photos\\2006",
       {},
       {"2006/new"},
       {".hidden", "2006", "link"},
       "C:\\Photos\\2006"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(scratch.HostOf("c/Photos"));
    for (const char* dir : {"c/Photos/2006", "c/Photos/.hidden"})
      std::filesystem::create_directories(scratch.HostOf(dir));
    std::filesystem::create_directory_symlink(scratch.HostOf("c/desk"),
                                              scratch.HostOf("c/Photos/link"));
    for (const std::string& dir : c.prepare)
      std::filesystem::create_directories(scratch.HostOf("c/Photos/" + dir));
    tree_->Refill();
    ASSERT_NE(NavigateTo(c.select), nullptr);
    ASSERT_EQ(tree_->SelectedPath(), c.select);
    TTreeNode* photos = Walk({A("我的电脑"), kC, "Photos"});
    ASSERT_NE(photos, nullptr);
    TTreeNode* hidden = Child(photos, ".hidden");
    for (const std::string& dir : c.remove)
      std::filesystem::remove_all(scratch.HostOf("c/Photos/" + win::AnsiToUtf8(dir).value()));
    for (const std::string& dir : c.make)
      std::filesystem::create_directories(
          scratch.HostOf("c/Photos/" + win::AnsiToUtf8(dir).value()));
    int changes = 0;
    tree_->OnChange = [&](TObject*) { ++changes; };
    tree_->Resync();
    tree_->OnChange = nullptr;
    EXPECT_EQ(Captions(photos), c.captions);
    EXPECT_EQ(tree_->SelectedPath(), c.path);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(Child(photos, ".hidden"), hidden) << "an untouched node was made again";
    EXPECT_EQ(tree_->ChangeSuppressCount(), 0);
  }
  // The folder that gained a subfolder shows it without being expanded first.
  TTreeNode* y2006 = Walk({A("我的电脑"), kC, "Photos", "2006"});
  ASSERT_NE(y2006, nullptr);
  EXPECT_EQ(Captions(y2006), std::vector<std::string>{"new"});
}

// Names the code page cannot hold, and double-byte names whose second byte is "\", appear and
// give their exact paths, also when navigated through.
TEST_F(ShellTreeTest, NamesOutsideGbkAndWithABackslashTrailByte) {
  tree_->Widget();
  std::filesystem::create_directories(scratch.HostOf("c/Names"));
  TTreeNode* names = Walk({A("我的电脑"), kC, "Names"});
  ASSERT_NE(names, nullptr);
  const std::vector<std::string> utf8 = {"乗", "表\xE3\x83\xBC", "한글", "😀", "ƒ乗x"};
  for (const std::string& name : utf8)
    std::filesystem::create_directories(scratch.HostOf("c/Names/" + name + "/" + name));
  tree_->Resync();
  ASSERT_EQ(names->Count(), int(utf8.size()));
  for (const std::string& name : utf8) {
    const std::string ansi = A(name);
    SCOPED_TRACE(name);
    TTreeNode* node = Child(names, ansi);
    ASSERT_NE(node, nullptr);
    tree_->SetSelected(node);
    EXPECT_EQ(tree_->SelectedPath(), "C:\\Names\\" + ansi);
    const std::string inner = "C:\\Names\\" + ansi + "\\" + ansi;
    TTreeNode* reached = NavigateTo(inner);
    ASSERT_NE(reached, nullptr);
    EXPECT_EQ(reached->Text(), ansi);
    EXPECT_EQ(reached->Parent(), node);
    EXPECT_EQ(tree_->SelectedPath(), inner);
  }
}

// Navigation expands the way and stops, selected, at the last node it can reach; Refill comes
// back to the selected folder the same way.
TEST_F(ShellTreeTest, NavigationAndRefillReturnToTheSelectedFolder) {
  tree_->Widget();
  struct Case {
    std::string target, path, caption;
    bool gone;  // the target is removed once its list is made
  } cases[] = {
      {"C:\\Photos\\2006", "C:\\Photos\\2006", "2006", false},
      {"C:\\Photos\\gone\\deeper", "C:\\Photos", "Photos", true},
      {"D:\\", "D:\\", A("可移动磁盘 (D:)"), false},
      {"C:\\desk", "C:\\desk", "desk", false},
  };
  for (const Case& c : cases) {
    if (c.gone) std::filesystem::create_directories(scratch.HostOf("c/Photos/gone/deeper"));
    win::LPITEMIDLIST list = win::ILCreateFromPathA(c.target.c_str());
    ASSERT_NE(list, nullptr) << c.target;
    std::filesystem::remove_all(scratch.HostOf("c/Photos/gone"));
    tree_->NavigateTo(list);
    win::ILFree(list);
    TTreeNode* reached = tree_->Selected();
    ASSERT_NE(reached, nullptr) << c.target;
    EXPECT_EQ(reached->Text(), c.caption) << c.target;
    EXPECT_EQ(tree_->SelectedPath(), c.path) << c.target;
    // Every node above the one reached is expanded.
    for (TTreeNode* p = reached->Parent(); p != nullptr; p = p->Parent())
      EXPECT_TRUE(p->Expanded()) << c.target << " at " << p->Text();
    // Refill makes every node anew and comes back to the folder. (The new node may take the
    // old one's address, so the old one is known gone by its deletion.)
    bool reachedDeleted = false;
    tree_->OnDeleteItem = [&](TObject*, TTreeNode* node) { reachedDeleted |= node == reached; };
    tree_->Refill();
    tree_->OnDeleteItem = nullptr;
    ASSERT_NE(tree_->Selected(), nullptr);
    EXPECT_TRUE(reachedDeleted) << c.target;
    EXPECT_EQ(tree_->Selected()->Text(), c.caption) << c.target;
    EXPECT_EQ(tree_->SelectedPath(), c.path) << c.target;
  }
  // The virtual computer node has no path but is reached all the same.
  win::LPITEMIDLIST computer = nullptr;
  ASSERT_EQ(win::SHGetSpecialFolderLocation(nullptr, win::CSIDL_DRIVES, &computer), win::S_OK);
  tree_->SetSelectedFolder(computer);
  win::ILFree(computer);
  EXPECT_EQ(tree_->Selected()->Text(), A("我的电脑"));
  EXPECT_EQ(tree_->SelectedPath(), "");
  // While changes are suppressed, navigation does nothing.
  tree_->RaiseChangeSuppress();
  EXPECT_EQ(NavigateTo("C:\\Photos")->Text(), A("我的电脑"));
  tree_->LowerChangeSuppress();
  EXPECT_THROW(tree_->LowerChangeSuppress(), EInvalidOperation);
}

// A refresh asked for during a shell operation is owed and runs when it ends; change signals
// are dropped meanwhile, then debounced into one Resync by the pending-action timer; the
// fill request fills a tree without nodes; listing runs under the hourglass.
TEST_F(ShellTreeTest, OwedRefreshesChangeSignalsAndTheFillRequest) {
  const win::HWND window = tree_->Handle();
  TTreeNode* c = Walk({A("我的电脑"), kC});
  ASSERT_NE(c, nullptr);
  ASSERT_TRUE(c->Expand());
  TTreeNode* selected = Child(c, "Photos");
  tree_->SetSelected(selected);
  std::filesystem::create_directories(scratch.HostOf("c/later"));

  tree_->SetOperationActive(true);
  tree_->Resync();
  tree_->Refill();
  win::SendMessage(window, kShellTreeChangeSignal, 0, 0);
  EXPECT_TRUE(tree_->ResyncOwed());
  EXPECT_EQ(tree_->PendingAction(), TRzPendingAction::paNone);
  EXPECT_EQ(Child(c, "later"), nullptr);
  EXPECT_EQ(tree_->Selected(), selected) << "the owed refill cleared the tree";
  tree_->SetOperationActive(false);
  tree_->RunOwedResync();
  EXPECT_FALSE(tree_->ResyncOwed());
  EXPECT_NE(Child(c, "later"), nullptr);

  std::filesystem::create_directories(scratch.HostOf("c/later2"));
  tree_->SetSkipNextChangeSignal(true);
  win::SendMessage(window, kShellTreeChangeSignal, 3, 0);
  EXPECT_FALSE(tree_->SkipNextChangeSignal());
  EXPECT_EQ(tree_->PendingAction(), TRzPendingAction::paNone);
  win::SendMessage(window, kShellTreeChangeSignal, 3, 0);
  win::SendMessage(window, kShellTreeChangeSignal, 4, 0);
  EXPECT_EQ(tree_->PendingAction(), TRzPendingAction::paResync);
  EXPECT_EQ(Child(c, "later2"), nullptr);
  win::SendMessage(window, win::WM_TIMER, 1, 0);
  EXPECT_EQ(tree_->PendingAction(), TRzPendingAction::paNone);
  EXPECT_NE(Child(c, "later2"), nullptr);

  std::vector<TCursor> cursors;
  tree_->OnFillStart = [&](TObject*) { cursors.push_back(Screen->Cursor()); };
  ASSERT_TRUE(Child(c, "Photos")->Expand());
  tree_->Resync();
  EXPECT_EQ(cursors, (std::vector<TCursor>{crHourGlass, crHourGlass}));
  EXPECT_EQ(Screen->Cursor(), crDefault);

  // A tree whose window is made after loading fills itself from the posted request.
  auto* second = new TRzShellTree(form_.get());
  second->SetParent(form_.get());
  second->Widget();
  EXPECT_EQ(second->Count(), 0);
  EXPECT_TRUE(PumpUntil([&] { return second->Count() == 1; }));
  EXPECT_EQ(second->Selected(), second->Item(0));
}

// The wheel scrolls the view by the system's lines per notch and leaves the selection alone.
TEST_F(ShellTreeTest, WheelScrollsTheViewByTheSystemsLines) {
  for (int i = 0; i < 60; ++i)
    std::filesystem::create_directories(scratch.HostOf("c/many/f" + std::to_string(i)));
  form_->Show();
  TTreeNode* many = Walk({A("我的电脑"), kC, "many"});
  ASSERT_NE(many, nullptr);
  ASSERT_TRUE(many->Expand());
  tree_->SetSelected(many);
  auto* view = static_cast<QTreeWidget*>(tree_->Widget());
  QScrollBar* bar = view->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 20);
  const int savedLines = QApplication::wheelScrollLines();
  struct Case {
    int lines;
    std::vector<int> deltas;
    bool handled;
    int value;
  } cases[] = {
      {3, {-120}, false, 3},     {3, {-120, -120}, false, 6}, {1, {-120}, false, 1},
      {5, {-60, -60}, false, 5}, {3, {-120, 120}, false, 0},  {3, {-120}, true, 0},
      {5, {-60}, false, 0},  // half a notch waits for the other half
  };
  for (const Case& c : cases) {
    bar->setValue(0);
    QApplication::setWheelScrollLines(c.lines);
    tree_->OnMouseWheel = [&](TObject*, TShiftState, int, win::POINT, bool& handled) {
      handled = c.handled;
    };
    for (int delta : c.deltas) {
      const QPointF at(50, 50);
      QWheelEvent wheel(at, view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta),
                        Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(view->viewport(), &wheel);
    }
    EXPECT_EQ(bar->value(), c.value) << c.lines << " lines, " << c.deltas.size() << " events";
    EXPECT_EQ(tree_->Selected(), many);
  }
  QApplication::setWheelScrollLines(savedLines);
}

}  // namespace
