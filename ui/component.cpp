#include "ui/component.h"

#include <algorithm>

#include "runtime/exceptions.h"
#include "ui/strings.h"

TComponent::TComponent(TComponent* owner) {
  if (owner != nullptr) owner->Insert(this);
}

TComponent::~TComponent() {
  destroying_ = true;
  // A component may destroy others it does not own (a parent its child controls), which then
  // leave this list: take the last one each time.
  while (!components_.empty()) {
    TComponent* last = components_.back();
    components_.pop_back();
    last->owner_ = nullptr;
    delete last;
  }
  if (owner_ != nullptr) owner_->Remove(this);
}

void TComponent::SetName(const AnsiString& value) {
  if (value == name_) return;
  if (owner_ != nullptr && !value.empty()) {
    TComponent* other = owner_->FindComponent(value);
    if (other != nullptr && other != this)
      throw EInvalidOperation(Format(ui::kDuplicateName, value.c_str()));
  }
  name_ = value;
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount())
    throw EInvalidOperation(Format(ui::kListIndexError, index));
  return components_[std::size_t(index)];
}

TComponent* TComponent::FindComponent(const AnsiString& name) const {
  if (name.empty()) return nullptr;
  const AnsiString wanted = AnsiLowerCase(name);
  for (TComponent* c : components_)
    if (AnsiLowerCase(c->name_) == wanted) return c;
  return nullptr;
}

void TComponent::Insert(TComponent* component) {
  components_.push_back(component);
  component->owner_ = this;
}

void TComponent::Remove(TComponent* component) {
  auto it = std::find(components_.begin(), components_.end(), component);
  if (it != components_.end()) components_.erase(it);
  component->owner_ = nullptr;
  if (destroying_) return;
  // Everything this owner holds may point at the leaver (a control at its popup menu).
  Notification(component);
  for (TComponent* c : components_) c->Notification(component);
}
