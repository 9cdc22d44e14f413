// Any bytes as a "Shell IDList Array" block. Nothing may be read outside the block and a
// forged one may not make the reader copy more than the block holds. A block that reads gives
// lists that fit in it, and the lists written again read back as the same lists.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/shell/item_list.h"
#include "platform/shell/shell_dnd.h"

namespace {

bool SameList(win::LPCITEMIDLIST a, win::LPCITEMIDLIST b) {
  const win::UINT size = win::ILGetSize(a);
  return size == win::ILGetSize(b) && std::memcmp(a, b, size) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  win::ShellIdList lists;
  if (!lists.Read(data, size)) {
    if (lists.Count() != 0) __builtin_trap();  // a failed read leaves nothing behind
    return 0;
  }
  std::size_t total = win::ILGetSize(lists.Folder());
  std::vector<win::LPCITEMIDLIST> items;
  for (std::size_t i = 0; i < lists.Count(); ++i) {
    items.push_back(lists.Item(i));
    total += win::ILGetSize(lists.Item(i));
    win::LPITEMIDLIST absolute = lists.AbsoluteItem(i);
    if (absolute == nullptr ||
        win::ILGetSize(absolute) != win::ILGetSize(lists.Folder()) + win::ILGetSize(items[i]) - 2)
      __builtin_trap();
    win::ILFree(absolute);
  }
  if (total > size) __builtin_trap();
  win::HGLOBAL again = win::CreateShellIdListData(lists.Folder(), items);
  if (again == nullptr) __builtin_trap();
  win::ShellIdList back;
  const bool read = back.Read(win::GlobalLock(again), win::GlobalSize(again));
  win::GlobalUnlock(again);
  win::GlobalFree(again);
  if (!read || back.Count() != lists.Count() || !SameList(back.Folder(), lists.Folder()))
    __builtin_trap();
  for (std::size_t i = 0; i < lists.Count(); ++i) {
    if (!SameList(back.Item(i), lists.Item(i))) __builtin_trap();
  }
  return 0;
}
