#include "imaging/clipboard.h"

#include <cstring>

#include "imaging/bitmap.h"
#include "imaging/metafile.h"
#include "imaging/picture.h"
#include "platform/user/clipboard.h"
#include "platform/user/window.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

namespace {

// Closes on every path out of an operation.
class OpenPeriod {
 public:
  explicit OpenPeriod(TClipboard& clipboard) : clipboard_(clipboard) { clipboard_.Open(); }
  ~OpenPeriod() { clipboard_.Close(); }
  OpenPeriod(const OpenPeriod&) = delete;
  OpenPeriod& operator=(const OpenPeriod&) = delete;

 private:
  TClipboard& clipboard_;
};

}  // namespace

TClipboard::~TClipboard() {
  if (openCount_ == 0) return;
  openCount_ = 1;
  Close();
}

void TClipboard::Open() {
  if (openCount_ == 0) {
    window_ = win::ApplicationWindow();
    allocated_ = window_ == nullptr;
    if (allocated_) window_ = win::CreateMessageWindow();
    if (!win::OpenClipboard(window_)) {
      if (allocated_) win::DestroyWindow(window_);
      window_ = nullptr;
      allocated_ = false;
      throw Exception(strings::kCannotOpenClipboard);
    }
    emptied_ = false;
  }
  ++openCount_;
}

void TClipboard::Close() {
  if (openCount_ == 0) return;
  if (--openCount_ != 0) return;
  win::CloseClipboard();
  if (allocated_) win::DestroyWindow(window_);
  window_ = nullptr;
  allocated_ = false;
}

void TClipboard::Adding() {
  if (emptied_) return;
  win::EmptyClipboard();
  emptied_ = true;
}

void TClipboard::Clear() {
  OpenPeriod open(*this);
  win::EmptyClipboard();
}

bool TClipboard::HasFormat(std::uint16_t format) const {
  return win::IsClipboardFormatAvailable(format) != win::FALSE;
}

int TClipboard::FormatCount() const {
  return win::CountClipboardFormats();
}

std::uint16_t TClipboard::Formats(int index) {
  OpenPeriod open(*this);
  win::UINT format = win::EnumClipboardFormats(0);
  for (int i = 0; i < index && format != 0; ++i) format = win::EnumClipboardFormats(format);
  return std::uint16_t(format);
}

AnsiString TClipboard::AsText() {
  OpenPeriod open(*this);
  win::HANDLE data = win::GetClipboardData(win::CF_TEXT);
  if (data == nullptr) return {};
  const std::size_t size = win::GlobalSize(data);
  const auto* text = static_cast<const char*>(win::GlobalLock(data));
  if (text == nullptr) return {};
  AnsiString result(text, strnlen(text, size));
  win::GlobalUnlock(data);
  return result;
}

void TClipboard::SetAsText(const AnsiString& text) {
  OpenPeriod open(*this);
  win::HGLOBAL memory = win::GlobalAlloc(win::GMEM_MOVEABLE, text.size() + 1);
  if (memory == nullptr) throw EOutOfMemory();
  std::memcpy(win::GlobalLock(memory), text.c_str(), text.size() + 1);
  win::GlobalUnlock(memory);
  Adding();
  SetHandle(win::CF_TEXT, memory);
}

void TClipboard::SetHandle(std::uint16_t format, win::HANDLE data) {
  if (win::SetClipboardData(format, data) == nullptr) win::FreeClipboardData(format, data);
}

void TClipboard::PutGraphic(std::uint16_t format, win::HANDLE data, win::HPALETTE palette) {
  Adding();
  // An empty graphic has nothing to offer: the clipboard is only emptied.
  if (data != nullptr) SetHandle(format, data);
  if (palette != nullptr) SetHandle(win::CF_PALETTE, palette);
}

void TClipboard::CopyFrom(const TPersistent* source) {
  std::uint16_t format = 0;
  win::HANDLE data = nullptr;
  win::HPALETTE palette = nullptr;
  if (auto* picture = dynamic_cast<const TPicture*>(source)) {
    OpenPeriod open(*this);
    picture->WriteToClipboard(format, data, palette);
    PutGraphic(format, data, palette);
  } else if (auto* graphic = dynamic_cast<const TGraphic*>(source)) {
    OpenPeriod open(*this);
    // Writing to the clipboard does not change the graphic; the contract is not const.
    const_cast<TGraphic*>(graphic)->WriteToClipboard(format, data, palette);
    PutGraphic(format, data, palette);
  } else {
    TPersistent::CopyFrom(source);
  }
}

void TClipboard::CopyTo(TPersistent* dest) const {
  // The clipboard object is process-wide and never const; copying out opens and closes it.
  auto* self = const_cast<TClipboard*>(this);
  if (auto* picture = dynamic_cast<TPicture*>(dest))
    self->CopyToPicture(*picture);
  else if (auto* bitmap = dynamic_cast<TBitmap*>(dest))
    self->CopyToBitmap(*bitmap);
  else if (auto* metafile = dynamic_cast<TMetafile*>(dest))
    self->CopyToMetafile(*metafile);
  else
    TPersistent::CopyTo(dest);
}

void TClipboard::CopyToPicture(TPicture& picture) {
  OpenPeriod open(*this);
  for (win::UINT format = win::EnumClipboardFormats(0); format != 0;
       format = win::EnumClipboardFormats(format)) {
    if (!TPicture::Supports(std::uint16_t(format))) continue;
    win::HANDLE data = win::GetClipboardData(format);
    auto palette = static_cast<win::HPALETTE>(win::GetClipboardData(win::CF_PALETTE));
    picture.ReadFromClipboard(std::uint16_t(format), data, palette);
    return;
  }
  throw Exception(strings::kInvalidClipboardFormat);
}

void TClipboard::CopyToBitmap(TBitmap& bitmap) {
  OpenPeriod open(*this);
  win::HANDLE data = win::GetClipboardData(win::CF_BITMAP);
  auto palette = static_cast<win::HPALETTE>(win::GetClipboardData(win::CF_PALETTE));
  bitmap.ReadFromClipboard(win::CF_BITMAP, data, palette);
}

void TClipboard::CopyToMetafile(TMetafile& metafile) {
  OpenPeriod open(*this);
  win::HANDLE data = win::GetClipboardData(win::CF_METAFILEPICT);
  auto palette = static_cast<win::HPALETTE>(win::GetClipboardData(win::CF_PALETTE));
  metafile.ReadFromClipboard(win::CF_METAFILEPICT, data, palette);
}

TClipboard& Clipboard() {
  static TClipboard clipboard;
  return clipboard;
}
