// The shell's side of drag and drop: the data object of items (IShellFolder::GetUIObjectOf
// with IID_IDataObject) and the "Shell IDList Array" it carries, and the folders' drop
// handlers (GetUIObjectOf with IID_IDropTarget for an item, CreateViewObject for a folder's
// own).
//
// A data object offers "Shell IDList Array" (the parent folder's absolute list, then each
// item's relative list) and, when every item has a file-system path, CF_HDROP with the items'
// Windows paths. A drop handler takes CF_HDROP, else the list array resolved to paths; it
// copies, moves or links into its folder as the keys say, shows the drop menu after a right
// drag and reports failures in message boxes owned by its owner window.
#pragma once

#include <string>
#include <vector>

#include "platform/shell/shell_folder.h"
#include "platform/user/ole.h"

namespace win {

inline constexpr const char* CFSTR_SHELLIDLIST = "Shell IDList Array";

// The list array's layout: cidl, then cidl + 1 offsets from the start of the block (the
// folder's list at aoffset[0], the i-th item's at aoffset[i + 1]), then the lists.
struct CIDA {
  UINT cidl;
  UINT aoffset[1];
};

// Not Windows calls.
// The registered format number of CFSTR_SHELLIDLIST.
UINT ShellIdListFormat();
// A list array block (GlobalAlloc'ed, the caller's) of an absolute folder list and relative
// item lists; null for a null list or when memory runs out.
HGLOBAL CreateShellIdListData(LPCITEMIDLIST folder, const std::vector<LPCITEMIDLIST>& items);

// A list array read back, with copies of its lists.
class ShellIdList {
 public:
  // Reads a block; false (and empty) when it is not a whole list array: too short for its
  // count and offsets, an offset outside the block, a list that runs past the block's end,
  // or lists that together are longer than the block (as only overlapping ones can be).
  bool Read(const void* data, std::size_t size);
  // Reads the object's CFSTR_SHELLIDLIST data.
  bool Read(IDataObject* data);

  std::size_t Count() const { return items_.size(); }
  LPCITEMIDLIST Folder() const { return AsList(folder_); }
  LPCITEMIDLIST Item(std::size_t index) const { return AsList(items_.at(index)); }
  // The item's absolute list (the folder's followed by the item's), the caller's to free.
  LPITEMIDLIST AbsoluteItem(std::size_t index) const;

 private:
  static LPCITEMIDLIST AsList(const std::string& bytes) {
    return reinterpret_cast<LPCITEMIDLIST>(bytes.data());
  }
  std::string folder_;
  std::vector<std::string> items_;
};

// The effect a drop would have from the keys, among the allowed effects: Alt or Ctrl+Shift
// links, Ctrl copies, Shift moves (none when that one is not allowed); without a modifier a
// move when the sources are on the target's drive, else a copy, falling back to copy, move,
// link in that order when the first choice is not allowed.
DWORD DropEffectFromKeys(DWORD keyState, DWORD allowed, bool sameDrive);

}  // namespace win
