#include "imaging/graphic.h"

#include <cstring>

#include "runtime/exceptions.h"
#include "runtime/gui_thread.h"

const TGraphicClass& TGraphic::StaticClass() {
  static const TGraphicClass kClass{"TGraphic", nullptr, nullptr};
  return kClass;
}

TGraphic::TGraphic() {
  AssertGuiThread();
}

void TGraphic::CopyFrom(const TPersistent* source) {
  TPersistent::CopyFrom(source);
}

void TGraphic::NotifyChange() {
  modified_ = true;
  TDestroyGuard guard(*this);
  if (owner_ != nullptr) owner_->GraphicChanged(*this);
  if (!guard.Destroyed() && OnChange) OnChange(this);
}

bool TGraphic::SameAs(TGraphic* other) {
  if (other == nullptr) return IsEmpty();
  const bool empty = IsEmpty();
  if (empty || other->IsEmpty()) return empty && other->IsEmpty();
  if (&GraphicClass() != &other->GraphicClass()) return false;
  if (other == this) return true;
  TMemoryStream mine;
  TMemoryStream theirs;
  WriteStoredData(mine);
  other->WriteStoredData(theirs);
  return mine.Size() == theirs.Size() &&
         std::memcmp(mine.Memory(), theirs.Memory(), std::size_t(mine.Size())) == 0;
}

void TGraphic::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  NotifyChange();
}

bool TGraphic::StoresData(TGraphic* ancestor) {
  if (IsEmpty()) return false;
  return ancestor == nullptr || !SameAs(ancestor);
}

void TGraphic::ReadFromFile(const AnsiString& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  ReadFromStream(stream);
}

void TGraphic::WriteToFile(const AnsiString& fileName) {
  TFileStream stream(fileName, fmCreate);
  WriteToStream(stream);
  stream.Commit();
}

void TGraphic::SetModified(bool value) {
  if (value)
    NotifyChange();
  else
    modified_ = false;
}

void TGraphic::Progress(TObject* sender, TProgressStage stage, std::uint8_t percentDone,
                        bool redrawNow, const win::RECT& r, const AnsiString& msg) {
  TDestroyGuard guard(*this);
  if (owner_ != nullptr)
    owner_->GraphicProgress(*this, sender, stage, percentDone, redrawNow, r, msg);
  if (!guard.Destroyed() && OnProgress) OnProgress(sender, stage, percentDone, redrawNow, r, msg);
}
