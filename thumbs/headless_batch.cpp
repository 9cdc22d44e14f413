#include "thumbs/headless_batch.h"

#include <utility>

HeadlessBatchWindow::HeadlessBatchWindow(std::vector<AnsiString> items, AnsiString folder,
                                         AnsiString widthText)
    : items_(std::move(items)), folder_(std::move(folder)), widthText_(std::move(widthText)) {}

void HeadlessBatchWindow::ShowCurrentItem() {
  // What the list's click does for the current item; an index outside the list loads "" and
  // fails like a click with nothing selected.
  const bool inList = itemIndex_ >= 0 && itemIndex_ < ItemCount();
  engine_.ShowFile(inList ? items_[itemIndex_] : AnsiString(), widthText_);
}
