#include "ui/menus.h"

#include <QAction>
#include <QMenu>
#include <algorithm>
#include <map>

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

namespace {

TPopupMenu::Presenter& CurrentPresenter() {
  static TPopupMenu::Presenter presenter;
  return presenter;
}

void Fill(QMenu& menu, TMenuItem& item, std::map<QAction*, TMenuItem*>& actions) {
  for (int i = 0; i < item.Count(); ++i) {
    TMenuItem* child = item.Items(i);
    if (!child->Visible()) continue;
    if (child->IsLine()) {
      menu.addSeparator();
      continue;
    }
    if (child->Count() > 0) {
      QMenu* sub = menu.addMenu(ui::ToQString(child->Caption()));
      sub->setEnabled(child->Enabled());
      Fill(*sub, *child, actions);
      continue;
    }
    QAction* action = menu.addAction(ui::ToQString(child->Caption()));
    action->setEnabled(child->Enabled());
    action->setCheckable(child->Checked());
    action->setChecked(child->Checked());
    actions[action] = child;
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
    std::map<QAction*, TMenuItem*> actions;
    Fill(menu, *items_, actions);
    if (actions.empty() && menu.isEmpty()) return;
    QAction* picked = menu.exec(QPoint(x, y));
    auto it = actions.find(picked);
    if (it != actions.end()) chosen = it->second;
  }
  // The item runs after the menu has closed, so a failure display or a modal box it opens
  // does not sit on top of a menu.
  if (chosen != nullptr) chosen->Click();
}
