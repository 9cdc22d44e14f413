// Global memory blocks (the clipboard hands data over in them).
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/kernel/internal.h"
#include "platform/kernel/kernel.h"

namespace win {

namespace {

struct Block {
  void* data;
  std::size_t size;
  int locks;
};

// Handles are checked against the live blocks, so a freed or made-up handle fails cleanly.
struct GlobalHeap {
  std::mutex mutex;
  std::unordered_map<HGLOBAL, Block> blocks;
};

GlobalHeap& Heap() {
  static GlobalHeap* heap = new GlobalHeap;  // used until exit
  return *heap;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes) {
  // One byte at least, so every block has its own address.
  void* data =
      (flags & GMEM_ZEROINIT) ? std::calloc(bytes ? bytes : 1, 1) : std::malloc(bytes ? bytes : 1);
  if (data == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  GlobalHeap& heap = Heap();
  std::lock_guard lock(heap.mutex);
  heap.blocks.emplace(data, Block{data, bytes, 0});
  return data;
}

void* GlobalLock(HGLOBAL memory) {
  GlobalHeap& heap = Heap();
  std::lock_guard lock(heap.mutex);
  const auto it = heap.blocks.find(memory);
  if (it == heap.blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  ++it->second.locks;
  return it->second.data;
}

BOOL GlobalUnlock(HGLOBAL memory) {
  GlobalHeap& heap = Heap();
  std::lock_guard lock(heap.mutex);
  const auto it = heap.blocks.find(memory);
  if (it == heap.blocks.end()) return detail::Fail(ERROR_INVALID_HANDLE);
  if (it->second.locks > 0) --it->second.locks;
  // As on Windows: nonzero while still locked, zero with no error once unlocked.
  if (it->second.locks > 0) return TRUE;
  SetLastError(ERROR_SUCCESS);
  return FALSE;
}

std::size_t GlobalSize(HGLOBAL memory) {
  GlobalHeap& heap = Heap();
  std::lock_guard lock(heap.mutex);
  const auto it = heap.blocks.find(memory);
  if (it == heap.blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return it->second.size;
}

HGLOBAL GlobalFree(HGLOBAL memory) {
  GlobalHeap& heap = Heap();
  std::lock_guard lock(heap.mutex);
  const auto it = heap.blocks.find(memory);
  if (it == heap.blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return memory;
  }
  std::free(it->second.data);
  heap.blocks.erase(it);
  return nullptr;
}

}  // namespace win
