// The hourglass cursor over every window of the program while a shell operation runs.
#pragma once

#include "ui/forms.h"

class Hourglass {
 public:
  Hourglass() {
    if (Screen == nullptr) return;
    saved_ = Screen->Cursor();
    Screen->SetCursor(crHourGlass);
  }
  ~Hourglass() {
    if (Screen != nullptr) Screen->SetCursor(saved_);
  }
  Hourglass(const Hourglass&) = delete;
  Hourglass& operator=(const Hourglass&) = delete;

 private:
  TCursor saved_ = crDefault;
};
