// The task allocator and item identifier lists.
//
// An item identifier list is a run of items, each a 16-bit little-endian byte count (counting
// itself) followed by opaque bytes, ended by a 16-bit zero; the empty list names the desktop.
// Lists are allocated with the task allocator and freed with CoTaskMemFree (ILFree).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/kernel/com.h"
#include "platform/kernel/kernel.h"

namespace win {

// The task allocator. CoTaskMemAlloc(0) gives a valid block; CoTaskMemFree(nullptr) is fine.
void* CoTaskMemAlloc(std::size_t bytes);
void CoTaskMemFree(void* block);
// Per thread: S_OK the first time, S_FALSE when already initialised; CoUninitialize undoes one.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();

#pragma pack(push, 1)
struct SHITEMID {
  USHORT cb;
  BYTE abID[1];
};
struct ITEMIDLIST {
  SHITEMID mkid;
};
#pragma pack(pop)
using LPITEMIDLIST = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;

// Byte size of a list including its terminator; 0 for a null list.
UINT ILGetSize(LPCITEMIDLIST list);
// The item after the first one (possibly the terminator); null for a null or empty list.
LPITEMIDLIST ILGetNext(LPCITEMIDLIST list);
bool ILIsEmpty(LPCITEMIDLIST list);
// Not a Windows call: the number of items.
UINT ILGetCount(LPCITEMIDLIST list);
LPITEMIDLIST ILClone(LPCITEMIDLIST list);
// A list of the first item only (empty for an empty list).
LPITEMIDLIST ILCloneFirst(LPCITEMIDLIST list);
// First list without its terminator, then the second; a null side counts as empty. Null
// when both are null or memory runs out.
LPITEMIDLIST ILCombine(LPCITEMIDLIST first, LPCITEMIDLIST second);
// The last item inside the list (the list itself when it is empty).
LPITEMIDLIST ILFindLastID(LPCITEMIDLIST list);
// Ends the list before its last item; FALSE for an empty list.
BOOL ILRemoveLastID(LPITEMIDLIST list);
void ILFree(LPITEMIDLIST list);

}  // namespace win
