// A real system drag from one control to another of the same program, under an Xvfb of the
// suite's own: xdotool presses, moves and releases the pointer as a user would, the source's
// press runs DoDragDrop, and the drop target registered for the other control's window gets
// the drag through Qt's drop events.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/user/clipboard.h"
#include "platform/user/ole.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/x_server.h"
#include "tests/ui/drop_recorder.h"
#include "ui/forms.h"
#include "ui/stdctrls.h"

extern char** environ;

namespace {

using test_support::OnPath;
using test_support::ScratchFolder;
using test_support::XServer;
using uitest::DropRecorder;

// One X server and one application session for the process. The session ends in the
// environment's tear-down, not among the static objects at exit: Qt's drag keeps a window that
// must go while Qt's own thread storage is still there.
class X11World final : public ::testing::Environment {
 public:
  static bool Up() { return session_ != nullptr; }
  void SetUp() override {
    if (!OnPath("Xvfb") || !OnPath("xdotool")) return;
    server_ = std::make_unique<XServer>();
    if (!server_->Running()) return;
    ::setenv("DISPLAY", server_->Name().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    // The display has no session bus; libdbus would try to start one and lose its error text.
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    session_ = std::make_unique<ApplicationSession>(argc_, argv_);
  }
  void TearDown() override {
    session_.reset();
    server_.reset();
  }

 private:
  int argc_ = 1;
  char name_[16] = "ui_x11_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<XServer> server_;
  static inline std::unique_ptr<ApplicationSession> session_;
};

[[maybe_unused]] ::testing::Environment* const kWorld =
    ::testing::AddGlobalTestEnvironment(new X11World);

// xdotool steps run one after another from a timer of the GUI thread, each once the one before
// has ended and its condition holds, so the steps go on while DoDragDrop's loop runs.
class PointerScript {
 public:
  struct Step {
    std::vector<std::string> args;
    std::function<bool()> ready;
  };
  explicit PointerScript(std::vector<Step> steps) : steps_(std::move(steps)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    timer_.start(20);
  }
  ~PointerScript() {
    if (child_ != 0) ::waitpid(child_, nullptr, 0);
  }
  bool Finished() const { return next_ == steps_.size() && child_ == 0; }
  bool Failed() const { return failed_; }

 private:
  void Tick() {
    if (child_ != 0) {
      int status = 0;
      if (::waitpid(child_, &status, WNOHANG) != child_) return;
      failed_ = failed_ || !WIFEXITED(status) || WEXITSTATUS(status) != 0;
      child_ = 0;
    }
    if (next_ == steps_.size()) return;
    const Step& step = steps_[next_];
    // A condition that never comes true must not leave the button held for good.
    if (step.ready && !step.ready() && ++waited_ < 500) return;
    waited_ = 0;
    std::vector<std::string> args = {"xdotool"};
    args.insert(args.end(), step.args.begin(), step.args.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawnp(&child_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
      child_ = 0;
      failed_ = true;
    }
    ++next_;
  }

  std::vector<Step> steps_;
  std::size_t next_ = 0;
  pid_t child_ = 0;
  int waited_ = 0;
  bool failed_ = false;
  QTimer timer_;
};

template <class Done>
bool PumpUntil(Done done, int ms = 30000) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

// The source of an ordinary drag with the left button: Escape or another button cancels,
// letting the button go drops.
class LeftButtonSource final : public win::IDropSource {
 public:
  win::ULONG AddRef() override { return 2; }
  win::ULONG Release() override { return 1; }
  win::HRESULT QueryContinueDrag(win::BOOL escape, win::DWORD keys) override {
    asked.push_back(keys);
    escapes.push_back(escape != 0);
    if (escape || (keys & (win::MK_RBUTTON | win::MK_MBUTTON)) != 0) return win::DRAGDROP_S_CANCEL;
    if ((keys & win::MK_LBUTTON) == 0) return win::DRAGDROP_S_DROP;
    return win::S_OK;
  }
  win::HRESULT GiveFeedback(win::DWORD effect) override {
    feedback.push_back(effect);
    return win::DRAGDROP_S_USEDEFAULTCURSORS;
  }
  std::vector<win::DWORD> asked;
  std::vector<bool> escapes;
  std::vector<win::DWORD> feedback;
};

class X11DragTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!X11World::Up()) GTEST_SKIP() << "needs Xvfb and xdotool (scripts/setup.sh --test)";
    folder_.Write("带 空格.jpg", "a");
    folder_.Write("second.jpg", "b");
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetBounds(120, 100, 420, 200);
    source_ = new TPanel(form_.get());
    source_->SetParent(form_.get());
    source_->SetBounds(10, 20, 150, 150);
    sink_ = new TPanel(form_.get());
    sink_->SetParent(form_.get());
    sink_->SetBounds(250, 20, 150, 150);
    ASSERT_EQ(win::RegisterDragDrop(sink_->Handle(), &target_), win::S_OK);
    form_->Show();
    ASSERT_TRUE(PumpUntil([this] {
      QWindow* w = form_->Widget()->windowHandle();
      return w != nullptr && w->isExposed();
    }));
  }
  void TearDown() override {
    if (data_ != nullptr) data_->Release();
    if (sink_ != nullptr) win::RevokeDragDrop(sink_->Handle());
    form_.reset();
  }

  // The data a dragged folder item offers: its file list and the shell's item list bytes.
  win::IDataObject* MakeData() const {
    win::IDataObject* data = nullptr;
    EXPECT_EQ(win::CreateDataObject(&data), win::S_OK);
    win::FORMATETC format;
    format.cfFormat = win::CF_HDROP;
    win::STGMEDIUM medium;
    medium.tymed = win::TYMED_HGLOBAL;
    medium.hGlobal = win::CreateFileDropData(paths_);
    EXPECT_EQ(data->SetData(&format, &medium, win::TRUE), win::S_OK);
    format.cfFormat =
        static_cast<win::CLIPFORMAT>(win::RegisterClipboardFormatA("Shell IDList Array"));
    medium.tymed = win::TYMED_HGLOBAL;
    medium.hGlobal = win::GlobalAlloc(win::GMEM_MOVEABLE, idList_.size());
    std::memcpy(win::GlobalLock(medium.hGlobal), idList_.data(), idList_.size());
    win::GlobalUnlock(medium.hGlobal);
    EXPECT_EQ(data->SetData(&format, &medium, win::TRUE), win::S_OK);
    return data;
  }

  static QPoint CentreOf(TWinControl* control) {
    QWidget* w = control->Widget();
    return w->mapToGlobal(QPoint(w->width() / 2, w->height() / 2));
  }

  void Drag(std::vector<PointerScript::Step> closing);
  bool OverSink() const;

  ScratchFolder folder_{"ui-x11-drag"};
  std::vector<std::string> paths_ = {folder_.Win("带 空格.jpg"), folder_.Win("second.jpg")};
  const std::string idList_ = std::string("\x01\x00\x0e\x00\x31zy\x00\x00\x00", 10);
  std::unique_ptr<TForm> form_;
  TPanel* source_ = nullptr;
  TPanel* sink_ = nullptr;
  DropRecorder target_;
  LeftButtonSource dragSource_;
  win::IDataObject* data_ = nullptr;
  win::HRESULT result_ = win::E_FAIL;
  win::DWORD performed_ = 0xFF;
  QPoint to_;
  bool dropping_ = false;
  bool clickedWhileDropping_ = false;
};

// Presses the left button on the source, moves onto the sink, waits there until the target
// has seen the pointer stand over it, then runs the closing steps (the release, or what is
// pressed before it).
void X11DragTest::Drag(std::vector<PointerScript::Step> closing) {
  data_ = MakeData();
  bool pressed = false;
  bool done = false;
  source_->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) {
    if (dropping_) {
      clickedWhileDropping_ = true;
      return;
    }
    pressed = true;
    result_ = win::DoDragDrop(data_, &dragSource_, win::DROPEFFECT_COPY | win::DROPEFFECT_MOVE,
                              &performed_);
    done = true;
  };
  const QPoint from = CentreOf(source_);
  to_ = CentreOf(sink_) + QPoint(4, 0);
  auto move = [](QPoint p) {
    return std::vector<std::string>{"mousemove", std::to_string(p.x()), std::to_string(p.y())};
  };
  std::vector<PointerScript::Step> steps = {
      {move(from), nullptr},
      {{"mousedown", "1"}, nullptr},
      {move(from + QPoint(30, 0)), [&] { return pressed; }},
      {move((from + to_) / 2), nullptr},
      {move(to_ - QPoint(4, 0)), nullptr},
      {move(to_), nullptr},
  };
  // The first closing step waits until the target has seen the pointer at its last place.
  if (!closing.empty() && !closing.front().ready)
    closing.front().ready = [this] { return OverSink(); };
  steps.insert(steps.end(), closing.begin(), closing.end());
  PointerScript script(std::move(steps));
  ASSERT_TRUE(PumpUntil([&] { return done && script.Finished(); }));
  EXPECT_FALSE(script.Failed());
  source_->OnMouseDown = nullptr;
}

bool X11DragTest::OverSink() const {
  for (const auto& c : target_.calls)
    if (c.kind == "over" && c.pt.x == to_.x() && c.pt.y == to_.y()) return true;
  return false;
}

TEST_F(X11DragTest, DragFromOneControlDropsItsDataOnAnotherControlsTarget) {
  Drag({{{"mouseup", "1"}, nullptr}});
  EXPECT_EQ(result_, win::DRAGDROP_S_DROP);
  EXPECT_EQ(performed_, win::DROPEFFECT_COPY);
  ASSERT_FALSE(target_.calls.empty());
  EXPECT_EQ(target_.calls.front().kind, "enter") << target_.Kinds();
  EXPECT_EQ(target_.calls.back().kind, "drop") << target_.Kinds();
  EXPECT_TRUE(OverSink()) << target_.Kinds();
  EXPECT_EQ(target_.calls.front().data, target_.calls.back().data)
      << "one data object from entering to dropping";
  EXPECT_EQ(target_.calls.front().effectIn, win::DROPEFFECT_COPY | win::DROPEFFECT_MOVE);
  EXPECT_NE(target_.calls.front().keys & win::MK_LBUTTON, 0u);
  EXPECT_EQ(target_.calls.back().keys & win::MK_LBUTTON, 0u) << "the button is up at the drop";
  EXPECT_EQ(target_.droppedPaths, paths_);
  EXPECT_EQ(target_.droppedIdList, idList_);
  ASSERT_FALSE(dragSource_.asked.empty());
  EXPECT_EQ(dragSource_.asked.back(), 0u) << "asked once more as the button went up";
  EXPECT_EQ(target_.refs, 2u) << "registered, and nothing else held";
}

// A drop may open a menu of its own (the shell's after a right drag): the drop runs after Qt's
// drag has let the input go, so the mouse works inside it.
TEST_F(X11DragTest, TheMouseWorksInsideADrop) {
  target_.onDrop = [this] {
    dropping_ = true;
    PumpUntil([this] { return clickedWhileDropping_; }, 15000);
  };
  const QPoint from = CentreOf(source_);
  Drag({{{"mouseup", "1"}, nullptr},
        {{"mousemove", std::to_string(from.x()), std::to_string(from.y())},
         [this] { return dropping_; }},
        {{"click", "1"}, nullptr}});
  EXPECT_TRUE(clickedWhileDropping_);
  EXPECT_EQ(result_, win::DRAGDROP_S_DROP);
  EXPECT_EQ(dragSource_.asked.size(), 2u) << "as the drag began and as it dropped, not again";
}

// Escape and a second button reach the source while Qt's drag runs, and its cancel ends the
// drag there: the target is left, nothing is dropped.
TEST_F(X11DragTest, EscapeOrAnotherButtonCancelsThroughTheSource) {
  const struct {
    const char* name;
    std::vector<PointerScript::Step> closing;
    bool escape;
    win::DWORD keys;
  } cases[] = {
      {"Escape",
       {{{"key", "Escape"}, nullptr}, {{"mouseup", "1"}, nullptr}},
       true,
       win::MK_LBUTTON},
      {"right button",
       {{{"mousedown", "3"}, nullptr}, {{"mouseup", "3"}, nullptr}, {{"mouseup", "1"}, nullptr}},
       false,
       win::MK_LBUTTON | win::MK_RBUTTON},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    target_.calls.clear();
    dragSource_.asked.clear();
    dragSource_.escapes.clear();
    Drag(c.closing);
    EXPECT_EQ(result_, win::DRAGDROP_S_CANCEL);
    EXPECT_EQ(performed_, win::DROPEFFECT_NONE);
    EXPECT_EQ(target_.calls.back().kind, "leave") << target_.Kinds();
    EXPECT_TRUE(target_.droppedPaths.empty());
    ASSERT_FALSE(dragSource_.asked.empty());
    EXPECT_EQ(dragSource_.asked.back(), c.keys);
    EXPECT_EQ(dragSource_.escapes.back(), c.escape);
    EXPECT_EQ(target_.refs, 2u);
    data_->Release();
    data_ = nullptr;
  }
}

}  // namespace
