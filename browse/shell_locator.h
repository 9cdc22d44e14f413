// TRzShellLocator: names a shell item by an absolute item identifier list or by a
// special-folder number, and its stored form, the "Pidl" property.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/shell/item_list.h"

class TRzShellLocator {
 public:
  TRzShellLocator() = default;
  ~TRzShellLocator();
  TRzShellLocator(const TRzShellLocator&) = delete;
  TRzShellLocator& operator=(const TRzShellLocator&) = delete;

  // Unset names the desktop.
  bool IsSet() const { return list_ != nullptr || special_ >= 0; }
  void Clear();
  // Takes a copy of the list; null clears.
  void SetIdList(win::LPCITEMIDLIST list);
  void SetCSIDL(int folder);
  int CSIDL() const { return special_; }
  // The absolute list: the list given, or the special folder's (looked up once); the empty
  // list for the desktop or a special folder that cannot be found. Owned by the locator.
  win::LPCITEMIDLIST IdList();

  // The stored form: selector byte 0, a 32-bit little-endian byte count and the list, or
  // selector 1 and the special-folder number.
  std::vector<std::uint8_t> StoredPidl() const;
  // Reads a stored form; a count of 0 reads as special folder 0 (the desktop). False, with the
  // locator unchanged, for bytes that are not one: an unknown selector, a short block, a count
  // that does not end exactly at the list's terminator.
  bool ReadStoredPidl(const std::vector<std::uint8_t>& bytes);

 private:
  win::LPITEMIDLIST list_ = nullptr;
  int special_ = -1;
  win::LPITEMIDLIST resolved_ = nullptr;  // the special folder's list
};
