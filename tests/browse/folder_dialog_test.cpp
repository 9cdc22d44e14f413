// The folder dialog over a drive table and desktop of the test's own: what it shows, and the
// answer for each kind of item, confirmed and cancelled.
#include "browse/folder_dialog.h"

#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "browse/shell_tree.h"
#include "platform/kernel/kernel.h"
#include "platform/shell/shell_folder.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/ui_test_support.h"
#include "ui/stdctrls.h"

namespace {

std::string A(const std::string& utf8) {
  return win::Utf8ToAnsi(utf8).value();
}

class FolderDialogTest : public uitest::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    for (const char* dir : {"c/desk/Trip", "c/home", "c/Photos"})
      std::filesystem::create_directories(scratch_.HostOf(dir));
    win::SetDriveTable({{'C', scratch_.HostOf("c"), win::DRIVE_FIXED}});
    win::SetShellFolderLocations(scratch_.HostOf("c/desk"), scratch_.HostOf("c/home"));
    owner_ = std::make_unique<TForm>(nullptr);
    owner_->SetBounds(100, 100, 600, 400);
  }
  void TearDown() override {
    owner_.reset();
    win::SetShellFolderLocations("", "");
    win::SetDriveTable({});
    UiTest::TearDown();
  }

  static TTreeNode* Child(TTreeNode* node, const std::string& caption) {
    node->Expand();
    for (int i = 0; i < node->Count(); ++i)
      if (node->Item(i)->Text() == caption) return node->Item(i);
    return nullptr;
  }

  test_support::ScratchFolder scratch_{"suotu-folder-dialog"};
  std::unique_ptr<TForm> owner_;
};

TEST_F(FolderDialogTest, ShowsThePromptTheNamespaceAndTwoButtonsOverItsOwner) {
  TFolderDialog dialog(owner_.get());
  dialog.Prepare();
  EXPECT_EQ(dialog.Form()->Caption(), A("浏览文件夹"));
  EXPECT_EQ(dialog.PromptLabel()->Caption(), A("请选择相应文件夹"));
  EXPECT_EQ(dialog.OkButton()->Caption(), A("确定"));
  EXPECT_EQ(dialog.CancelButton()->Caption(), A("取消"));
  EXPECT_EQ(dialog.Form()->Widget()->parentWidget(), owner_->Widget());
  ASSERT_EQ(dialog.Tree()->Count() > 0, true);
  EXPECT_EQ(dialog.Tree()->Selected(), dialog.Tree()->Item(0));
  EXPECT_EQ(dialog.Tree()->Item(0)->Text(), A("桌面"));
}

TEST_F(FolderDialogTest, AnswersTheChosenFileSystemPathAndNothingElse) {
  const std::string computer = A("我的电脑");
  const std::string driveC = A("本地磁盘 (C:)");
  const struct {
    std::vector<std::string> captions;  // from the desktop
    bool confirmed;
    std::string answer;
  } cases[] = {
      {{}, true, std::string("C:\\desk")},
      {{"Trip"}, true, "C:\\desk\\Trip"},
      {{computer, driveC}, true, "C:\\"},
      {{computer, driveC, "Photos"}, true, "C:\\Photos"},
      {{computer, driveC, "Photos"}, false, ""},
      {{computer}, true, ""},
      {{computer, A("控制面板")}, true, ""},
      {{A("回收站")}, true, ""},
      {{A("网上邻居")}, true, ""},
  };
  for (const auto& c : cases) {
    TFolderDialog dialog(owner_.get());
    dialog.Prepare();
    TTreeNode* node = dialog.Tree()->Item(0);
    for (const std::string& caption : c.captions) {
      ASSERT_NE(node, nullptr);
      node = Child(node, caption);
    }
    ASSERT_NE(node, nullptr) << c.answer;
    dialog.Tree()->SetSelected(node);
    EXPECT_EQ(dialog.TakeResult(c.confirmed), c.answer) << node->Text();
  }
}

TEST_F(FolderDialogTest, RunsModallyUntilAButtonEndsIt) {
  for (const bool confirm : {true, false}) {
    TFolderDialog dialog(owner_.get());
    // Clicked from inside the dialog's own loop, once the window is up.
    QTimer::singleShot(0, [&] {
      TButton* button = confirm ? dialog.OkButton() : dialog.CancelButton();
      if (button != nullptr) button->Click();
    });
    EXPECT_EQ(dialog.Execute(), confirm ? std::string("C:\\desk") : "");
  }
}

}  // namespace
