// The root of the system's object classes and the assignment protocol.
//
// dest.CopyFrom(source) asks the source to copy itself into dest (source.CopyTo(dest)) when
// dest does not know the source's class; an object that cannot be assigned raises
// EConvertError "Cannot assign a %s to a %s" (source class or "nil", destination class).
#pragma once

#include "runtime/ansi_string.h"

class TObject {
 public:
  virtual ~TObject() = default;
  virtual const char* ClassName() const { return "TObject"; }

 protected:
  TObject() = default;
  TObject(const TObject&) = default;
  TObject& operator=(const TObject&) = default;
};

class TPersistent : public TObject {
 public:
  const char* ClassName() const override { return "TPersistent"; }
  // Takes the content of source (none: nullptr).
  virtual void CopyFrom(const TPersistent* source);
  // Copies this object into dest; the base cannot and raises the assignment failure.
  virtual void CopyTo(TPersistent* dest) const;

 protected:
  TPersistent() = default;
  // Raises EConvertError for an assignment of source (nullptr: "nil") to this object.
  [[noreturn]] void AssignError(const TPersistent* source) const;
};
