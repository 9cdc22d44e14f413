#include "ui/menus.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <algorithm>
#include <map>
#include <string>

#include "runtime/exceptions.h"
#include "ui/bridge.h"
#include "ui/guard.h"
#include "ui/strings.h"

TMenuItem::~TMenuItem() {
  if (parentItem_ != nullptr) parentItem_->Remove(this);
  for (TMenuItem* item : items_) item->parentItem_ = nullptr;
}

TMenuItem* TMenuItem::Items(int index) const {
  if (index < 0 || index >= Count()) throw EInvalidOperation(ui::kMenuIndexError);
  return items_[std::size_t(index)];
}

void TMenuItem::Add(TMenuItem* item) {
  if (item == nullptr || item == this) return;
  if (item->parentItem_ != nullptr) item->parentItem_->Remove(item);
  items_.push_back(item);
  item->parentItem_ = this;
}

void TMenuItem::Remove(TMenuItem* item) {
  auto it = std::find(items_.begin(), items_.end(), item);
  if (it == items_.end()) return;
  items_.erase(it);
  item->parentItem_ = nullptr;
}

void TMenuItem::Click() {
  if (enabled_ && OnClick) OnClick(this);
}

void TMenuItem::Highlight() {
  if (OnHighlight) OnHighlight(this);
}

void TMenuItem::Opening() {
  if (OnOpening) OnOpening(this);
}

TMenuKeyAnswer TMenuItem::MenuKey(char key) {
  TMenuKeyAnswer answer;
  if (OnMenuKey) OnMenuKey(this, key, answer);
  const bool names =
      answer.action == TMenuKeyAnswer::mkExecute || answer.action == TMenuKeyAnswer::mkSelect;
  if (names && (answer.index < 0 || answer.index >= Count()))
    answer.action = TMenuKeyAnswer::mkIgnore;
  return answer;
}

namespace {

TPopupMenu::Presenter& CurrentPresenter() {
  static TPopupMenu::Presenter presenter;
  return presenter;
}

// What one shown menu keeps while it is open: its choosable entries, every entry for the
// highlight, and the key filters of its levels.
struct Shown {
  QMenu* top = nullptr;
  std::map<QAction*, TMenuItem*> choosable;
  std::map<QAction*, TMenuItem*> entries;
  QPointer<QAction> pickedByKey;
};

void Fill(QMenu& menu, TMenuItem& item, Shown& shown);

// The access key of a caption ("&x"), 0 without one.
QChar AccessKey(const QString& caption) {
  for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != u'&') continue;
    if (caption[i + 1] != u'&') return caption[i + 1].toLower();
    ++i;
  }
  return QChar();
}

void Forget(QMenu& menu, Shown& shown) {
  for (QAction* action : menu.actions()) {
    if (QMenu* sub = action->menu()) Forget(*sub, shown);
    shown.choosable.erase(action);
    shown.entries.erase(action);
  }
}

// Keys that are no entry's access key go to the item's OnMenuKey.
class MenuKeyFilter final : public QObject {
 public:
  MenuKeyFilter(QMenu& menu, TMenuItem& item, Shown& shown)
      : QObject(&menu), menu_(menu), item_(item), shown_(shown) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != &menu_ || event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) return false;
    const QString text = key->text();
    if (text.size() != 1 || text[0].unicode() <= u' ' || text[0].unicode() >= 0x7F) return false;
    const QChar pressed = text[0].toLower();
    for (QAction* action : menu_.actions())
      if (AccessKey(action->text()) == pressed) return false;  // the menu's own
    const TMenuKeyAnswer answer = item_.MenuKey(char(text[0].unicode()));
    const QList<QAction*> actions = menu_.actions();
    QAction* target = answer.index < actions.size() ? actions[answer.index] : nullptr;
    switch (answer.action) {
      case TMenuKeyAnswer::mkIgnore:
        return false;
      case TMenuKeyAnswer::mkClose:
        shown_.top->close();
        return true;
      case TMenuKeyAnswer::mkSelect:
        if (target != nullptr) menu_.setActiveAction(target);
        return true;
      case TMenuKeyAnswer::mkExecute:
        if (target != nullptr && target->menu() != nullptr) {
          menu_.setActiveAction(target);
        } else if (target != nullptr && target->isEnabled()) {
          shown_.pickedByKey = target;
          shown_.top->close();
        }
        return true;
    }
    return false;
  }

 private:
  QMenu& menu_;
  TMenuItem& item_;
  Shown& shown_;
};

void Fill(QMenu& menu, TMenuItem& item, Shown& shown) {
  for (int i = 0; i < item.Count(); ++i) {
    TMenuItem* child = item.Items(i);
    if (!child->Visible()) continue;
    if (child->IsLine()) {
      menu.addSeparator();
      continue;
    }
    if (child->IsSubMenu()) {
      QMenu* sub = menu.addMenu(ui::ToQString(child->Caption()));
      sub->setEnabled(child->Enabled());
      shown.entries[sub->menuAction()] = child;
      sub->installEventFilter(new MenuKeyFilter(*sub, *child, shown));
      QObject::connect(sub, &QMenu::hovered, sub, [&shown](QAction* action) {
        auto it = shown.entries.find(action);
        if (it != shown.entries.end()) it->second->Highlight();
      });
      // Filled again each time it opens, from what OnOpening leaves.
      QObject::connect(sub, &QMenu::aboutToShow, sub, [sub, child, &shown] {
        Forget(*sub, shown);
        sub->clear();
        child->Opening();
        Fill(*sub, *child, shown);
      });
      continue;
    }
    QAction* action = menu.addAction(ui::ToQString(child->Caption()));
    action->setEnabled(child->Enabled());
    action->setCheckable(child->Checked());
    action->setChecked(child->Checked());
    if (child->Default()) menu.setDefaultAction(action);
    shown.choosable[action] = child;
    shown.entries[action] = child;
  }
}

}  // namespace

TPopupMenu::TPopupMenu(TComponent* owner) : TComponent(owner), items_(new TMenuItem(this)) {}

TPopupMenu::Presenter TPopupMenu::SetPresenter(Presenter presenter) {
  return std::exchange(CurrentPresenter(), std::move(presenter));
}

void TPopupMenu::Notification(TComponent* component) {
  if (component == popupComponent_) popupComponent_ = nullptr;
}

void TPopupMenu::Popup(int x, int y) {
  if (OnPopup) OnPopup(this);
  TMenuItem* chosen = nullptr;
  if (CurrentPresenter()) {
    chosen = CurrentPresenter()(*this, x, y);
  } else {
    QMenu menu;
    Shown shown;
    shown.top = &menu;
    menu.installEventFilter(new MenuKeyFilter(menu, *items_, shown));
    QObject::connect(&menu, &QMenu::hovered, &menu, [&shown](QAction* action) {
      auto it = shown.entries.find(action);
      if (it != shown.entries.end()) it->second->Highlight();
    });
    Fill(menu, *items_, shown);
    if (menu.isEmpty()) return;
    QAction* picked = menu.exec(QPoint(x, y));
    if (picked == nullptr) picked = shown.pickedByKey;
    auto it = shown.choosable.find(picked);
    if (it != shown.choosable.end()) chosen = it->second;
  }
  // The item runs after the menu has closed, so a failure display or a modal box it opens
  // does not sit on top of a menu.
  if (chosen != nullptr) chosen->Click();
}

// --- Menu handles -----------------------------------------------------------------------------

namespace {

struct Tracking {
  win::HWND owner = nullptr;
  bool notify = true;
  win::UINT chosen = 0;

  win::LRESULT Send(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) const {
    return notify ? win::SendMessage(owner, message, wParam, lParam) : 0;
  }
};

// The entries of `item` made again from the handle's.
void Mirror(TMenuItem& item, win::HMENU menu, TPopupMenu& popup, Tracking& track) {
  while (item.Count() > 0) delete item.Items(item.Count() - 1);
  const int count = win::GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    auto* entry = new TMenuItem(&popup);
    item.Add(entry);
    const win::UINT state = win::GetMenuState(menu, win::UINT(i), win::MF_BYPOSITION);
    if (state & win::MF_SEPARATOR) {
      entry->SetCaption("-");
      continue;
    }
    char text[win::MAX_PATH + 1] = {};
    win::GetMenuStringA(menu, win::UINT(i), text, sizeof text, win::MF_BYPOSITION);
    entry->SetCaption(text);
    entry->SetEnabled((state & (win::MF_GRAYED | win::MF_DISABLED)) == 0);
    entry->SetDefault((state & win::MF_DEFAULT) != 0);
    const auto flags = win::WORD((state & 0xFF) | win::MF_HILITE);
    if (win::HMENU sub = win::GetSubMenu(menu, i)) {
      entry->SetSubMenu(true);
      entry->OnHighlight = [&track, menu, i, flags](TObject*) {
        track.Send(win::WM_MENUSELECT, win::MAKEWPARAM(win::WORD(i), flags),
                   reinterpret_cast<win::LPARAM>(menu));
      };
      entry->OnOpening = [&track, &popup, entry, sub, i](TObject*) {
        track.Send(win::WM_INITMENUPOPUP, reinterpret_cast<win::WPARAM>(sub),
                   win::MAKELPARAM(win::WORD(i), 0));
        if (win::IsMenu(sub)) {
          Mirror(*entry, sub, popup, track);
        } else {
          while (entry->Count() > 0) delete entry->Items(entry->Count() - 1);
        }
      };
      Mirror(*entry, sub, popup, track);
      continue;
    }
    const win::UINT id = win::GetMenuItemID(menu, i);
    entry->OnClick = [&track, id](TObject*) { track.chosen = id; };
    entry->OnHighlight = [&track, menu, id, flags](TObject*) {
      track.Send(win::WM_MENUSELECT, win::MAKEWPARAM(win::WORD(id), flags),
                 reinterpret_cast<win::LPARAM>(menu));
    };
  }
  item.OnMenuKey = [&track, menu](TObject*, char key, TMenuKeyAnswer& answer) {
    const win::LRESULT r = track.Send(
        win::WM_MENUCHAR, win::MAKEWPARAM(static_cast<unsigned char>(key), win::MF_POPUP),
        reinterpret_cast<win::LPARAM>(menu));
    switch (win::HIWORD(win::WPARAM(r))) {
      case win::MNC_CLOSE:
        answer.action = TMenuKeyAnswer::mkClose;
        break;
      case win::MNC_EXECUTE:
        answer.action = TMenuKeyAnswer::mkExecute;
        break;
      case win::MNC_SELECT:
        answer.action = TMenuKeyAnswer::mkSelect;
        break;
      default:
        answer.action = TMenuKeyAnswer::mkIgnore;
        break;
    }
    answer.index = win::LOWORD(win::WPARAM(r));
  };
}

}  // namespace

namespace ui {

win::UINT TrackMenuHandle(win::HMENU menu, win::UINT flags, int x, int y, win::HWND owner) {
  if (!win::IsMenu(menu)) return 0;
  Tracking track;
  track.owner = owner;
  track.notify = (flags & win::TPM_NONOTIFY) == 0 && win::IsWindow(owner);
  track.Send(win::WM_INITMENUPOPUP, reinterpret_cast<win::WPARAM>(menu), 0);
  if (!win::IsMenu(menu)) return 0;
  TPopupMenu popup(nullptr);
  Mirror(popup.Items(), menu, popup, track);
  if (popup.Items().Count() > 0) {
    try {
      popup.Popup(x, y);
    } catch (...) {
      track.Send(win::WM_MENUSELECT, win::MAKEWPARAM(0, 0xFFFF), 0);
      throw;
    }
  }
  track.Send(win::WM_MENUSELECT, win::MAKEWPARAM(0, 0xFFFF), 0);
  return track.chosen;
}

void InstallMenuTrackHost() {
  win::SetMenuTrackHost(&TrackMenuHandle);
}

void RemoveMenuTrackHost() {
  win::SetMenuTrackHost({});
}

}  // namespace ui
