// The folder tree's drag and drop over a drive table and desktop of the test's own: a node
// dragged out through a scripted drag host, shell items dropped through the tree's registered
// target, auto-scrolling and auto-expanding on the test's own clock.
#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTreeWidget>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "browse/shell_tree.h"
#include "platform/kernel/kernel.h"
#include "platform/shell/shell.h"
#include "platform/shell/shell_dnd.h"
#include "platform/user/clipboard.h"
#include "platform/user/menu.h"
#include "platform/user/ole.h"
#include "tests/browse/tree_nodes.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/ui_test_support.h"
#include "ui/forms.h"

namespace {

using browsetest::Captions;
using browsetest::Child;

namespace fs = std::filesystem;

std::string A(const std::string& utf8) {
  return win::Utf8ToAnsi(utf8).value();
}

constexpr win::DWORD kAll = win::DROPEFFECT_COPY | win::DROPEFFECT_MOVE | win::DROPEFFECT_LINK;

template <class T>
struct Held {
  T* p = nullptr;
  ~Held() {
    if (p != nullptr) p->Release();
  }
};

// C: is scratch/c with the desktop at C:\desk and the documents at C:\home; D: a removable
// drive without medium.
class ShellTreeDndTest : public uitest::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    for (const char* dir :
         {"c/desk/Inbox", "c/home", "c/Photos/2006", "c/Other/sub", "c/Target", "usb"})
      fs::create_directories(scratch.HostOf(dir));
    scratch.Write("c/Photos/2006/a.jpg", "x");
    win::SetDriveTable({{'C', scratch.HostOf("c"), win::DRIVE_FIXED},
                        {'D', scratch.HostOf("usb"), win::DRIVE_REMOVABLE}});
    win::SetShellFolderLocations(scratch.HostOf("c/desk"), scratch.HostOf("c/home"));
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetBounds(0, 0, 300, 400);
    tree_ = new TRzShellTree(form_.get());
    tree_->SetParent(form_.get());
    tree_->SetBounds(0, 0, 200, 380);
    tree_->SetOptions(tree_->Options() & ~StoBit(TRzShellTreeOption::stoDynamicRefresh));
    tree_->SetTickSource([this] { return now; });
    form_->Show();  // the view's scroll ranges follow its shown size
    Application->SetMainForm(form_.get());
    tree_->Refill();
  }
  void TearDown() override {
    win::SetDragDropHost(nullptr);
    Application->SetMainForm(nullptr);
    form_.reset();
    win::SetShellFolderLocations("", "");
    win::SetDriveTable({});
    UiTest::TearDown();
  }

  TTreeNode* Computer() { return Child(tree_->Item(0), A("我的电脑")); }
  TTreeNode* Drive() {
    TTreeNode* computer = Computer();
    computer->Expand();
    TTreeNode* drive = Child(computer, A("本地磁盘 (C:)"));
    drive->Expand();
    return drive;
  }
  QTreeWidget* View() { return static_cast<QTreeWidget*>(tree_->Widget()); }
  win::POINT Centre(TTreeNode* node) {
    const win::RECT r = tree_->NodeRect(node, true);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  win::POINTL Screen(win::POINT client) {
    const win::POINT p = tree_->ClientToScreen(client);
    return {p.x, p.y};
  }
  // Presses a button on the node's caption and moves past the drag distance with it held.
  void PressAndMove(TTreeNode* node, Qt::MouseButton button) {
    QWidget* viewport = View()->viewport();
    const win::POINT c = Centre(node);
    const QPoint p = viewport->mapFrom(View(), QPoint(c.x, c.y));
    QMouseEvent press(QEvent::MouseButtonPress, p, viewport->mapToGlobal(p), button, button,
                      Qt::NoModifier);
    QApplication::sendEvent(viewport, &press);
    const QPoint q = p + QPoint(12, 3);
    QMouseEvent move(QEvent::MouseMove, q, viewport->mapToGlobal(q), Qt::NoButton, button,
                     Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, q, viewport->mapToGlobal(q), button,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &release);
  }
  // The shell's data object for items of one folder node.
  win::IDataObject* ShellItems(TTreeNode* folder, const std::vector<TTreeNode*>& nodes) {
    std::vector<win::LPCITEMIDLIST> items;
    for (TTreeNode* node : nodes) items.push_back(TRzShellTree::DataOf(node)->RelativeList());
    void* object = nullptr;
    EXPECT_EQ(
        TRzShellTree::DataOf(folder)->Folder()->GetUIObjectOf(
            nullptr, win::UINT(items.size()), items.data(), win::IID_IDataObject, nullptr, &object),
        win::S_OK);
    return static_cast<win::IDataObject*>(object);
  }
  win::IDropTarget* Target() { return win::RegisteredDropTarget(tree_->Handle()); }

  test_support::ScratchFolder scratch{"suotu-tree-dnd"};
  std::unique_ptr<TForm> form_;
  TRzShellTree* tree_ = nullptr;
  win::DWORD now = 1000;
};

// A drag out offers the item as a shell item list and a file list with the effects its
// attributes allow, runs with OperationActive and the node highlighted, ends on the source's
// verdict, and resyncs after a drop or when a refresh was owed meanwhile.
TEST_F(ShellTreeDndTest, DraggingANodeOutOffersTheShellItemAndResyncsAfterADrop) {
  TTreeNode* drive = Drive();
  struct Case {
    const char* name;
    Qt::MouseButton button;
    win::DWORD held;  // the starting button's key state
    win::HRESULT outcome;
    bool owesResync;  // the host asks for a Resync meanwhile
    bool resynced;
  } cases[] = {
      {"left, dropped", Qt::LeftButton, win::MK_LBUTTON, win::DRAGDROP_S_DROP, false, true},
      {"right, dropped", Qt::RightButton, win::MK_RBUTTON, win::DRAGDROP_S_DROP, false, true},
      {"cancelled", Qt::LeftButton, win::MK_LBUTTON, win::DRAGDROP_S_CANCEL, false, false},
      {"cancelled, owed", Qt::LeftButton, win::MK_LBUTTON, win::DRAGDROP_S_CANCEL, true, true},
  };
  const win::UINT idList = win::ShellIdListFormat();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TTreeNode* photos = Child(drive, "Photos");
    const std::string added = std::string("new ") + c.name;
    int drags = 0;
    win::SetDragDropHost(
        [&](win::IDataObject* data, win::IDropSource* source, win::DWORD ok, win::DWORD* effect) {
          ++drags;
          std::vector<win::UINT> formats;
          data->EnumFormats(&formats);
          EXPECT_EQ(formats, (std::vector<win::UINT>{idList, win::CF_HDROP}));
          EXPECT_EQ(ok, kAll);
          EXPECT_TRUE(tree_->OperationActive());
          EXPECT_EQ(tree_->DraggedNode(), photos);
          EXPECT_EQ(tree_->DropTarget(), photos);
          // Escape or another button cancels, letting the starting button go drops.
          const win::DWORD other = c.held == win::MK_LBUTTON ? win::MK_RBUTTON : win::MK_LBUTTON;
          EXPECT_EQ(source->QueryContinueDrag(win::FALSE, c.held | win::MK_SHIFT), win::S_OK);
          EXPECT_EQ(source->QueryContinueDrag(win::TRUE, c.held), win::DRAGDROP_S_CANCEL);
          EXPECT_EQ(source->QueryContinueDrag(win::FALSE, c.held | other), win::DRAGDROP_S_CANCEL);
          EXPECT_EQ(source->QueryContinueDrag(win::FALSE, win::MK_SHIFT), win::DRAGDROP_S_DROP);
          EXPECT_EQ(source->GiveFeedback(win::DROPEFFECT_MOVE), win::DRAGDROP_S_USEDEFAULTCURSORS);
          fs::create_directory(scratch.HostOf("c/" + added));
          if (c.owesResync) tree_->Resync();
          *effect = win::DROPEFFECT_COPY;
          return c.outcome;
        });
    PressAndMove(photos, c.button);
    EXPECT_EQ(drags, 1);
    EXPECT_FALSE(tree_->OperationActive());
    EXPECT_FALSE(tree_->ResyncOwed());
    EXPECT_EQ(tree_->DropTarget(), nullptr);
    EXPECT_EQ(tree_->DraggedNode(), nullptr);
    EXPECT_EQ(Child(drive, added) != nullptr, c.resynced);
  }

  // The attributes decide the effects: a drive may only be linked.
  win::DWORD offered = 0;
  win::SetDragDropHost([&](win::IDataObject*, win::IDropSource*, win::DWORD ok, win::DWORD*) {
    offered = ok;
    return win::DRAGDROP_S_CANCEL;
  });
  EXPECT_TRUE(tree_->DragNode(drive, TMouseButton::mbLeft));
  EXPECT_EQ(offered, win::DROPEFFECT_LINK);

  // Dropped onto the tree itself with Shift: the move's Resync waits for the drag's end, which
  // takes the moved node away while the tree still holds it as the dragged one.
  TTreeNode* target = Child(drive, "Target");
  win::SetDragDropHost(
      [&](win::IDataObject* data, win::IDropSource*, win::DWORD ok, win::DWORD* effect) {
        const win::POINTL at = Screen(Centre(target));
        *effect = ok;
        Target()->DragEnter(data, win::MK_LBUTTON | win::MK_SHIFT, at, effect);
        *effect = ok;
        Target()->Drop(data, win::MK_SHIFT, at, effect);
        EXPECT_TRUE(tree_->ResyncOwed());
        EXPECT_NE(Child(drive, "Photos"), nullptr);
        return win::DRAGDROP_S_DROP;
      });
  EXPECT_TRUE(tree_->DragNode(Child(drive, "Photos"), TMouseButton::mbLeft));
  EXPECT_EQ(Child(drive, "Photos"), nullptr);
  EXPECT_EQ(Captions(target), std::vector<std::string>{"Photos"});
  EXPECT_TRUE(scratch.Exists("c/Target/Photos/2006/a.jpg"));
  EXPECT_EQ(tree_->DropTarget(), nullptr);
  offered = 0;

  // Never the root, nor the middle button; without stoOleDrag the view reports no drag.
  offered = 0;
  EXPECT_FALSE(tree_->DragNode(tree_->Item(0), TMouseButton::mbLeft));
  PressAndMove(tree_->Item(0), Qt::LeftButton);
  PressAndMove(Child(drive, "Other"), Qt::MiddleButton);
  tree_->SetOptions(tree_->Options() & ~StoBit(TRzShellTreeOption::stoOleDrag));
  PressAndMove(Child(drive, "Other"), Qt::LeftButton);
  EXPECT_FALSE(tree_->DragNode(Child(drive, "Other"), TMouseButton::mbLeft));
  EXPECT_EQ(offered, 0u);
}

// Two folders dropped onto a node are copied, or with Shift moved, by the folder's own drop
// handler, and the tree shows the result at once.
TEST_F(ShellTreeDndTest, DroppingTwoFoldersOntoANodeCopiesOrMovesBothAndResyncs) {
  // After a right drag the shell asks with its menu; the drop itself comes without a button.
  int menus = 0;
  const win::MenuTrackHost previous =
      win::SetMenuTrackHost([&menus](win::HMENU menu, win::UINT, int, int, win::HWND) {
        ++menus;
        for (int i = 0; i < win::GetMenuItemCount(menu); ++i) {
          char text[64] = {};
          win::GetMenuStringA(menu, win::UINT(i), text, sizeof text, win::MF_BYPOSITION);
          if (text == A("复制到当前位置(&C)")) return win::GetMenuItemID(menu, i);
        }
        return win::UINT(0);
      });
  struct Case {
    const char* name;
    win::DWORD enterKeys, dropKeys;
    win::DWORD shown, done;  // the effect while over the node, the one carried out
    int menus;
  } cases[] = {
      {"Ctrl: copy", win::MK_LBUTTON | win::MK_CONTROL, win::MK_CONTROL, win::DROPEFFECT_COPY,
       win::DROPEFFECT_COPY, 0},
      {"right drag, the menu's copy", win::MK_RBUTTON, 0, win::DROPEFFECT_MOVE,
       win::DROPEFFECT_COPY, 1},
      {"Shift: move", win::MK_LBUTTON | win::MK_SHIFT, win::MK_SHIFT, win::DROPEFFECT_MOVE,
       win::DROPEFFECT_MOVE, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    menus = 0;
    TTreeNode* drive = Drive();
    TTreeNode* target = Child(drive, "Target");
    ASSERT_NE(target, nullptr);
    Held<win::IDataObject> data{ShellItems(drive, {Child(drive, "Other"), Child(drive, "Photos")})};
    ASSERT_NE(data.p, nullptr);
    ASSERT_NE(Target(), nullptr);
    const win::POINTL at = Screen(Centre(target));
    win::DWORD effect = kAll;
    EXPECT_EQ(Target()->DragEnter(data.p, c.enterKeys, at, &effect), win::S_OK);
    EXPECT_EQ(effect, c.shown);
    EXPECT_EQ(tree_->DropTarget(), target);
    effect = kAll;
    EXPECT_EQ(Target()->DragOver(c.enterKeys | win::MK_ALT, at, &effect), win::S_OK);
    EXPECT_EQ(effect, win::DROPEFFECT_LINK);
    effect = kAll;
    EXPECT_EQ(Target()->Drop(data.p, c.dropKeys, at, &effect), win::S_OK);
    EXPECT_EQ(effect, c.done);
    EXPECT_EQ(menus, c.menus);
    EXPECT_EQ(tree_->DropTarget(), nullptr);
    EXPECT_EQ(scratch.Read("c/Target/Photos/2006/a.jpg"), "x");
    EXPECT_TRUE(scratch.Exists("c/Target/Other/sub"));
    EXPECT_EQ(Captions(target), (std::vector<std::string>{"Other", "Photos"}));
    const bool moved = c.done == win::DROPEFFECT_MOVE;
    EXPECT_EQ(scratch.Exists("c/Photos"), !moved);
    EXPECT_EQ(Child(drive, "Photos") == nullptr, moved);
    fs::remove_all(scratch.HostOf("c/Target"));
    fs::create_directories(scratch.HostOf("c/Target"));
    tree_->Resync();
  }
  win::SetMenuTrackHost(previous);
}

// Where the cursor is over no shell node, nothing may be dropped; the root takes drops into
// the desktop folder; what the items' attributes forbid is never done.
TEST_F(ShellTreeDndTest, DropEffectsOverTheRootEmptySpaceAndItemsThatMayOnlyBeLinked) {
  TTreeNode* drive = Drive();
  Held<win::IDataObject> data{ShellItems(drive, {Child(drive, "Other")})};
  ASSERT_NE(data.p, nullptr);
  const win::POINTL below = Screen({100, 370});
  ASSERT_EQ(tree_->NodeAt({100, 370}), nullptr);
  win::DWORD effect = kAll;
  // An over or a drop without an enter is refused.
  EXPECT_EQ(Target()->DragOver(win::MK_LBUTTON, below, &effect), win::S_OK);
  EXPECT_EQ(effect, win::DROPEFFECT_NONE);
  effect = kAll;
  EXPECT_EQ(Target()->DragEnter(data.p, win::MK_LBUTTON, below, &effect), win::S_OK);
  EXPECT_EQ(effect, win::DROPEFFECT_NONE);
  effect = kAll;
  EXPECT_EQ(Target()->DragOver(win::MK_LBUTTON, below, &effect), win::S_OK);
  EXPECT_EQ(effect, win::DROPEFFECT_NONE);
  EXPECT_EQ(tree_->DropTarget(), nullptr);
  effect = kAll;
  EXPECT_EQ(Target()->Drop(data.p, 0, below, &effect), win::S_OK);
  EXPECT_EQ(effect, win::DROPEFFECT_NONE);
  EXPECT_TRUE(scratch.Exists("c/Other"));

  // The desktop's own handler: Other is moved into C:\desk.
  const win::POINTL root = Screen(Centre(tree_->Item(0)));
  effect = kAll;
  EXPECT_EQ(Target()->DragEnter(data.p, win::MK_LBUTTON | win::MK_SHIFT, root, &effect), win::S_OK);
  EXPECT_EQ(effect, win::DROPEFFECT_MOVE);
  EXPECT_EQ(tree_->DropTarget(), tree_->Item(0));
  effect = kAll;
  EXPECT_EQ(Target()->Drop(data.p, win::MK_SHIFT, root, &effect), win::S_OK);
  EXPECT_EQ(effect, win::DROPEFFECT_MOVE);
  EXPECT_TRUE(scratch.Exists("c/desk/Other/sub"));
  EXPECT_NE(Child(tree_->Item(0), "Other"), nullptr);

  // The documents folder may only be linked: a plain drop on the same drive, a move for a
  // folder, links it instead.
  TTreeNode* target = Child(drive, "Target");
  Held<win::IDataObject> documents{
      ShellItems(tree_->Item(0), {Child(tree_->Item(0), A("我的文档"))})};
  ASSERT_NE(documents.p, nullptr);
  const win::POINTL at = Screen(Centre(target));
  effect = kAll;
  Target()->DragEnter(documents.p, win::MK_LBUTTON, at, &effect);
  effect = kAll;
  EXPECT_EQ(Target()->Drop(documents.p, 0, at, &effect), win::S_OK);
  EXPECT_EQ(effect, win::DROPEFFECT_LINK);
  EXPECT_TRUE(fs::exists(scratch.HostOf("c/home")));
  EXPECT_EQ(scratch.Names("c/Target").size(), 1u);

  // The target follows the option and goes with the tree.
  const win::HWND window = tree_->Handle();
  tree_->SetOptions(tree_->Options() & ~StoBit(TRzShellTreeOption::stoOleDrop));
  EXPECT_EQ(win::RegisteredDropTarget(window), nullptr);
  tree_->SetOptions(tree_->Options() | StoBit(TRzShellTreeOption::stoOleDrop));
  win::IDropTarget* registered = win::RegisteredDropTarget(window);
  ASSERT_NE(registered, nullptr);
  registered->AddRef();  // a drag host still holding it when the tree goes
  Application->SetMainForm(nullptr);
  form_.reset();
  EXPECT_EQ(win::RegisteredDropTarget(window), nullptr);
  effect = kAll;
  EXPECT_EQ(registered->DragEnter(data.p, win::MK_LBUTTON, root, &effect), win::E_UNEXPECTED);
  EXPECT_EQ(effect, win::DROPEFFECT_NONE);
  registered->Release();
}

// Auto-expand after the hover time without leaving the hover rectangle, also on the timer
// while the cursor stands still; auto-scroll at the edges at most every 100 ms.
TEST_F(ShellTreeDndTest, AutoExpandAndAutoScrollFollowTheClock) {
  TTreeNode* drive = Drive();
  // A file list as another program drops it.
  Held<win::IDataObject> data;
  ASSERT_EQ(win::CreateDataObject(&data.p), win::S_OK);
  win::FORMATETC format;
  format.cfFormat = win::CF_HDROP;
  win::STGMEDIUM medium;
  medium.tymed = win::TYMED_HGLOBAL;
  medium.hGlobal = win::CreateFileDropData({"C:\\Other"});
  ASSERT_EQ(data.p->SetData(&format, &medium, win::TRUE), win::S_OK);
  // Photos is listed on its first expansion; a move out of the hover rectangle (the system's
  // 4 x 4 here) starts the time again.
  TTreeNode* photos = Child(drive, "Photos");
  ASSERT_EQ(photos->Count(), 0);
  ASSERT_TRUE(photos->HasChildren());
  const win::POINT p = Centre(photos);
  now = 5000;
  win::DWORD effect = kAll;
  ASSERT_EQ(Target()->DragEnter(data.p, win::MK_LBUTTON, Screen(p), &effect), win::S_OK);
  struct Hover {
    win::DWORD time;
    int dx;
    bool expanded;
  } hovers[] = {{5399, 3, false}, {5600, 4, false}, {5999, 4, false}, {6000, 5, true}};
  for (const Hover& h : hovers) {
    now = h.time;
    effect = kAll;
    Target()->DragOver(win::MK_LBUTTON, Screen({p.x + h.dx, p.y}), &effect);
    EXPECT_EQ(photos->Count() > 0, h.expanded) << h.time;
  }
  EXPECT_EQ(tree_->ErrorSilenceCount(), 0);
  Target()->DragLeave();

  // The drive without medium, hovered on the timer alone: its expansion fails without a word
  // and it loses its button.
  TTreeNode* usb = Child(Computer(), A("可移动磁盘 (D:)"));
  ASSERT_NE(usb, nullptr);
  ASSERT_TRUE(usb->HasChildren());
  const std::size_t boxes = boxes_.size();
  now = 9000;
  effect = kAll;
  Target()->DragEnter(data.p, win::MK_LBUTTON, Screen(Centre(usb)), &effect);
  now = 9399;
  win::SendMessage(tree_->Handle(), win::WM_TIMER, kShellTreeDragTimer, 0);
  EXPECT_TRUE(usb->HasChildren());
  now = 9400;
  win::SendMessage(tree_->Handle(), win::WM_TIMER, kShellTreeDragTimer, 0);
  EXPECT_FALSE(usb->HasChildren());
  EXPECT_EQ(boxes_.size(), boxes);
  EXPECT_EQ(tree_->ErrorSilenceCount(), 0);
  Target()->DragLeave();

  for (int i = 0; i < 40; ++i)
    fs::create_directories(scratch.HostOf("c/f" + std::to_string(100 + i)));
  tree_->Resync();
  QScrollBar* vertical = View()->verticalScrollBar();
  ASSERT_GT(vertical->maximum(), 0);
  const QRect area = View()->viewport()->geometry();
  const int midX = area.center().x();
  const int midY = area.center().y();
  now = 10000;
  effect = kAll;
  ASSERT_EQ(Target()->DragEnter(data.p, win::MK_LBUTTON, Screen({midX, midY}), &effect), win::S_OK);
  struct Step {
    win::DWORD time;
    int x, y;
    int down;  // lines scrolled
  } steps[] = {
      {10000, midX, area.bottom() - 5, 1},   // the first scroll comes at once
      {10050, midX, area.bottom() - 5, 0},   // too soon
      {10150, midX, area.bottom() - 18, 1},  // less than 20 px from the bottom
      {10250, midX, area.bottom() - 30, 0},  // too far from the edge
      {10350, midX, area.top() + 3, -1},    {10450, midX, area.top() + 3, -1},
      {10550, midX, area.top() + 3, 0},   // at the top already
      {10650, area.left() + 3, midY, 0},  // no horizontal range
      {10750, area.right() - 3, midY, 0},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.time);
    now = s.time;
    const int v = vertical->value();
    effect = kAll;
    ASSERT_EQ(Target()->DragOver(win::MK_LBUTTON, Screen({s.x, s.y}), &effect), win::S_OK);
    EXPECT_EQ(vertical->value() - v, s.down);
    EXPECT_EQ((effect & win::DROPEFFECT_SCROLL) != 0, s.down != 0);
  }
  // Standing still at the bottom: the timer goes on scrolling.
  now = 11000;
  effect = kAll;
  Target()->DragOver(win::MK_LBUTTON, Screen({midX, area.bottom() - 5}), &effect);
  const int before = vertical->value();
  now = 11050;
  win::SendMessage(tree_->Handle(), win::WM_TIMER, kShellTreeDragTimer, 0);
  EXPECT_EQ(vertical->value(), before);
  now = 11100;
  win::SendMessage(tree_->Handle(), win::WM_TIMER, kShellTreeDragTimer, 0);
  EXPECT_EQ(vertical->value(), before + 1);
  Target()->DragLeave();
}

}  // namespace
