#include "thumbs/headless_batch.h"

#include <utility>

#include "runtime/ansi_string.h"

HeadlessBatchWindow::HeadlessBatchWindow(std::vector<AnsiString> items, AnsiString folder,
                                         AnsiString widthText)
    : items_(std::move(items)), folder_(std::move(folder)), widthText_(std::move(widthText)) {}

void HeadlessBatchWindow::ShowCurrentItem() {
  // What the list's click does for the current item; an index outside the list loads "" and
  // fails like a click with nothing selected.
  const bool inList = itemIndex_ >= 0 && itemIndex_ < ItemCount();
  engine_.ShowFile(inList ? items_[itemIndex_] : AnsiString(), widthText_);
}

AnsiString HeadlessBatchWindow::CurrentFolder() {
  if (!besideSources_) return folder_;
  const bool inList = itemIndex_ >= 0 && itemIndex_ < ItemCount();
  return inList ? ExtractFileDir(items_[itemIndex_]) : AnsiString();
}

void HeadlessBatchWindow::ThumbnailSaved(const AnsiString& outputPath) {
  if (OnSaved) OnSaved(outputPath, View().Width(), View().Height());
}
