#include "platform/user/qt/qt_user.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyleHints>
#include <QTimer>
#include <map>
#include <memory>

#include "platform/kernel/kernel.h"
#include "platform/user/qt/qt_ole.h"
#include "platform/user/user.h"

namespace win {

namespace {

QString FromAnsi(const std::string& text) {
  const std::optional<std::string> utf8 = AnsiToUtf8(text);
  return QString::fromStdString(utf8 ? *utf8 : text);
}

RECT ToRect(const QRect& r) {
  return {LONG(r.left()), LONG(r.top()), LONG(r.left() + r.width()), LONG(r.top() + r.height())};
}

class PostedEvent final : public QEvent {
 public:
  static QEvent::Type Kind() {
    static const auto kind = QEvent::Type(QEvent::registerEventType());
    return kind;
  }
  PostedEvent(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
      : QEvent(Kind()), window(window), message(message), wParam(wParam), lParam(lParam) {}
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

// Lives on the GUI thread and receives every posted message.
class Receiver final : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() != PostedEvent::Kind()) return QObject::event(e);
    auto* p = static_cast<PostedEvent*>(e);
    DeliverMessage(p->window, p->message, p->wParam, p->lParam);
    return true;
  }
};

Qt::CursorShape ShapeOf(int id) {
  switch (id) {
    case 32513:
      return Qt::IBeamCursor;
    case 32514:
      return Qt::WaitCursor;
    case 32515:
      return Qt::CrossCursor;
    case 32642:
      return Qt::SizeFDiagCursor;
    case 32643:
      return Qt::SizeBDiagCursor;
    case 32644:
      return Qt::SizeHorCursor;
    case 32645:
      return Qt::SizeVerCursor;
    case 32646:
      return Qt::SizeAllCursor;
    case 32648:
      return Qt::ForbiddenCursor;
    case 32649:
      return Qt::PointingHandCursor;
    case 32650:
      return Qt::BusyCursor;
    default:
      return Qt::ArrowCursor;
  }
}

class QtHost final : public UserHost {
 public:
  bool PostToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
    // postEvent is safe from any thread; the event is delivered on the receiver's thread.
    QCoreApplication::postEvent(&receiver_, new PostedEvent(window, message, wParam, lParam));
    return true;
  }
  bool StartTimer(HWND window, UINT_PTR id, UINT elapse) override {
    auto& timer = timers_[{window, id}];
    if (!timer) {
      timer = std::make_unique<QTimer>();
      QObject::connect(timer.get(), &QTimer::timeout, [window, id] { TimerFired(window, id); });
    }
    timer->start(int(elapse));
    return true;
  }
  void StopTimer(HWND window, UINT_PTR id) override {
    auto it = timers_.find({window, id});
    if (it == timers_.end()) return;
    // A timer may be killed from its own tick: let Qt finish with it first.
    it->second->stop();
    it->second.release()->deleteLater();
    timers_.erase(it);
  }
  POINT CursorPos() override {
    const QPoint p = QCursor::pos();
    return {LONG(p.x()), LONG(p.y())};
  }
  void MoveCursor(int x, int y) override { QCursor::setPos(x, y); }
  void ShowCursor(int id) override {
    while (QGuiApplication::overrideCursor() != nullptr) QGuiApplication::restoreOverrideCursor();
    if (id != 0) QGuiApplication::setOverrideCursor(QCursor(ShapeOf(id)));
  }
  int ShowMessageBox(HWND, const std::string& text, const std::string& caption,
                     UINT type) override {
    QMessageBox box;
    box.setWindowTitle(FromAnsi(caption));
    box.setText(FromAnsi(text));
    switch (type & MB_ICONMASK) {
      case MB_ICONHAND:
        box.setIcon(QMessageBox::Critical);
        break;
      case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
      case MB_ICONEXCLAMATION:
        box.setIcon(QMessageBox::Warning);
        break;
      case MB_ICONASTERISK:
        box.setIcon(QMessageBox::Information);
        break;
      default:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    // Buttons carry the texts a Chinese system shows; each maps to its Windows answer.
    std::map<QAbstractButton*, int> answers;
    auto add = [&](const char* label, QMessageBox::ButtonRole role, int answer) {
      answers[box.addButton(QString::fromUtf8(label), role)] = answer;
    };
    int closeAnswer = IDCANCEL;
    switch (type & MB_TYPEMASK) {
      case MB_OKCANCEL:
        add("确定", QMessageBox::AcceptRole, IDOK);
        add("取消", QMessageBox::RejectRole, IDCANCEL);
        break;
      case MB_YESNOCANCEL:
        add("是(&Y)", QMessageBox::YesRole, IDYES);
        add("否(&N)", QMessageBox::NoRole, IDNO);
        add("取消", QMessageBox::RejectRole, IDCANCEL);
        break;
      case MB_YESNO:
        add("是(&Y)", QMessageBox::YesRole, IDYES);
        add("否(&N)", QMessageBox::NoRole, IDNO);
        closeAnswer = IDNO;
        break;
      default:
        add("确定", QMessageBox::AcceptRole, IDOK);
        closeAnswer = IDOK;
        break;
    }
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    auto it = answers.find(box.clickedButton());
    return it != answers.end() ? it->second : closeAnswer;
  }
  void Beep() override { QApplication::beep(); }
  RECT VirtualScreen() override {
    QScreen* s = QGuiApplication::primaryScreen();
    return s != nullptr ? ToRect(s->virtualGeometry()) : RECT{0, 0, 1280, 800};
  }
  RECT PrimaryScreen() override {
    QScreen* s = QGuiApplication::primaryScreen();
    return s != nullptr ? ToRect(s->geometry()) : RECT{0, 0, 1280, 800};
  }
  RECT WorkArea() override {
    QRect all;
    for (QScreen* s : QGuiApplication::screens()) all = all.united(s->availableGeometry());
    return all.isEmpty() ? VirtualScreen() : ToRect(all);
  }
  int MonitorCount() override { return std::max<int>(1, QGuiApplication::screens().size()); }
  UINT DoubleClickTime() override {
    return UINT(QGuiApplication::styleHints()->mouseDoubleClickInterval());
  }
  UINT WheelScrollLines() override { return UINT(std::max(1, QApplication::wheelScrollLines())); }

 private:
  Receiver receiver_;
  std::map<std::pair<HWND, UINT_PTR>, std::unique_ptr<QTimer>> timers_;
};

std::unique_ptr<QtHost>& Installed() {
  static std::unique_ptr<QtHost> host;
  return host;
}

}  // namespace

void InstallQtUserHost() {
  if (Installed()) return;
  Installed() = std::make_unique<QtHost>();
  SetUserHost(Installed().get());
  detail::InstallQtDragDropHost();
}

void RemoveQtUserHost() {
  detail::RemoveQtDragDropHost();
  SetUserHost(nullptr);
  Installed().reset();
}

}  // namespace win
