#include "imaging/picture.h"

#include <algorithm>
#include <cstring>

#include "imaging/bitmap.h"
#include "imaging/icon.h"
#include "imaging/metafile.h"
#include "platform/user/clipboard.h"
#include "runtime/exceptions.h"
#include "runtime/gui_thread.h"
#include "runtime/strings.h"

namespace {

constexpr std::size_t kMaxStoredClassName = 63;

}  // namespace

// --- Registries -----------------------------------------------------------------------------

TFileFormatsList::TFileFormatsList() {
  Add("wmf", strings::kVMetafiles, 0, TMetafile::StaticClass());
  Add("emf", strings::kVEnhMetafiles, 0, TMetafile::StaticClass());
  Add("ico", strings::kVIcons, 0, TIcon::StaticClass());
  Add("bmp", strings::kVBitmaps, 0, TBitmap::StaticClass());
}

void TFileFormatsList::Add(const AnsiString& extension, const AnsiString& description,
                           int descriptionId, const TGraphicClass& graphicClass) {
  entries_.push_back({&graphicClass, AnsiLowerCase(extension), description, descriptionId});
}

const TGraphicClass* TFileFormatsList::FindExtension(const AnsiString& extension) const {
  const AnsiString wanted = AnsiLowerCase(extension);
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
    if (it->extension == wanted) return it->graphicClass;
  return nullptr;
}

const TGraphicClass* TFileFormatsList::FindClassName(const AnsiString& name) const {
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
    if (name == it->graphicClass->name) return it->graphicClass;
  return nullptr;
}

void TFileFormatsList::Remove(const TGraphicClass& graphicClass) {
  std::erase_if(entries_,
                [&](const Entry& e) { return e.graphicClass->InheritsFrom(graphicClass); });
}

AnsiString TFileFormatsList::FilterText(const TGraphicClass& graphicClass) const {
  AnsiString descriptions;
  AnsiString patterns;
  int count = 0;
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    if (!it->graphicClass->InheritsFrom(graphicClass) || it->extension.empty()) continue;
    if (count != 0) {
      descriptions += '|';
      patterns += ';';
    }
    const char* ext = it->extension.c_str();
    descriptions += Format("%s (*.%s)|*.%s", it->description.c_str(), ext, ext);
    patterns += Format("*.%s", ext);
    ++count;
  }
  if (count > 1)
    return Format("%s (%s)|%s|%s", strings::kAllFilter, patterns.c_str(), patterns.c_str(),
                  descriptions.c_str());
  return descriptions;
}

TClipboardFormats::TClipboardFormats() {
  Add(win::CF_METAFILEPICT, TMetafile::StaticClass());
  Add(win::CF_ENHMETAFILE, TMetafile::StaticClass());
  Add(win::CF_BITMAP, TBitmap::StaticClass());
}

void TClipboardFormats::Add(std::uint16_t format, const TGraphicClass& graphicClass) {
  classes_.push_back(&graphicClass);
  formats_.push_back(format);
}

const TGraphicClass* TClipboardFormats::FindFormat(std::uint16_t format) const {
  for (std::size_t i = formats_.size(); i-- > 0;)
    if (formats_[i] == format) return classes_[i];
  return nullptr;
}

void TClipboardFormats::Remove(const TGraphicClass& graphicClass) {
  for (std::size_t i = classes_.size(); i-- > 0;) {
    if (!classes_[i]->InheritsFrom(graphicClass)) continue;
    classes_.erase(classes_.begin() + std::ptrdiff_t(i));
    formats_.erase(formats_.begin() + std::ptrdiff_t(i));
  }
}

TFileFormatsList& FileFormats() {
  static TFileFormatsList list;
  return list;
}

TClipboardFormats& ClipboardFormats() {
  static TClipboardFormats formats;
  return formats;
}

AnsiString FilterText(const TGraphicClass& graphicClass) {
  return FileFormats().FilterText(graphicClass);
}

// --- TPicture -------------------------------------------------------------------------------

TPicture::TPicture() {
  AssertGuiThread();
  // The first picture creates the registry, as a registration would.
  FileFormats();
}

TPicture::~TPicture() = default;

int TPicture::Width() const {
  return graphic_ ? graphic_->Width() : 0;
}

int TPicture::Height() const {
  return graphic_ ? graphic_->Height() : 0;
}

std::unique_ptr<TGraphic> TPicture::NewGraphic(const TGraphicClass& graphicClass) {
  if (graphicClass.create == nullptr)
    throw EConvertError(Format(strings::kAssignError, graphicClass.name, ClassName()));
  return graphicClass.create();
}

void TPicture::GraphicChanged(TGraphic& graphic) {
  // A graphic still being read reports progress only; the picture changes when it is installed.
  if (&graphic == graphic_.get()) Changed(this);
}

void TPicture::GraphicProgress(TGraphic&, TObject* sender, TProgressStage stage,
                               std::uint8_t percentDone, bool redrawNow, const win::RECT& r,
                               const AnsiString& msg) {
  Progress(sender, stage, percentDone, redrawNow, r, msg);
}

void TPicture::Install(std::unique_ptr<TGraphic> graphic) {
  if (graphic) graphic->SetOwner(this);
  graphic_ = std::move(graphic);
  Changed(this);
}

void TPicture::CopyFrom(const TPersistent* source) {
  if (source == nullptr) {
    Install(nullptr);
    return;
  }
  const TGraphic* graphic = nullptr;
  if (auto* picture = dynamic_cast<const TPicture*>(source)) {
    graphic = picture->Graphic();
    if (graphic == nullptr) {
      Install(nullptr);
      return;
    }
  } else {
    graphic = dynamic_cast<const TGraphic*>(source);
  }
  if (graphic == nullptr) {
    source->CopyTo(this);  // the clipboard copies itself in
    return;
  }
  if (graphic == graphic_.get()) return;  // assigning the held graphic to itself
  std::unique_ptr<TGraphic> copy = NewGraphic(graphic->GraphicClass());
  copy->CopyFrom(graphic);
  Install(std::move(copy));
}

void TPicture::CopyTo(TPersistent* dest) const {
  auto* target = dynamic_cast<TGraphic*>(dest);
  if (graphic_ && target != nullptr &&
      graphic_->GraphicClass().InheritsFrom(target->GraphicClass())) {
    target->CopyFrom(graphic_.get());
    return;
  }
  TPersistent::CopyTo(dest);
}

void TPicture::ReadFromFile(const AnsiString& fileName) {
  const AnsiString extension = ExtractExtensionWithoutDot(fileName);
  const TGraphicClass* graphicClass = FileFormats().FindExtension(extension);
  if (graphicClass == nullptr)
    throw EInvalidGraphic(Format(strings::kUnknownExtension, extension.c_str()));
  std::unique_ptr<TGraphic> graphic = NewGraphic(*graphicClass);
  graphic->SetOwner(this);
  graphic->ReadFromFile(fileName);
  Install(std::move(graphic));
}

void TPicture::WriteToFile(const AnsiString& fileName) const {
  if (graphic_) graphic_->WriteToFile(fileName);
}

void TPicture::ReadFromClipboard(std::uint16_t format, win::HANDLE data, win::HPALETTE palette) {
  const TGraphicClass* graphicClass = ClipboardFormats().FindFormat(format);
  if (graphicClass == nullptr) throw EInvalidGraphic(strings::kUnknownClipboardFormat);
  std::unique_ptr<TGraphic> graphic = NewGraphic(*graphicClass);
  graphic->SetOwner(this);
  graphic->ReadFromClipboard(format, data, palette);
  Install(std::move(graphic));
}

void TPicture::WriteToClipboard(std::uint16_t& format, win::HANDLE& data,
                                win::HPALETTE& palette) const {
  format = 0;
  data = nullptr;
  palette = nullptr;
  if (graphic_) graphic_->WriteToClipboard(format, data, palette);
}

void TPicture::ReadStoredData(TStream& stream) {
  std::uint8_t length = 0;
  stream.ReadBuffer(&length, 1);
  AnsiString name(length, '\0');
  if (length != 0) stream.ReadBuffer(name.data(), length);
  // A longer name than the writer makes can name no registered class: it reads as empty.
  const TGraphicClass* graphicClass =
      length <= kMaxStoredClassName ? FileFormats().FindClassName(name) : nullptr;
  std::unique_ptr<TGraphic> graphic;
  if (graphicClass != nullptr) {
    graphic = NewGraphic(*graphicClass);
    graphic->ReadStoredData(stream);
  }
  Install(std::move(graphic));
}

void TPicture::WriteStoredData(TStream& stream) const {
  const AnsiString name = graphic_ ? AnsiString(graphic_->ClassName()) : AnsiString();
  const auto length = static_cast<std::uint8_t>(std::min(name.size(), kMaxStoredClassName));
  stream.WriteBuffer(&length, 1);
  if (length != 0) stream.WriteBuffer(name.data(), length);
  if (graphic_) graphic_->WriteStoredData(stream);
}

bool TPicture::StoresData(const TPicture* ancestor) const {
  if (ancestor == nullptr) return graphic_ != nullptr;
  TGraphic* mine = graphic_.get();
  TGraphic* theirs = ancestor->Graphic();
  if (mine == theirs) return false;
  if (mine == nullptr || theirs == nullptr) return true;
  return !mine->SameAs(theirs);
}

bool TPicture::Supports(std::uint16_t format) {
  return ClipboardFormats().FindFormat(format) != nullptr;
}

void TPicture::RegisterFormat(const AnsiString& extension, const AnsiString& description,
                              const TGraphicClass& graphicClass) {
  FileFormats().Add(extension, description, 0, graphicClass);
}

void TPicture::RegisterClipboardFormat(std::uint16_t format, const TGraphicClass& graphicClass) {
  ClipboardFormats().Add(format, graphicClass);
}

void TPicture::UnregisterGraphicClass(const TGraphicClass& graphicClass) {
  FileFormats().Remove(graphicClass);
  ClipboardFormats().Remove(graphicClass);
}

void TPicture::Changed(TObject*) {
  TDestroyGuard guard(*this);
  if (owner_ != nullptr) owner_->PictureChanged(*this);
  if (!guard.Destroyed() && OnChange) OnChange(this);
}

void TPicture::Progress(TObject* sender, TProgressStage stage, std::uint8_t percentDone,
                        bool redrawNow, const win::RECT& r, const AnsiString& msg) {
  TDestroyGuard guard(*this);
  if (owner_ != nullptr)
    owner_->PictureProgress(*this, sender, stage, percentDone, redrawNow, r, msg);
  if (!guard.Destroyed() && OnProgress) OnProgress(sender, stage, percentDone, redrawNow, r, msg);
}
