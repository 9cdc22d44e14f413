// TGraphic: the contract every picture format implements (size, emptiness, drawing, copying,
// stream, file and clipboard reading and writing, change and progress notification).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/gdi/gdi.h"
#include "runtime/persistent.h"
#include "runtime/stream.h"

class TCanvas;
class TGraphic;

enum class TProgressStage : std::uint8_t { psStarting = 0, psRunning = 1, psEnding = 2 };

using TNotifyEvent = std::function<void(TObject* sender)>;
using TProgressEvent =
    std::function<void(TObject* sender, TProgressStage stage, std::uint8_t percentDone,
                       bool redrawNow, const win::RECT& r, const AnsiString& msg)>;

// The library's own listener of a graphic: the picture that holds it. It hears of every change
// and progress step before the graphic's OnChange and OnProgress, which are the program's own,
// so assigning those never unhooks the picture.
class TGraphicOwner {
 public:
  virtual void GraphicChanged(TGraphic& graphic) = 0;
  virtual void GraphicProgress(TGraphic& graphic, TObject* sender, TProgressStage stage,
                               std::uint8_t percentDone, bool redrawNow, const win::RECT& r,
                               const AnsiString& msg) = 0;

 protected:
  ~TGraphicOwner() = default;
};

// A class reference: what a registry stores to create instances of a graphic class by name or
// extension, and to tell whether one class inherits from another.
struct TGraphicClass {
  const char* name;                       // "TBitmap"
  const TGraphicClass* parent;            // nullptr for TGraphic itself
  std::unique_ptr<TGraphic> (*create)();  // nullptr for an abstract class

  bool InheritsFrom(const TGraphicClass& other) const {
    for (const TGraphicClass* c = this; c != nullptr; c = c->parent)
      if (c == &other) return true;
    return false;
  }
};

class TGraphic : public TPersistent {
 public:
  ~TGraphic() override = default;

  static const TGraphicClass& StaticClass();
  virtual const TGraphicClass& GraphicClass() const { return StaticClass(); }
  const char* ClassName() const override { return GraphicClass().name; }

  // Assignment: the base asks the source to copy itself here (CopyTo); none fails with "nil".
  void CopyFrom(const TPersistent* source) override;

  // Sets Modified, tells the owner, then fires OnChange (unless the owner's reaction destroyed
  // this graphic).
  virtual void NotifyChange();
  virtual void DrawInto(TCanvas& canvas, const win::RECT& rect) = 0;
  // Both empty: equal; one empty: unequal; other class: unequal; else the stored data compared
  // byte for byte.
  virtual bool SameAs(TGraphic* other);
  virtual bool IsEmpty() const = 0;
  virtual int Height() const = 0;
  virtual win::HPALETTE Palette() { return nullptr; }
  virtual bool Transparent() const { return transparent_; }
  virtual int Width() const = 0;
  virtual void ReadStoredData(TStream& stream) { ReadFromStream(stream); }
  virtual void SetHeight(int value) = 0;
  virtual void SetPalette(win::HPALETTE) {}
  virtual void SetTransparent(bool value);
  virtual void SetWidth(int value) = 0;
  virtual void WriteStoredData(TStream& stream) { WriteToStream(stream); }
  // Whether the "Data" property is stored: not empty and different from the ancestor's.
  bool StoresData(TGraphic* ancestor);

  // Opens the existing file for reading (others may read, not write), ReadFromStream, closes.
  virtual void ReadFromFile(const AnsiString& fileName);
  // Creates the file (replacing one), WriteToStream, and puts it in place only when all of it
  // was written.
  virtual void WriteToFile(const AnsiString& fileName);
  virtual void ReadFromStream(TStream& stream) = 0;
  virtual void WriteToStream(TStream& stream) = 0;
  virtual void ReadFromClipboard(std::uint16_t format, win::HANDLE data, win::HPALETTE palette) = 0;
  virtual void WriteToClipboard(std::uint16_t& format, win::HANDLE& data,
                                win::HPALETTE& palette) = 0;

  bool Modified() const { return modified_; }
  void SetModified(bool value);
  bool PaletteModified() const { return paletteModified_; }
  void SetPaletteModified(bool value) { paletteModified_ = value; }

  // The program's events; the library never assigns them.
  TNotifyEvent OnChange;
  TProgressEvent OnProgress;

  // The library's wiring: the one owner that follows this graphic (none: nullptr).
  TGraphicOwner* Owner() const { return owner_; }
  void SetOwner(TGraphicOwner* owner) { owner_ = owner; }

 protected:
  TGraphic();
  // Tells the owner, then fires OnProgress with sender.
  void Progress(TObject* sender, TProgressStage stage, std::uint8_t percentDone, bool redrawNow,
                const win::RECT& r, const AnsiString& msg);
  // Sets Transparent without a change notification (for assignment).
  void StoreTransparent(bool value) { transparent_ = value; }

 private:
  bool modified_ = false;
  bool transparent_ = false;
  bool paletteModified_ = false;
  TGraphicOwner* owner_ = nullptr;
};
