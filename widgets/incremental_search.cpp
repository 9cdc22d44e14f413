#include "widgets/incremental_search.h"

namespace {

constexpr char kBackspace = 8;
constexpr char kEnter = 13;
constexpr char kEscape = 27;

}  // namespace

void TIncrementalSearch::Expire(win::DWORD now) {
  // Tick differences wrap correctly in unsigned arithmetic.
  if (!text_.empty() && now - lastKey_ >= kResetDelay) text_.clear();
}

const AnsiString& TIncrementalSearch::SearchText(win::DWORD now) {
  Expire(now);
  return text_;
}

bool TIncrementalSearch::Search(const AnsiString& text) {
  const int found = list_.FindPrefix(text);
  if (found < 0) {
    if (beepOnInvalidKey_) list_.Beep();
    return false;
  }
  list_.SelectFound(found);
  text_ = text;
  return true;
}

bool TIncrementalSearch::KeyPress(char key, win::DWORD now) {
  Expire(now);
  const auto code = static_cast<unsigned char>(key);
  if (key == kBackspace) {
    if (text_.empty()) {
      if (beepOnInvalidKey_) list_.Beep();
      Search(text_);
      return true;
    }
    text_.pop_back();
    if (!text_.empty()) {
      Search(text_);
      return true;
    }
    list_.SetItemIndex(0);
    list_.RaiseClick();
    text_.clear();
    list_.RaiseKeyPress(key);
    return true;
  }
  if (key == kEnter) {
    list_.RaiseKeyPress(key);
    return true;
  }
  if (key == kEscape) {
    list_.SetItemIndex(-1);
    return true;
  }
  if (code < 32) return false;
  // A space only extends the search where it cannot mean "toggle the selection".
  if (key == ' ' && list_.MultiSelect() && !list_.ExtendedSelect()) return false;
  lastKey_ = now;
  if (Search(text_ + key)) list_.RaiseKeyPress(key);
  return true;
}

void TIncrementalSearch::KeyDown(std::uint16_t virtualKey) {
  if (virtualKey == 27 || (virtualKey >= 33 && virtualKey <= 40)) text_.clear();
}
