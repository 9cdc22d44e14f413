#include "runtime/persistent.h"

#include "runtime/exceptions.h"
#include "runtime/strings.h"

TDestroyGuard::TDestroyGuard(TObject& object) : object_(&object), next_(object.guards_) {
  object.guards_ = this;
}

TDestroyGuard::~TDestroyGuard() {
  if (object_ != nullptr) object_->guards_ = next_;
}

TObject::~TObject() {
  for (TDestroyGuard* guard = guards_; guard != nullptr; guard = guard->next_)
    guard->object_ = nullptr;
}

void TPersistent::CopyFrom(const TPersistent* source) {
  if (source == nullptr) AssignError(nullptr);
  source->CopyTo(this);
}

void TPersistent::CopyTo(TPersistent* dest) const {
  if (dest == nullptr) throw EConvertError(Format(strings::kAssignError, ClassName(), "nil"));
  dest->AssignError(this);
}

void TPersistent::AssignError(const TPersistent* source) const {
  const char* sourceName = source != nullptr ? source->ClassName() : "nil";
  throw EConvertError(Format(strings::kAssignError, sourceName, ClassName()));
}
