#include "widgets/rz_list_box.h"

#include <functional>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QWheelEvent>

#include "platform/user/user.h"
#include "ui/bridge.h"
#include "ui/text.h"
#include "widgets/list_hints.h"

namespace {

constexpr std::uint16_t kBack = 0x08;
constexpr std::uint16_t kReturn = 0x0D;
constexpr std::uint16_t kEscape = 0x1B;

// The item hint: the entry's whole text in a window over the entry. It only shows the text; the
// mouse goes through it to the list underneath, so a click on a long entry's hint is a click
// on the entry, and moving onto the hint is not leaving the list.
class ItemHintWindow final : public QLabel {
 public:
  ItemHintWindow(QAbstractScrollArea* list, std::function<void()> pointerGone)
      : QLabel(nullptr, Qt::ToolTip | Qt::FramelessWindowHint),
        list_(list),
        pointerGone_(std::move(pointerGone)) {}

 protected:
  bool event(QEvent* e) override {
    QWidget* viewport = list_ != nullptr ? list_->viewport() : nullptr;
    switch (e->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove: {
        if (viewport == nullptr) break;
        auto* m = static_cast<QMouseEvent*>(e);
        if (e->type() == QEvent::MouseButtonPress && list_->focusPolicy() & Qt::ClickFocus) {
          list_->activateWindow();
          list_->setFocus(Qt::MouseFocusReason);
        }
        QMouseEvent copy(m->type(), viewport->mapFromGlobal(m->globalPosition()),
                         m->globalPosition(), m->button(), m->buttons(), m->modifiers());
        QCoreApplication::sendEvent(viewport, &copy);
        return true;
      }
      case QEvent::Wheel: {
        if (viewport == nullptr) break;
        auto* w = static_cast<QWheelEvent*>(e);
        QWheelEvent copy(viewport->mapFromGlobal(w->globalPosition()), w->globalPosition(),
                         w->pixelDelta(), w->angleDelta(), w->buttons(), w->modifiers(), w->phase(),
                         w->inverted());
        QCoreApplication::sendEvent(viewport, &copy);
        return true;
      }
      case QEvent::Leave:
        if (pointerGone_) pointerGone_();
        break;
      default:
        break;
    }
    return QLabel::event(e);
  }

 private:
  QPointer<QAbstractScrollArea> list_;
  std::function<void()> pointerGone_;
};

bool PointerOver(const QWidget* widget) {
  return widget->rect().contains(widget->mapFromGlobal(QCursor::pos()));
}

}  // namespace

// The search's view of the list: selection changes from code, which raise no notification.
class TRzListBox::SearchTarget : public TSearchList {
 public:
  explicit SearchTarget(TRzListBox& list) : list_(list) {}
  int FindPrefix(const AnsiString& prefix) override { return list_.FindPrefix(prefix, -1); }
  bool MultiSelect() const override { return list_.MultiSelect(); }
  bool ExtendedSelect() const override { return list_.ExtendedSelect(); }
  void SelectFound(int index) override {
    if (list_.MultiSelect()) {
      const int caret = list_.ItemIndex();
      if (caret >= 0) list_.SetSelected(caret, false);
      list_.SetSelected(index, true);
    }
    list_.SetItemIndex(index);
  }
  void SetItemIndex(int index) override { list_.SetItemIndex(index); }
  void Beep() override { win::MessageBeep(0); }
  void RaiseClick() override { list_.Click(); }
  void RaiseKeyPress(char& key) override { list_.TListBox::KeyPress(key); }

 private:
  TRzListBox& list_;
};

TRzListBox::TRzListBox(TComponent* owner)
    : TListBox(owner),
      frame_(*this),
      target_(std::make_unique<SearchTarget>(*this)),
      search_(*target_) {}

TRzListBox::~TRzListBox() {
  delete hint_;
}

AnsiString TRzListBox::SearchText() {
  return search_.SearchText(win::GetTickCount());
}

void TRzListBox::HandleCreated() {
  TListBox::HandleCreated();
  frame_.HandleCreated();
}

void TRzListBox::SetEnabled(bool value) {
  TListBox::SetEnabled(value);
  frame_.StateChanged();
}

void TRzListBox::DoEnter() {
  frame_.StateChanged();
  TListBox::DoEnter();
}

void TRzListBox::DoExit() {
  frame_.StateChanged();
  TListBox::DoExit();
}

void TRzListBox::KeyDown(std::uint16_t& key, TShiftState shift) {
  search_.KeyDown(key);
  if (incrementalSearch_ && (key == kBack || key == kReturn || key == kEscape)) {
    // These arrive as keys only; the search takes them as the characters they type.
    const std::uint16_t vk = key;
    TListBox::KeyDown(key, shift);
    if (key == 0) return;
    TDestroyGuard guard(*this);
    if (search_.KeyPress(char(vk), win::GetTickCount()) && !guard.Destroyed()) key = 0;
    return;
  }
  TListBox::KeyDown(key, shift);
}

void TRzListBox::KeyPress(char& key) {
  if (incrementalSearch_ && search_.KeyPress(key, win::GetTickCount())) {
    key = 0;  // the list's own type-ahead does not run
    return;
  }
  TListBox::KeyPress(key);
}

void TRzListBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft) search_.MouseDown();
  HideItemHint();
  TListBox::MouseDown(button, shift, x, y);
}

void TRzListBox::SetShowItemHints(bool value) {
  showItemHints_ = value;
  if (!value) HideItemHint();
}

bool TRzListBox::ItemHintShowing() const {
  return hint_ != nullptr && hint_->isVisible();
}

void TRzListBox::MouseMove(TShiftState shift, int x, int y) {
  UpdateItemHint(x, y);
  TListBox::MouseMove(shift, x, y);
}

void TRzListBox::MouseEnter() {
  TListBox::MouseEnter();
  frame_.StateChanged();
  if (!HandleAllocated()) return;
  const QPoint p = Widget()->mapFromGlobal(QCursor::pos());
  UpdateItemHint(p.x(), p.y());
}

void TRzListBox::MouseLeave() {
  // Moving onto the hint, which lies over the list, is not leaving it.
  if (HandleAllocated() && ItemHintShowing() && PointerOver(Widget())) return;
  HideItemHint();
  TListBox::MouseLeave();
  frame_.StateChanged();
}

void TRzListBox::HideItemHint() {
  if (hint_ != nullptr) hint_->hide();
}

void TRzListBox::UpdateItemHint(int x, int y) {
  auto* area = HandleAllocated() ? qobject_cast<QAbstractScrollArea*>(Widget()) : nullptr;
  const bool foreground = QGuiApplication::applicationState() == Qt::ApplicationActive ||
                          QApplication::activeWindow() != nullptr;
  const int item = showItemHints_ && area != nullptr ? ItemAtPos({x, y}, true) : -1;
  if (item < 0 || !foreground) {
    HideItemHint();
    return;
  }
  const AnsiString text = Items().Strings(item);
  if (!ItemHintNeeded(ui::CaptionExtent(Font(), text).cx, area->viewport()->width())) {
    HideItemHint();
    return;
  }
  if (hint_ == nullptr) {
    hint_ = new ItemHintWindow(area, [this] {
      if (HandleAllocated() && !PointerOver(Widget())) MouseLeave();
    });
    hint_->setAutoFillBackground(true);
    hint_->setFrameStyle(QFrame::Box | QFrame::Plain);  // the standard hint's thin black border
    hint_->setMargin(1);
    const win::COLORREF back = GetSysColor(kColorInfoBk);
    QPalette p = hint_->palette();
    p.setColor(QPalette::Window,
               QColor(win::GetRValue(back), win::GetGValue(back), win::GetBValue(back)));
    p.setColor(QPalette::WindowText, Qt::black);
    hint_->setPalette(p);
  }
  hint_->setFont(Widget()->font());
  hintText_ = ExpandTabs(text);
  hint_->setText(ui::ToQString(hintText_));
  QSize size = hint_->sizeHint();
  if (QScreen* screen = Widget()->screen())
    size.setWidth(std::min(size.width(), screen->size().width()));
  // ItemRect is in the list's client area; the hint sits over the entry on the screen.
  const win::RECT r = ItemRect(item);
  const QPoint topLeft = area->viewport()->mapToGlobal(QPoint(r.left, r.top));
  const win::RECT onScreen{topLeft.x(), topLeft.y(), topLeft.x() + (r.right - r.left),
                           topLeft.y() + (r.bottom - r.top)};
  const win::RECT place = ItemHintRect(onScreen, {size.width(), size.height()});
  const bool moved = place.left != hintRect_.left || place.top != hintRect_.top ||
                     place.right != hintRect_.right || place.bottom != hintRect_.bottom;
  if (hint_->isVisible() && !moved) return;
  hintRect_ = place;
  hint_->setGeometry(place.left, place.top, place.right - place.left, place.bottom - place.top);
  hint_->show();
}
