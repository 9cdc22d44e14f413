// The folder tree's shell operations over a drive table and desktop of the test's own:
// renaming in place, the keyboard commands and the shell's context menu with its verbs.
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "browse/shell_tree.h"
#include "platform/kernel/kernel.h"
#include "platform/shell/shell_ops.h"
#include "platform/user/clipboard.h"
#include "tests/browse/tree_nodes.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/ui_test_support.h"
#include "ui/forms.h"
#include "ui/menus.h"

namespace {

using browsetest::Captions;
using browsetest::Child;

namespace fs = std::filesystem;

std::string A(const std::string& utf8) {
  return win::Utf8ToAnsi(utf8).value();
}
const std::string kC = A("本地磁盘 (C:)");

// GIO reads XDG_DATA_HOME once per process: one trash for the whole suite.
const std::string& TrashHome() {
  static const std::string home = [] {
    static test_support::ScratchFolder folder("suotu-tree-trash");
    setenv("XDG_DATA_HOME", folder.Host().c_str(), 1);
    return folder.Host();
  }();
  return home;
}

class ShellTreeOpsTest : public uitest::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    TrashHome();
    for (const char* dir : {"c/desk", "c/home", "c/Photos/2006", "c/Other", "c/Target"})
      fs::create_directories(scratch.HostOf(dir));
    scratch.Write("c/Photos/2006/a.jpg", "x");
    win::SetDriveTable({{'C', scratch.HostOf("c"), win::DRIVE_FIXED}});
    win::SetShellFolderLocations(scratch.HostOf("c/desk"), scratch.HostOf("c/home"));
    win::SetClipboardBackend(nullptr);
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetBounds(0, 0, 300, 400);
    tree_ = new TRzShellTree(form_.get());
    tree_->SetParent(form_.get());
    tree_->SetBounds(0, 0, 200, 380);
    // No watcher: the signals of the tree's own changes are the test's to look at.
    tree_->SetOptions(tree_->Options() & ~StoBit(TRzShellTreeOption::stoDynamicRefresh));
    form_->Handle();
    Application->SetMainForm(form_.get());  // the owner of the shell's messages
    tree_->Refill();
    previousPresenter_ = TPopupMenu::SetPresenter([this](TPopupMenu& menu, int, int) {
      ++menusShown;
      captions.clear();
      activeWhileOpen = tree_->OperationActive();
      TMenuItem* pick = nullptr;
      for (int i = 0; i < menu.Items().Count(); ++i) {
        captions.push_back(menu.Items().Items(i)->Caption());
        if (menu.Items().Items(i)->Caption() == choose) pick = menu.Items().Items(i);
      }
      return pick;
    });
  }
  void TearDown() override {
    TPopupMenu::SetPresenter(previousPresenter_);
    Application->SetMainForm(nullptr);
    form_.reset();
    win::SetShellFolderLocations("", "");
    win::SetDriveTable({});
    UiTest::TearDown();
  }

  TTreeNode* Drive() {
    TTreeNode* computer = Child(tree_->Item(0), A("我的电脑"));
    computer->Expand();
    TTreeNode* drive = Child(computer, kC);
    drive->Expand();
    return drive;
  }
  void Select(TTreeNode* node) { tree_->SetSelected(node); }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(tree_->Widget(), &press);
  }
  void RightClick(TTreeNode* node) {
    auto* view = static_cast<QTreeWidget*>(tree_->Widget());
    QPoint p(150, 370);  // below the last row
    if (node != nullptr) {
      const win::RECT r = tree_->NodeRect(node, true);
      p = QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    QWidget* viewport = view->viewport();
    QContextMenuEvent event(QContextMenuEvent::Mouse, p, viewport->mapToGlobal(p));
    QApplication::sendEvent(viewport, &event);
  }
  bool ClipboardNamesFiles() {
    win::ClipboardFileList list;
    return win::ReadFileListFromClipboard(nullptr, &list);
  }
  void Edit(const std::string& utf8) {
    // The open edit box: a closed one may still wait for its deferred deletion.
    QLineEdit* editor = nullptr;
    for (QLineEdit* box : tree_->Widget()->findChildren<QLineEdit*>())
      if (!box->isHidden()) editor = box;
    ASSERT_NE(editor, nullptr);
    editor->setText(QString::fromStdString(utf8));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(editor, &enter);
    PumpUntil([this] { return !tree_->IsEditing(); });
  }

  test_support::ScratchFolder scratch{"suotu-tree-ops"};
  std::unique_ptr<TForm> form_;
  TRzShellTree* tree_ = nullptr;
  int menusShown = 0;
  bool activeWhileOpen = false;
  std::vector<std::string> captions;
  std::string choose;

 private:
  TPopupMenu::Presenter previousPresenter_;
};

TEST_F(ShellTreeOpsTest, RenameInPlaceKeepsTheSelectionResortsAndKeepsTheCaptionOnFailure) {
  TTreeNode* root = tree_->Item(0);
  TTreeNode* drive = Drive();
  TTreeNode* computer = drive->Parent();
  // Neither the root, nor the shell's own items, nor a drive open an edit box.
  for (TTreeNode* node : {root, computer, Child(computer, A("控制面板")), drive}) {
    EXPECT_FALSE(tree_->StartRename(node)) << node->Text();
    EXPECT_FALSE(tree_->IsEditing());
  }
  TTreeNode* photos = Child(drive, "Photos");
  photos->Expand();
  TTreeNode* year = Child(photos, "2006");
  ASSERT_NE(year, nullptr);
  ASSERT_NE(TRzShellTree::DataOf(year)->AbsoluteList(), nullptr);  // cached before the rename
  Select(photos);
  ASSERT_TRUE(tree_->StartRename(photos));
  Edit("  Zeta ");
  EXPECT_EQ(photos->Text(), "Zeta");
  EXPECT_TRUE(scratch.Exists("c/Zeta/2006/a.jpg"));
  EXPECT_EQ(Captions(drive), (std::vector<std::string>{"desk", "home", "Other", "Target", "Zeta"}));
  EXPECT_EQ(tree_->Selected(), photos);
  EXPECT_EQ(tree_->SelectedPath(), "C:\\Zeta");
  EXPECT_TRUE(tree_->SkipNextChangeSignal());
  EXPECT_EQ(tree_->ChangeSuppressCount(), 0);
  char path[win::MAX_PATH] = {};
  ASSERT_TRUE(win::SHGetPathFromIDListA(TRzShellTree::DataOf(year)->AbsoluteList(), path));
  EXPECT_STREQ(path, "C:\\Zeta\\2006");

  // A name another folder has: the shell says so, the caption stays, no signal is skipped.
  ASSERT_TRUE(tree_->StartRename(photos));
  Edit("other");
  EXPECT_EQ(photos->Text(), "Zeta");
  EXPECT_FALSE(tree_->SkipNextChangeSignal());
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_NE(boxes_[0].text.find(A("现有文件重名")), std::string::npos);
  EXPECT_TRUE(scratch.Exists("c/Zeta"));
}

TEST_F(ShellTreeOpsTest, KeyboardCommandsActOnTheSelectedFolderAndNeverOnTheRoot) {
  TTreeNode* root = tree_->Item(0);
  Select(root);
  const std::vector<std::string> before = Captions(root);
  for (auto [key, modifiers] : {std::pair{Qt::Key_Delete, Qt::KeyboardModifiers()},
                                std::pair{Qt::Key_Delete, Qt::KeyboardModifiers(Qt::ShiftModifier)},
                                std::pair{Qt::Key_C, Qt::KeyboardModifiers(Qt::ControlModifier)},
                                std::pair{Qt::Key_X, Qt::KeyboardModifiers(Qt::ControlModifier)},
                                std::pair{Qt::Key_V, Qt::KeyboardModifiers(Qt::ControlModifier)},
                                std::pair{Qt::Key_F2, Qt::KeyboardModifiers()}})
    Key(key, modifiers);
  EXPECT_EQ(Captions(root), before);
  EXPECT_FALSE(ClipboardNamesFiles());
  EXPECT_FALSE(tree_->IsEditing());
  EXPECT_TRUE(boxes_.empty());
  EXPECT_TRUE(fs::exists(scratch.HostOf("c/desk")));

  // Ctrl+C on one folder, Ctrl+V on another: copied whole and shown at once.
  TTreeNode* drive = Drive();
  Select(Child(drive, "Photos"));
  Key(Qt::Key_C, Qt::ControlModifier);
  Select(Child(drive, "Target"));
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(scratch.Read("c/Target/Photos/2006/a.jpg"), "x");
  EXPECT_EQ(Captions(Child(drive, "Target")), std::vector<std::string>{"Photos"});

  // Shift+Del reaches the delete verb, which asks first; Del moves to the trash at once.
  int asked = 0;
  win::SetMessageBoxPresenter(
      [&asked](win::HWND, const std::string&, const std::string&, win::UINT) {
        ++asked;
        return win::IDNO;
      });
  Select(Child(drive, "Other"));
  Key(Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(scratch.Exists("c/Other"));
  Select(Child(drive, "Other"));
  Key(Qt::Key_Delete);
  EXPECT_FALSE(scratch.Exists("c/Other"));
  EXPECT_EQ(Child(drive, "Other"), nullptr);
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(fs::exists(fs::path(TrashHome()) / "Trash" / "info"));
}

TEST_F(ShellTreeOpsTest, ContextMenuOfTheNodeUnderTheClickOrOfTheSelection) {
  TTreeNode* root = tree_->Item(0);
  tree_->Widget();
  RightClick(root);
  EXPECT_EQ(menusShown, 0);

  TTreeNode* drive = Drive();
  TTreeNode* photos = Child(drive, "Photos");
  Select(photos);
  choose = A("重命名(&M)");
  RightClick(photos);
  ASSERT_EQ(menusShown, 1);
  EXPECT_TRUE(activeWhileOpen);
  EXPECT_FALSE(tree_->OperationActive());
  EXPECT_EQ(captions,
            (std::vector<std::string>{A("打开(&O)"), A("资源管理器(&X)"), "-", A("发送到(&N)"), "-",
                                      A("剪切(&T)"), A("复制(&C)"), A("粘贴(&P)"), "-",
                                      A("删除(&D)"), A("重命名(&M)"), "-", A("属性(&R)")}));
  EXPECT_TRUE(tree_->IsEditing());
  tree_->EndEditing(true);
  PumpUntil([this] { return !tree_->IsEditing(); });

  // A right press elsewhere leaves the selection; over empty space the menu is the selected
  // node's. Delete removes the node at once.
  {
    QWidget* viewport = static_cast<QTreeWidget*>(tree_->Widget())->viewport();
    const win::RECT r = tree_->NodeRect(Child(drive, "Other"), true);
    const QPoint p((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    QMouseEvent press(QEvent::MouseButtonPress, p, viewport->mapToGlobal(p), Qt::RightButton,
                      Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &press);
    EXPECT_EQ(tree_->Selected(), photos);
  }
  choose = A("删除(&D)");
  RightClick(nullptr);
  EXPECT_EQ(menusShown, 2);
  EXPECT_EQ(Child(drive, "Photos"), nullptr);
  EXPECT_FALSE(scratch.Exists("c/Photos"));

  // The Apps key opens the selected node's menu; nothing chosen, nothing done.
  choose.clear();
  Select(Child(drive, "Other"));
  Key(Qt::Key_Menu);
  EXPECT_EQ(menusShown, 3);
  EXPECT_EQ(captions.front(), A("打开(&O)"));
  EXPECT_TRUE(scratch.Exists("c/Other"));
}

// 发送到 through the tree's menu: it fills when it opens (the handler gets WM_INITMENUPOPUP
// through the tree), each target copies or links, and the hints follow the highlight.
TEST_F(ShellTreeOpsTest, SendToFillsWhenItOpensAndEachTargetCopiesOrLinks) {
  fs::create_directories(scratch.HostOf("usb"));
  win::SetDriveTable({{'C', scratch.HostOf("c"), win::DRIVE_FIXED},
                      {'E', scratch.HostOf("usb"), win::DRIVE_REMOVABLE},
                      {'F', scratch.HostOf("gone"), win::DRIVE_REMOVABLE}});
  std::vector<std::string> hints;
  tree_->OnPopupHint = [&](TObject*) { hints.push_back(tree_->PopupHint()); };
  std::vector<std::string> targets;
  std::string target;  // the sub-menu entry to choose
  TPopupMenu::SetPresenter([&](TPopupMenu& menu, int, int) -> TMenuItem* {
    TMenuItem* sendTo = nullptr;
    for (int i = 0; i < menu.Items().Count(); ++i) {
      TMenuItem* item = menu.Items().Items(i);
      if (item->Caption() == A("复制(&C)")) item->Highlight();
      if (item->Caption() == A("发送到(&N)")) sendTo = item;
    }
    EXPECT_NE(sendTo, nullptr);
    if (sendTo == nullptr) return nullptr;
    sendTo->Highlight();
    sendTo->Opening();
    targets.clear();
    TMenuItem* pick = nullptr;
    for (int i = 0; i < sendTo->Count(); ++i) {
      targets.push_back(sendTo->Items(i)->Caption());
      if (sendTo->Items(i)->Caption() == target) pick = sendTo->Items(i);
    }
    if (pick != nullptr) pick->Highlight();
    return pick;
  });
  TTreeNode* drive = Drive();
  TTreeNode* photos = Child(drive, "Photos");
  Select(photos);

  target = A("我的文档");
  Key(Qt::Key_Menu);  // the selected node's menu
  EXPECT_EQ(targets, (std::vector<std::string>{A("桌面快捷方式"), A("我的文档"),
                                               A("可移动磁盘 (E:)"), A("可移动磁盘 (F:)")}));
  EXPECT_EQ(scratch.Read("c/home/Photos/2006/a.jpg"), "x");
  EXPECT_EQ(Captions(Child(drive, "home")), std::vector<std::string>{"Photos"});  // resynced
  // Copy's help, nothing for the sub-menu's own entry, the target's, then the menu closed.
  EXPECT_EQ(hints, (std::vector<std::string>{A("将选定的项目复制到剪贴板。"), "",
                                             A("将选定的项目复制到“我的文档”。"), ""}));
  EXPECT_EQ(tree_->PopupHint(), "");

  target = A("可移动磁盘 (E:)");
  Key(Qt::Key_Menu);
  EXPECT_EQ(scratch.Read("usb/Photos/2006/a.jpg"), "x");
  target = A("桌面快捷方式");
  Key(Qt::Key_Menu);
  Key(Qt::Key_Menu);
  for (const char* link : {"c/desk/快捷方式 到 Photos", "c/desk/快捷方式 (2) 到 Photos"}) {
    SCOPED_TRACE(link);
    ASSERT_TRUE(fs::is_symlink(scratch.HostOf(link)));
    EXPECT_EQ(fs::read_symlink(scratch.HostOf(link)), scratch.HostOf("c/Photos"));
  }
  // A drive whose folder is gone: the shell says why, nothing is made.
  EXPECT_TRUE(boxes_.empty());
  target = A("可移动磁盘 (F:)");
  Key(Qt::Key_Menu);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_NE(boxes_[0].text.find(A("无法复制 Photos")), std::string::npos);
  EXPECT_FALSE(fs::exists(scratch.HostOf("gone")));
  EXPECT_FALSE(tree_->OperationActive());
}

}  // namespace
