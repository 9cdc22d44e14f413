// The tree keeping itself in step: changes made by other processes on watched drives, device
// arrivals and removals, its own renames, and its end while changes keep coming. Every wait is
// for a condition, bounded; the debounce itself (400 / 2000 ms) is the tree's timer.
#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "browse/change_handler.h"
#include "browse/device_change.h"
#include "browse/shell_tree.h"
#include "platform/kernel/kernel.h"
#include "platform/shell/shell_folder.h"
#include "tests/browse/tree_nodes.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/ui_test_support.h"

namespace {

using browsetest::Captions;
using browsetest::Child;

namespace fs = std::filesystem;

std::string A(const std::string& utf8) {
  return win::Utf8ToAnsi(utf8).value();
}

int OpenDescriptors() {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

template <class Done>
bool PumpFor(Done done, int limit = 15000) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < limit) QApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

// Counts the change signals the tree gets (with their slots) and its resyncs.
class WatchedTree : public TRzShellTree {
 public:
  explicit WatchedTree(TComponent* owner) : TRzShellTree(owner) {
    OnFillStart = [this](TObject*) { ++fills; };
  }
  std::vector<int> signals_;
  int fills = 0;

 protected:
  void ChangeSignal(win::WPARAM slot) override {
    signals_.push_back(int(slot));
    TRzShellTree::ChangeSignal(slot);
  }
};

// C: (fixed) holds the desktop and the documents; D: is a removable drive with a medium in.
class ShellTreeWatchTest : public uitest::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    for (const char* dir : {"c/desk", "c/home", "c/Photos/2006", "usb/pics", "extra"})
      fs::create_directories(scratch.HostOf(dir));
    win::SetDriveTable({{'C', scratch.HostOf("c"), win::DRIVE_FIXED},
                        {'D', scratch.HostOf("usb"), win::DRIVE_REMOVABLE}});
    win::SetShellFolderLocations(scratch.HostOf("c/desk"), scratch.HostOf("c/home"));
    TRzDeviceChangeHandler::Instance();  // the process's relay and its helpers, made once
    // The new drive table is broadcast as drives arriving; that is over before the tree comes.
    // (The check, then the relay message it posts.)
    for (int i = 0; i < 3; ++i) QCoreApplication::sendPostedEvents();
    descriptorsBefore_ = OpenDescriptors();
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetBounds(0, 0, 300, 400);
    tree_ = new WatchedTree(form_.get());
    tree_->SetParent(form_.get());
    tree_->SetBounds(0, 0, 200, 380);
    tree_->Widget();
    tree_->Refill();
  }
  void TearDown() override {
    form_.reset();
    win::SetShellFolderLocations("", "");
    win::SetDriveTable({});
    QApplication::processEvents();
    UiTest::TearDown();
  }

  TTreeNode* Walk(const std::vector<std::string>& captions) {
    TTreeNode* node = tree_->Item(0);
    for (const std::string& caption : captions) {
      node->Expand();
      node = Child(node, caption);
      if (node == nullptr) return nullptr;
    }
    return node;
  }
  // Another process changes the folders.
  void Shell(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

  test_support::ScratchFolder scratch{"suotu-treewatch"};
  std::unique_ptr<TForm> form_;
  WatchedTree* tree_ = nullptr;
  int descriptorsBefore_ = 0;
};

TEST_F(ShellTreeWatchTest, FoldersMadeAndRemovedByOthersShowUpInShellOrderWithOneResync) {
  ASSERT_NE(tree_->Watcher(), nullptr) << "Refill started watching";
  TTreeNode* photos = Walk({A("我的电脑"), A("本地磁盘 (C:)"), "Photos"});
  ASSERT_NE(photos, nullptr);
  ASSERT_TRUE(photos->Expand());
  tree_->fills = 0;

  std::string burst = "cd '" + scratch.HostOf("c/Photos") + "' && mkdir";
  for (int i = 1; i <= 20; ++i) burst += " img" + std::to_string(i);
  Shell(burst);
  ASSERT_TRUE(PumpFor([&] { return photos->Count() == 21; })) << photos->Count();
  EXPECT_EQ(tree_->fills, 1) << "a burst of changes is one Resync";
  const std::vector<std::string> captions = Captions(photos);
  EXPECT_EQ(captions.front(), "2006");
  EXPECT_EQ(captions[1], "img1");
  EXPECT_EQ(captions[2], "img2") << "shell order: numbers by value";
  EXPECT_EQ(captions.back(), "img20");

  Shell("rmdir '" + scratch.HostOf("c/Photos/img7") + "'");
  ASSERT_TRUE(PumpFor([&] { return photos->Count() == 20; }));
  EXPECT_EQ(Child(photos, "img7"), nullptr);
  EXPECT_EQ(tree_->fills, 2);
}

TEST_F(ShellTreeWatchTest, RemovableDrivesAreNotWatchedUntilADeviceEventResyncs) {
  TTreeNode* usb = Walk({A("我的电脑"), A("可移动磁盘 (D:)")});
  ASSERT_NE(usb, nullptr);
  ASSERT_TRUE(usb->Expand());
  ASSERT_EQ(Captions(usb), std::vector<std::string>{"pics"});
  tree_->signals_.clear();
  Shell("mkdir '" + scratch.HostOf("usb/new") + "'");
  // Only C: is watched (slot 0): a change there shows the worker is past the one on D:.
  Shell("mkdir '" + scratch.HostOf("c/marker") + "'");
  ASSERT_TRUE(PumpFor([&] { return !tree_->signals_.empty(); }));
  for (int slot : tree_->signals_) EXPECT_EQ(slot, 0);
  tree_->ArmPendingAction(TRzPendingAction::paNone, 0);  // the marker's resync is not wanted
  EXPECT_EQ(Captions(usb), std::vector<std::string>{"pics"}) << "D:'s change went unnoticed";
  tree_->fills = 0;
  tree_->signals_.clear();

  // A drive arrives: the tree resyncs and shows it, and D:'s change with it.
  TTreeNode* computer = Walk({A("我的电脑")});
  std::vector<win::DriveMapping> table = win::DriveTable();
  table.push_back({'F', scratch.HostOf("extra"), win::DRIVE_FIXED});
  win::SetDriveTable(table);
  ASSERT_TRUE(PumpFor([&] { return Child(computer, A("本地磁盘 (F:)")) != nullptr; }));
  EXPECT_EQ(Captions(computer).back(), A("控制面板")) << "the new drive among the drives";
  EXPECT_EQ(Captions(usb), (std::vector<std::string>{"new", "pics"}));
  EXPECT_EQ(tree_->fills, 1);

  table.pop_back();
  win::SetDriveTable(table);
  ASSERT_TRUE(PumpFor([&] { return Child(computer, A("本地磁盘 (F:)")) == nullptr; }));
  EXPECT_EQ(tree_->fills, 2);
}

// The tree's own rename announces itself, so its change signal is dropped. A rename is two
// events, which the worker may see as one signal or, rarely, as two; either way exactly the
// first is dropped.
TEST_F(ShellTreeWatchTest, OwnRenameCausesNoExtraResync) {
  TTreeNode* photos = Walk({A("我的电脑"), A("本地磁盘 (C:)"), "Photos"});
  ASSERT_TRUE(photos->Expand());
  tree_->fills = 0;
  tree_->signals_.clear();
  tree_->SetSkipNextChangeSignal(true);
  ASSERT_TRUE(win::MoveFileA("C:\\Photos\\2006", "C:\\Photos\\2007"));
  ASSERT_TRUE(PumpFor([&] { return !tree_->signals_.empty(); }));
  EXPECT_FALSE(tree_->SkipNextChangeSignal());
  // A second signal of the same rename would arm the timer; let it run out if it did.
  PumpFor([&] { return tree_->PendingAction() == TRzPendingAction::paNone; });
  EXPECT_EQ(tree_->fills, int(tree_->signals_.size()) - 1);

  // While a shell operation runs in the tree, signals are dropped too.
  tree_->SetOperationActive(true);
  tree_->signals_.clear();
  Shell("mkdir '" + scratch.HostOf("c/Photos/during") + "'");
  ASSERT_TRUE(PumpFor([&] { return !tree_->signals_.empty(); }));
  EXPECT_EQ(tree_->PendingAction(), TRzPendingAction::paNone);
  tree_->SetOperationActive(false);
}

TEST_F(ShellTreeWatchTest, SwitchingDynamicRefreshOffStopsTheSignals) {
  const TRzShellTreeOptions options = tree_->Options();
  tree_->SetOptions(options & ~StoBit(TRzShellTreeOption::stoDynamicRefresh));
  tree_->signals_.clear();
  Shell("mkdir '" + scratch.HostOf("c/quiet") + "'");
  // Back on: watching starts again and a later change is signalled; the earlier one was not.
  tree_->SetOptions(options);
  Shell("mkdir '" + scratch.HostOf("c/loud") + "'");
  ASSERT_TRUE(PumpFor([&] { return !tree_->signals_.empty(); }));
  EXPECT_EQ(tree_->signals_.size(), 1u);
}

// The tree goes while another process keeps changing a watched folder: the worker is ended
// before the window, and nothing it opened stays open.
TEST_F(ShellTreeWatchTest, DestroyingTheTreeWhileChangesArriveEndsTheWorker) {
  ASSERT_NE(tree_->Watcher(), nullptr);
  std::atomic<bool> stop{false};
  std::thread churn([&] {
    for (int i = 0; !stop; ++i) {
      const fs::path dir = scratch.HostOf("c/churn" + std::to_string(i % 4));
      std::error_code ignored;
      if (!fs::create_directory(dir, ignored)) fs::remove(dir, ignored);
    }
  });
  ASSERT_TRUE(PumpFor([&] { return tree_->signals_.size() >= 3; }));
  const win::HWND window = tree_->Handle();
  form_.reset();  // the tree with it
  EXPECT_FALSE(win::IsWindow(window));
  QApplication::processEvents();  // signals posted before the end are dropped, not delivered
  stop = true;
  churn.join();
  EXPECT_TRUE(PumpFor([&] { return OpenDescriptors() == descriptorsBefore_; }))
      << OpenDescriptors() << " open, " << descriptorsBefore_ << " before";
}

}  // namespace
