// The folder tree over a drive table and desktop of the test's own: the first fill, lazy
// expansion, ghosting, SelectedPath and the click.
#include <QMouseEvent>
#include <QTreeWidget>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "browse/shell_tree.h"
#include "platform/kernel/kernel.h"
#include "platform/shell/image_list.h"
#include "platform/shell/shell_folder.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/ui_test_support.h"

namespace {

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

  static std::vector<std::string> Captions(TTreeNode* node) {
    std::vector<std::string> out;
    for (int i = 0; i < node->Count(); ++i) out.push_back(node->Item(i)->Text());
    return out;
  }
  static TTreeNode* Child(TTreeNode* node, const std::string& caption) {
    for (int i = 0; i < node->Count(); ++i)
      if (node->Item(i)->Text() == caption) return node->Item(i);
    return nullptr;
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

}  // namespace
