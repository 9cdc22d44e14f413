// Scope guards for native graphics objects and device-context state. Code that borrows a
// context or makes an object holds it in one of these, so every exit path, an exception
// included, puts the context back and frees what was not handed on.
#pragma once

#include <utility>

#include "platform/gdi/gdi.h"
#include "runtime/exceptions.h"

namespace guard {

// An object this code made: deleted at the end of the scope unless Release hands it on.
template <class Handle = win::HGDIOBJ>
class GdiObject {
 public:
  explicit GdiObject(Handle object = nullptr) : object_(object) {}
  ~GdiObject() { Free(); }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;

  Handle Get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  void Reset(Handle object = nullptr) {
    Free();
    object_ = object;
  }
  Handle Release() { return std::exchange(object_, nullptr); }

 private:
  void Free() {
    if (object_ != nullptr) win::DeleteObject(object_);
  }
  Handle object_;
};

// The screen's device context; EOutOfResources when the platform gives none.
class ScreenDC {
 public:
  ScreenDC() : dc_(win::GetDC(nullptr)) {
    if (dc_ == nullptr) RaiseOutOfResources();
  }
  ~ScreenDC() { win::ReleaseDC(nullptr, dc_); }
  ScreenDC(const ScreenDC&) = delete;
  ScreenDC& operator=(const ScreenDC&) = delete;
  win::HDC Get() const { return dc_; }

 private:
  win::HDC dc_;
};

// A memory context compatible with reference (0: the screen); EOutOfResources when none.
class MemoryDC {
 public:
  explicit MemoryDC(win::HDC reference = nullptr) : dc_(win::CreateCompatibleDC(reference)) {
    if (dc_ == nullptr) RaiseOutOfResources();
  }
  ~MemoryDC() {
    if (dc_ != nullptr) win::DeleteDC(dc_);
  }
  MemoryDC(const MemoryDC&) = delete;
  MemoryDC& operator=(const MemoryDC&) = delete;
  win::HDC Get() const { return dc_; }
  // Hands the context to a new owner.
  win::HDC Release() { return std::exchange(dc_, nullptr); }

 private:
  win::HDC dc_;
};

// An object selected into a context for the scope; the one it replaced goes back. A refused
// selection leaves Selected() false and restores nothing.
class SelectedObject {
 public:
  SelectedObject(win::HDC dc, win::HGDIOBJ object)
      : dc_(dc), previous_(object != nullptr ? win::SelectObject(dc, object) : nullptr) {}
  ~SelectedObject() {
    if (previous_ != nullptr) win::SelectObject(dc_, previous_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;
  bool Selected() const { return previous_ != nullptr; }
  // The selection must hold: EOutOfResources otherwise.
  void Require() const {
    if (previous_ == nullptr) RaiseOutOfResources();
  }

 private:
  win::HDC dc_;
  win::HGDIOBJ previous_;
};

// A palette selected and realised in a context for the scope (nothing for none); the previous
// palette goes back as a background palette.
class SelectedPalette {
 public:
  SelectedPalette(win::HDC dc, win::HPALETTE palette, bool background) : dc_(dc) {
    if (palette == nullptr) return;
    previous_ = win::SelectPalette(dc, palette, background ? win::TRUE : win::FALSE);
    win::RealizePalette(dc);
  }
  ~SelectedPalette() {
    if (previous_ != nullptr) win::SelectPalette(dc_, previous_, win::TRUE);
  }
  SelectedPalette(const SelectedPalette&) = delete;
  SelectedPalette& operator=(const SelectedPalette&) = delete;

 private:
  win::HDC dc_;
  win::HPALETTE previous_ = nullptr;
};

// The context's settings (colours, modes, selections) saved for the scope and restored at
// its end.
class SavedDC {
 public:
  explicit SavedDC(win::HDC dc) : dc_(dc), saved_(win::SaveDC(dc)) {}
  ~SavedDC() {
    if (saved_ != 0) win::RestoreDC(dc_, saved_);
  }
  SavedDC(const SavedDC&) = delete;
  SavedDC& operator=(const SavedDC&) = delete;

 private:
  win::HDC dc_;
  int saved_;
};

}  // namespace guard
