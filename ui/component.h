// TComponent: a named object with an owner that destroys it, and the components it owns.
#pragma once

#include <vector>

#include "runtime/persistent.h"

class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner);
  // Destroys the owned components, last first, then leaves the owner.
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;
  const char* ClassName() const override { return "TComponent"; }

  TComponent* Owner() const { return owner_; }
  const AnsiString& Name() const { return name_; }
  // EInvalidOperation when another component of the same owner already has the name.
  void SetName(const AnsiString& value);
  int ComponentCount() const { return int(components_.size()); }
  TComponent* Components(int index) const;
  // Case-insensitive, as component names are; nullptr when none.
  TComponent* FindComponent(const AnsiString& name) const;
  // Called once the component's properties have been read (the stored layout's reader).
  virtual void Loaded() { loading_ = false; }
  bool Loading() const { return loading_; }
  void SetLoading(bool value) { loading_ = value; }

  std::intptr_t Tag() const { return tag_; }
  void SetTag(std::intptr_t value) { tag_ = value; }

 protected:
  // A component of our owner's (or one of ours) is going away: drop references to it.
  virtual void Notification(TComponent* component) { (void)component; }

 private:
  void Insert(TComponent* component);
  void Remove(TComponent* component);

  TComponent* owner_ = nullptr;
  AnsiString name_;
  std::vector<TComponent*> components_;
  std::intptr_t tag_ = 0;
  bool loading_ = false;
  bool destroying_ = false;
};
