// The root of the system's object classes and the assignment protocol.
//
// dest.CopyFrom(source) asks the source to copy itself into dest (source.CopyTo(dest)) when
// dest does not know the source's class; an object that cannot be assigned raises
// EConvertError "Cannot assign a %s to a %s" (source class or "nil", destination class).
#pragma once

#include "runtime/ansi_string.h"

class TDestroyGuard;

class TObject {
 public:
  virtual ~TObject();
  virtual const char* ClassName() const { return "TObject"; }

 protected:
  TObject() = default;
  // A copy is a new object: the guards watching the original stay with it.
  TObject(const TObject&) {}
  TObject& operator=(const TObject&) { return *this; }

 private:
  friend class TDestroyGuard;
  TDestroyGuard* guards_ = nullptr;
};

// Watches an object across a call into an event handler, which may destroy the object that
// fired it: code that goes on afterwards first asks Destroyed(). Guards live on the stack and
// nest; an object destroyed under several of them marks them all.
class TDestroyGuard {
 public:
  // Out of line: the object keeps the guard's address until the guard ends, which a compiler
  // inlining this into the caller cannot see (and warns of a dangling pointer).
  explicit TDestroyGuard(TObject& object);
  ~TDestroyGuard();
  TDestroyGuard(const TDestroyGuard&) = delete;
  TDestroyGuard& operator=(const TDestroyGuard&) = delete;

  bool Destroyed() const { return object_ == nullptr; }

 private:
  friend class TObject;
  TObject* object_;
  TDestroyGuard* next_;
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
