// TPicture: holds at most one graphic of any registered class. It loads a file by choosing the
// class from the extension, saves by letting the graphic write itself in its own format, takes
// a picture from the clipboard by choosing the class from the clipboard's formats, and reads
// and writes its graphic framed by the class name in stored data.
//
// The two process-wide registries behind it, the file formats (TFileFormatsList) and the
// clipboard formats (TClipboardFormats), are searched from the last entry to the first, so a
// later registration wins.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/graphic.h"
#include "runtime/persistent.h"
#include "runtime/stream.h"

class TFileFormatsList {
 public:
  struct Entry {
    const TGraphicClass* graphicClass;
    AnsiString extension;  // lower case, no dot
    AnsiString description;
    int descriptionId;  // a resource text's id; 0 when the description is given
  };

  // The list as this system starts it: wmf, emf (TMetafile), ico (TIcon), bmp (TBitmap).
  TFileFormatsList();

  void Add(const AnsiString& extension, const AnsiString& description, int descriptionId,
           const TGraphicClass& graphicClass);
  // The class for an extension (without the dot, compared in lower case); none: nullptr.
  const TGraphicClass* FindExtension(const AnsiString& extension) const;
  // The class whose name is exactly name (with case); none: nullptr.
  const TGraphicClass* FindClassName(const AnsiString& name) const;
  // Removes the entries of graphicClass and of every class that inherits from it.
  void Remove(const TGraphicClass& graphicClass);
  // The file-dialog filter of the entries for graphicClass and its descendants.
  AnsiString FilterText(const TGraphicClass& graphicClass) const;

  const std::vector<Entry>& Entries() const { return entries_; }

 private:
  std::vector<Entry> entries_;
};

class TClipboardFormats {
 public:
  // CF_METAFILEPICT and CF_ENHMETAFILE (TMetafile), CF_BITMAP (TBitmap).
  TClipboardFormats();

  void Add(std::uint16_t format, const TGraphicClass& graphicClass);
  const TGraphicClass* FindFormat(std::uint16_t format) const;
  void Remove(const TGraphicClass& graphicClass);

  const std::vector<std::uint16_t>& Formats() const { return formats_; }
  const std::vector<const TGraphicClass*>& Classes() const { return classes_; }

 private:
  std::vector<const TGraphicClass*> classes_;
  std::vector<std::uint16_t> formats_;
};

// The process-wide registries, created on first use.
TFileFormatsList& FileFormats();
TClipboardFormats& ClipboardFormats();

// The file-dialog filter for graphicClass and its descendants: with several entries an "All"
// entry of every pattern first, then one entry per extension, newest registration first.
AnsiString FilterText(const TGraphicClass& graphicClass);

class TPicture;

// The library's own listener of a picture: the view that shows it. It hears of changes and of
// the graphic's progress before the picture's OnChange and OnProgress, which are the
// program's own.
class TPictureOwner {
 public:
  virtual void PictureChanged(TPicture& picture) = 0;
  virtual void PictureProgress(TPicture& picture, TObject* sender, TProgressStage stage,
                               std::uint8_t percentDone, bool redrawNow, const win::RECT& r,
                               const AnsiString& msg) = 0;

 protected:
  ~TPictureOwner() = default;
};

class TPicture : public TPersistent, private TGraphicOwner {
 public:
  TPicture();
  ~TPicture() override;
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;
  const char* ClassName() const override { return "TPicture"; }

  // The owned graphic, or none.
  TGraphic* Graphic() const { return graphic_.get(); }
  // Takes a copy of value (none empties the picture).
  void SetGraphic(TGraphic* value) { CopyFrom(value); }
  int Width() const;
  int Height() const;

  // None empties; a picture or graphic is copied into a new graphic of the same class
  // (sharing its data); anything else (the clipboard) is asked to copy itself here.
  void CopyFrom(const TPersistent* source) override;
  // A destination graphic of the held graphic's class (or an ancestor of it) takes the graphic.
  void CopyTo(TPersistent* dest) const override;

  // The extension chooses the class; on any failure the picture keeps its graphic.
  void ReadFromFile(const AnsiString& fileName);
  // The graphic writes itself in its own format whatever the extension; nothing when empty.
  void WriteToFile(const AnsiString& fileName) const;
  // The registered class of format reads the data; the picture keeps its graphic on failure.
  void ReadFromClipboard(std::uint16_t format, win::HANDLE data, win::HPALETTE palette);
  // Forwarded to the graphic; an empty picture gives format, data and palette 0.
  void WriteToClipboard(std::uint16_t& format, win::HANDLE& data, win::HPALETTE& palette) const;

  // Stored data: a length byte and the graphic's class name (0 and nothing else when empty),
  // then the graphic's own stored data. A name no class is registered under reads as an empty
  // picture and the rest of the block is left unread.
  void ReadStoredData(TStream& stream);
  void WriteStoredData(TStream& stream) const;
  // Whether stored data is written: the picture has a graphic, or (against an ancestor's
  // picture) the graphics differ.
  bool StoresData(const TPicture* ancestor) const;

  // Whether a picture can take this clipboard format.
  static bool Supports(std::uint16_t format);
  static void RegisterFormat(const AnsiString& extension, const AnsiString& description,
                             const TGraphicClass& graphicClass);
  static void RegisterClipboardFormat(std::uint16_t format, const TGraphicClass& graphicClass);
  // Removes graphicClass and every class inheriting from it from both registries.
  static void UnregisterGraphicClass(const TGraphicClass& graphicClass);

  // The program's events, fired after the owner heard of the same: called with the picture
  // after every change of its graphic, and the graphic's progress with the graphic as sender.
  TNotifyEvent OnChange;
  TProgressEvent OnProgress;

  // The library's wiring: the view that follows this picture (none: nullptr).
  void SetOwner(TPictureOwner* owner) { owner_ = owner; }

 protected:
  virtual void Changed(TObject* sender);
  virtual void Progress(TObject* sender, TProgressStage stage, std::uint8_t percentDone,
                        bool redrawNow, const win::RECT& r, const AnsiString& msg);

 private:
  std::unique_ptr<TGraphic> NewGraphic(const TGraphicClass& graphicClass);
  // The picture follows its graphic through the graphic's owner link.
  void GraphicChanged(TGraphic& graphic) override;
  void GraphicProgress(TGraphic& graphic, TObject* sender, TProgressStage stage,
                       std::uint8_t percentDone, bool redrawNow, const win::RECT& r,
                       const AnsiString& msg) override;
  // Frees the old graphic, installs the new one (or none) with both notifications, and
  // announces the change once.
  void Install(std::unique_ptr<TGraphic> graphic);

  std::unique_ptr<TGraphic> graphic_;
  TPictureOwner* owner_ = nullptr;
};
