// Type-ahead search of the framed list box: typed characters build a search text, the first
// entry starting with it (without case) becomes the current one, a text that matches nothing
// beeps and is not kept, and 1500 ms after the last typed character the next one starts a new
// search. The list control is reached through TSearchList so the rules run without a window.
#pragma once

#include <cstdint>

#include "platform/kernel/kernel.h"
#include "runtime/ansi_string.h"

class TSearchList {
 public:
  virtual ~TSearchList() = default;
  // The first entry, from the top, whose text starts with prefix without regard to case; -1
  // when there is none.
  virtual int FindPrefix(const AnsiString& prefix) = 0;
  virtual bool MultiSelect() const = 0;
  virtual bool ExtendedSelect() const = 0;
  // A multi-select list: deselect the caret entry, select index and make it the caret entry.
  // A single-select list: make index the item index. Raises no click.
  virtual void SelectFound(int index) = 0;
  virtual void SetItemIndex(int index) = 0;
  virtual void Beep() = 0;
  virtual void RaiseClick() = 0;
  virtual void RaiseKeyPress(char& key) = 0;
};

class TIncrementalSearch {
 public:
  static constexpr win::DWORD kResetDelay = 1500;

  explicit TIncrementalSearch(TSearchList& list) : list_(list) {}

  bool BeepOnInvalidKey() const { return beepOnInvalidKey_; }
  void SetBeepOnInvalidKey(bool value) { beepOnInvalidKey_ = value; }

  // The search text as of tick `now` (empty once the reset delay has passed).
  const AnsiString& SearchText(win::DWORD now);
  // A character typed at tick `now`. True when the search handled it (the list control's own
  // character handling is then skipped).
  bool KeyPress(char key, win::DWORD now);
  // Navigation keys (Escape, Page Up/Down, End, Home, arrows) clear the search text.
  void KeyDown(std::uint16_t virtualKey);
  // A left press in the list clears it too.
  void MouseDown() { text_.clear(); }

 private:
  // Searches for text; found: selects and keeps the text; else beeps. True when found.
  bool Search(const AnsiString& text);
  void Expire(win::DWORD now);

  TSearchList& list_;
  AnsiString text_;
  win::DWORD lastKey_ = 0;
  bool beepOnInvalidKey_ = true;
};
