// Qt's drop events for a control's window reach the drop target registered for it: which widget
// takes drops and when, the calls the target gets with their keys, points and effects, and
// what Qt is answered.
#include <QAbstractScrollArea>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <memory>
#include <string>

#include "platform/user/ole.h"
#include "runtime/exceptions.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/drop_recorder.h"
#include "ui/stdctrls.h"
#include "ui/tree_view.h"
#include "ui_test_support.h"

namespace {

using uitest::DropRecorder;
using uitest::UiTest;

class DropTargetTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetBounds(100, 50, 300, 200);
    folder_.Write("照片 1.jpg", "a");
    mime_.setUrls({QUrl::fromLocalFile(QString::fromStdString(folder_.HostOf("照片 1.jpg")))});
  }
  template <class T>
  T* Add() {
    auto* c = new T(form_.get());
    c->SetBounds(10, 20, 150, 120);
    c->SetParent(form_.get());
    return c;
  }
  static QWidget* SiteOf(TWinControl* control) {
    auto* area = qobject_cast<QAbstractScrollArea*>(control->Widget());
    return area != nullptr ? area->viewport() : control->Widget();
  }
  // Sends one of Qt's drag events to the site; whether it was accepted, and with which action.
  template <class Event>
  std::pair<bool, Qt::DropAction> Send(QWidget* site, QPoint at,
                                       Qt::MouseButtons buttons = Qt::LeftButton,
                                       Qt::KeyboardModifiers keys = Qt::NoModifier) {
    Event e(at, Qt::CopyAction | Qt::MoveAction, &mime_, buttons, keys);
    e.setAccepted(false);
    QApplication::sendEvent(site, &e);
    return {e.isAccepted(), e.dropAction()};
  }

  test_support::ScratchFolder folder_{"ui-drop"};
  QMimeData mime_;
  std::unique_ptr<TForm> form_;
  DropRecorder target_;
};

TEST_F(DropTargetTest, ControlsTakeDropsOnlyWhileATargetIsRegistered) {
  const struct {
    const char* name;
    TWinControl* control;
    bool ownDrops;  // Qt's line edit takes text drops of its own
  } cases[] = {
      {"custom-drawn panel", Add<TPanel>(), false},
      {"tree view's viewport", Add<TTreeView>(), false},
      {"edit", Add<TEdit>(), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QWidget* site = SiteOf(c.control);
    EXPECT_EQ(site->acceptDrops(), c.ownDrops);
    ASSERT_EQ(win::RegisterDragDrop(c.control->Handle(), &target_), win::S_OK);
    EXPECT_TRUE(site->acceptDrops());
    ASSERT_EQ(win::RevokeDragDrop(c.control->Handle()), win::S_OK);
    EXPECT_EQ(site->acceptDrops(), c.ownDrops);
    // Without a target the event is Qt's: nobody is called.
    Send<QDragEnterEvent>(site, {5, 5});
    EXPECT_TRUE(target_.calls.empty());
  }
  EXPECT_EQ(target_.refs, 1u);
}

TEST_F(DropTargetTest, DragEventsBecomeTheTargetsCallsWithOneDataObject) {
  auto* tree = Add<TTreeView>();
  ASSERT_EQ(win::RegisterDragDrop(tree->Handle(), &target_), win::S_OK);
  QWidget* site = SiteOf(tree);
  const QPoint origin = site->mapToGlobal(QPoint(0, 0));

  target_.answer = win::DROPEFFECT_COPY;
  EXPECT_EQ(Send<QDragEnterEvent>(site, {5, 6}, Qt::LeftButton, Qt::ControlModifier),
            std::pair(true, Qt::CopyAction));
  target_.answer = win::DROPEFFECT_NONE;
  EXPECT_FALSE(Send<QDragMoveEvent>(site, {7, 8}).first) << "no effect: the drop is refused here";
  target_.answer = win::DROPEFFECT_MOVE | win::DROPEFFECT_SCROLL;
  EXPECT_EQ(Send<QDragMoveEvent>(site, {9, 10}, Qt::LeftButton | Qt::RightButton,
                                 Qt::ShiftModifier | Qt::AltModifier),
            std::pair(true, Qt::MoveAction));
  target_.answer = win::DROPEFFECT_MOVE;
  EXPECT_EQ(Send<QDropEvent>(site, {11, 12}, Qt::NoButton), std::pair(true, Qt::MoveAction));

  ASSERT_EQ(target_.Kinds(), "enter over over drop");
  const auto& calls = target_.calls;
  EXPECT_EQ(calls[0].keys, win::MK_LBUTTON | win::MK_CONTROL);
  EXPECT_EQ(calls[2].keys, win::MK_LBUTTON | win::MK_RBUTTON | win::MK_SHIFT | win::MK_ALT);
  EXPECT_EQ(calls[3].keys, 0u);
  EXPECT_EQ(calls[0].pt.x, origin.x() + 5);
  EXPECT_EQ(calls[0].pt.y, origin.y() + 6);
  EXPECT_EQ(calls[3].pt.x, origin.x() + 11);
  EXPECT_EQ(calls[3].pt.y, origin.y() + 12);
  for (const auto& c : calls) EXPECT_EQ(c.effectIn, win::DROPEFFECT_COPY | win::DROPEFFECT_MOVE);
  EXPECT_EQ(calls[0].data, calls[3].data);
  EXPECT_EQ(target_.droppedPaths, std::vector<std::string>{folder_.Win("照片 1.jpg")});
  EXPECT_EQ(target_.refs, 2u) << "the drop let go of the target";
  win::RevokeDragDrop(tree->Handle());
}

// A target that fails is shown through the guard and refuses the drop; one revoked during the
// drag is left at the next move; a leave ends the drag.
TEST_F(DropTargetTest, FailingRevokedAndLeftTargets) {
  auto* panel = Add<TPanel>();
  ASSERT_EQ(win::RegisterDragDrop(panel->Handle(), &target_), win::S_OK);
  QWidget* site = SiteOf(panel);
  EXPECT_TRUE(Send<QDragEnterEvent>(site, {5, 5}).first);
  target_.onOver = [] { throw EInvalidOperation("Target failed"); };
  EXPECT_FALSE(Send<QDragMoveEvent>(site, {6, 6}).first);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "Target failed.");
  target_.onOver = nullptr;

  ASSERT_EQ(win::RevokeDragDrop(panel->Handle()), win::S_OK);
  EXPECT_FALSE(Send<QDragMoveEvent>(site, {7, 7}).first);
  EXPECT_EQ(target_.Kinds(), "enter over leave");
  EXPECT_EQ(target_.refs, 1u) << "nothing holds the revoked target";
  EXPECT_FALSE(Send<QDropEvent>(site, {7, 7}).first);

  ASSERT_EQ(win::RegisterDragDrop(panel->Handle(), &target_), win::S_OK);
  target_.calls.clear();
  Send<QDragEnterEvent>(site, {5, 5});
  QDragLeaveEvent leave;
  QApplication::sendEvent(site, &leave);
  EXPECT_EQ(target_.Kinds(), "enter leave");
  EXPECT_EQ(target_.refs, 2u);
  win::RevokeDragDrop(panel->Handle());
}

}  // namespace
