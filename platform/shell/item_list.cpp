#include "platform/shell/item_list.h"

#include <cstdlib>
#include <cstring>

namespace win {

namespace {

thread_local int comInitCount = 0;

const BYTE* Bytes(LPCITEMIDLIST list) {
  return reinterpret_cast<const BYTE*>(list);
}

// Counts below 2 cannot hold their own size; a list is read as ending there.
UINT ItemSize(const BYTE* item) {
  const UINT cb = UINT(item[0]) | (UINT(item[1]) << 8);
  return cb < 2 ? 0 : cb;
}

// Bytes of the items without the terminator.
UINT ItemsSize(LPCITEMIDLIST list) {
  if (list == nullptr) return 0;
  const BYTE* p = Bytes(list);
  UINT total = 0;
  for (UINT cb; (cb = ItemSize(p + total)) != 0;) total += cb;
  return total;
}

LPITEMIDLIST Allocate(UINT itemBytes) {
  auto* out = static_cast<BYTE*>(CoTaskMemAlloc(itemBytes + 2));
  if (out == nullptr) return nullptr;
  out[itemBytes] = 0;
  out[itemBytes + 1] = 0;
  return reinterpret_cast<LPITEMIDLIST>(out);
}

}  // namespace

void* CoTaskMemAlloc(std::size_t bytes) {
  return std::malloc(bytes == 0 ? 1 : bytes);
}

void CoTaskMemFree(void* block) {
  std::free(block);
}

HRESULT CoInitialize(void*) {
  return comInitCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  if (comInitCount > 0) --comInitCount;
}

UINT ILGetSize(LPCITEMIDLIST list) {
  return list == nullptr ? 0 : ItemsSize(list) + 2;
}

LPITEMIDLIST ILGetNext(LPCITEMIDLIST list) {
  if (list == nullptr) return nullptr;
  const UINT cb = ItemSize(Bytes(list));
  if (cb == 0) return nullptr;
  return reinterpret_cast<LPITEMIDLIST>(const_cast<BYTE*>(Bytes(list) + cb));
}

bool ILIsEmpty(LPCITEMIDLIST list) {
  return list == nullptr || ItemSize(Bytes(list)) == 0;
}

UINT ILGetCount(LPCITEMIDLIST list) {
  UINT count = 0;
  for (LPCITEMIDLIST p = list; !ILIsEmpty(p); p = ILGetNext(p)) ++count;
  return count;
}

LPITEMIDLIST ILClone(LPCITEMIDLIST list) {
  if (list == nullptr) return nullptr;
  const UINT size = ItemsSize(list);
  LPITEMIDLIST out = Allocate(size);
  if (out != nullptr) std::memcpy(out, list, size);
  return out;
}

LPITEMIDLIST ILCloneFirst(LPCITEMIDLIST list) {
  if (list == nullptr) return nullptr;
  const UINT size = ItemSize(Bytes(list));
  LPITEMIDLIST out = Allocate(size);
  if (out != nullptr) std::memcpy(out, list, size);
  return out;
}

LPITEMIDLIST ILCombine(LPCITEMIDLIST first, LPCITEMIDLIST second) {
  if (first == nullptr && second == nullptr) return nullptr;
  const UINT firstSize = ItemsSize(first);
  const UINT secondSize = ItemsSize(second);
  LPITEMIDLIST out = Allocate(firstSize + secondSize);
  if (out == nullptr) return nullptr;
  auto* bytes = reinterpret_cast<BYTE*>(out);
  if (firstSize != 0) std::memcpy(bytes, first, firstSize);
  if (secondSize != 0) std::memcpy(bytes + firstSize, second, secondSize);
  return out;
}

LPITEMIDLIST ILFindLastID(LPCITEMIDLIST list) {
  if (list == nullptr) return nullptr;
  LPCITEMIDLIST last = list;
  for (LPCITEMIDLIST p = list; !ILIsEmpty(p); p = ILGetNext(p)) last = p;
  return const_cast<LPITEMIDLIST>(last);
}

BOOL ILRemoveLastID(LPITEMIDLIST list) {
  if (ILIsEmpty(list)) return FALSE;
  auto* last = reinterpret_cast<BYTE*>(ILFindLastID(list));
  last[0] = 0;
  last[1] = 0;
  return TRUE;
}

void ILFree(LPITEMIDLIST list) {
  CoTaskMemFree(list);
}

}  // namespace win
