// TClipboard: the program's access to the system clipboard. Every operation opens and closes
// the clipboard itself; callers may nest operations inside an outer Open and Close, and the
// system clipboard then stays open until the outermost Close. Putting data on the clipboard
// empties it only the first time within one open period.
#pragma once

#include <cstdint>

#include "platform/gdi/gdi.h"
#include "runtime/persistent.h"

class TPicture;
class TGraphic;
class TBitmap;
class TMetafile;

class TClipboard : public TPersistent {
 public:
  TClipboard() = default;
  ~TClipboard() override;
  TClipboard(const TClipboard&) = delete;
  TClipboard& operator=(const TClipboard&) = delete;
  const char* ClassName() const override { return "TClipboard"; }

  // The owner window is the application's hidden window, or a private message window made
  // for the open period. Exception "Cannot open clipboard" when the system clipboard is held
  // by another window; the open count is then unchanged.
  void Open();
  // Nothing when not open; the last Close closes the system clipboard.
  void Close();
  // Empties the clipboard.
  void Clear();
  bool HasFormat(std::uint16_t format) const;
  int FormatCount() const;
  // The format at index in the clipboard's order (0 past the end).
  std::uint16_t Formats(int index);
  // CF_TEXT; "" when there is none.
  AnsiString AsText();
  void SetAsText(const AnsiString& text);

  // A picture or graphic goes on the clipboard in its clipboard format, with its palette.
  void CopyFrom(const TPersistent* source) override;
  // Into a picture (the first format a picture supports, in the clipboard's order), a bitmap
  // (CF_BITMAP with CF_PALETTE) or a metafile; anything else cannot take the clipboard.
  void CopyTo(TPersistent* dest) const override;

  int OpenCount() const { return openCount_; }

 private:
  // Empties the clipboard the first time within an open period.
  void Adding();
  // Hands data to the clipboard, which frees it (now or, on failure, here).
  void SetHandle(std::uint16_t format, win::HANDLE data);
  void PutGraphic(std::uint16_t format, win::HANDLE data, win::HPALETTE palette);
  void CopyToPicture(TPicture& picture);
  void CopyToBitmap(TBitmap& bitmap);
  void CopyToMetafile(TMetafile& metafile);

  std::int32_t openCount_ = 0;
  win::HWND window_ = nullptr;
  bool allocated_ = false;
  bool emptied_ = false;
};

// The process-wide clipboard, created on first use.
TClipboard& Clipboard();
