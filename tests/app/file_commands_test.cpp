// The main window's file list, batch and delete handlers on the window's own controls, over a
// drive table and desktop of the test's own.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/unit1.h"
#include "browse/shell_tree.h"
#include "imaging/bitmap.h"
#include "imaging/jpeg_image.h"
#include "imaging/picture.h"
#include "platform/kernel/kernel.h"
#include "platform/shell/shell_folder.h"
#include "tests/imaging/bitmap_test_support.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/ui_test_support.h"
#include "ui/extctrls.h"
#include "ui/list_box.h"
#include "ui/stdctrls.h"

namespace {

std::string A(const std::string& utf8) {
  return win::Utf8ToAnsi(utf8).value();
}

class FileCommandsTest : public uitest::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    std::filesystem::create_directories(scratch_.HostOf("c/desk"));
    std::filesystem::create_directories(scratch_.HostOf("c/home"));
    win::SetDriveTable({{'C', scratch_.HostOf("c"), win::DRIVE_FIXED}});
    win::SetShellFolderLocations(scratch_.HostOf("c/desk"), scratch_.HostOf("c/home"));
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) MakeJpeg(name, 64, 48);
    form_ = std::make_unique<TForm1>(nullptr);
    tree_ = dynamic_cast<TRzShellTree*>(form_->FindComponent("ShellTreeView1"));
    list_ = dynamic_cast<TListBox*>(form_->FindComponent("RzListBox1"));
    ASSERT_NE(tree_, nullptr);
    ASSERT_NE(list_, nullptr);
    form_->Edit1->SetText("20");
    tree_->Refill();  // the desktop selected
    form_->ShellTreeView1Click(tree_);
  }
  void TearDown() override {
    form_.reset();
    win::SetShellFolderLocations("", "");
    win::SetDriveTable({});
    UiTest::TearDown();
  }

  void MakeJpeg(const std::string& name, int width, int height) {
    TBitmap bitmap;
    bitmap_test::MakeCoded24(bitmap, width, height);
    TJPEGImage jpeg;
    jpeg.CopyFrom(&bitmap);
    jpeg.WriteToFile("C:\\desk\\" + name);
  }
  std::vector<std::string> Items() const {
    std::vector<std::string> items;
    for (int i = 0; i < list_->Items().Count(); ++i) items.push_back(list_->Items().Strings(i));
    return items;
  }
  bool OnDesk(const std::string& name) const { return scratch_.Exists("c/desk/" + name); }

  test_support::ScratchFolder scratch_{"suotu-file-commands"};
  std::unique_ptr<TForm1> form_;
  TRzShellTree* tree_ = nullptr;
  TListBox* list_ = nullptr;
};

TEST_F(FileCommandsTest, AClickOnAFileShowsItAndTheAllFilesCommandWritesEveryThumbnail) {
  ASSERT_EQ(Items().size(), 3u);
  EXPECT_TRUE(list_->Selected(0));
  list_->SetItemIndex(1);
  form_->RzListBox1Click(list_);
  EXPECT_EQ(form_->Image1->Picture().Width(), 64);
  EXPECT_EQ(form_->Image2->Picture().Width(), 20);
  EXPECT_EQ(form_->FindComponent("RzStatusPane1") != nullptr, true);
  EXPECT_EQ(dynamic_cast<TControl*>(form_->FindComponent("RzStatusPane1"))->Caption(),
            A("缩图的大小尺寸:20x15"));
  EXPECT_EQ(dynamic_cast<TMemo*>(form_->FindComponent("Memo1"))->Text(), Items()[1]);

  form_->RzButton2Click(form_->FindComponent("RzButton2"));
  for (const char* stem : {"a", "b", "c"}) EXPECT_TRUE(OnDesk(stem + std::string("缩图.jpg")));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, A("操作完成!"));
  EXPECT_EQ(Items().size(), 6u);  // refilled
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST_F(FileCommandsTest, TheSelectedFilesCommandAndDeleteWorkOnTheSelection) {
  list_->SetSelected(0, false);
  list_->SetSelected(1, true);
  const std::string second =
      std::filesystem::path(win::HostPathFromWindows(Items()[1]).value()).stem().string();
  form_->N2Click(nullptr);
  std::vector<std::string> thumbnails;
  for (const std::string& name : scratch_.Names("c/desk"))
    if (name.find("缩图") != std::string::npos) thumbnails.push_back(name);
  EXPECT_EQ(thumbnails, std::vector<std::string>{second + "缩图.jpg"});
  EXPECT_TRUE(boxes_.empty());
  ASSERT_EQ(Items().size(), 4u);
  EXPECT_TRUE(list_->Selected(0));

  const std::vector<std::string> before = Items();
  list_->SetSelected(2, true);
  form_->N1Click(nullptr);
  EXPECT_EQ(Items(), (std::vector<std::string>{before[1], before[3]}));
  EXPECT_FALSE(std::filesystem::exists(win::HostPathFromWindows(before[0]).value()));
  EXPECT_FALSE(std::filesystem::exists(win::HostPathFromWindows(before[2]).value()));
}

}  // namespace
