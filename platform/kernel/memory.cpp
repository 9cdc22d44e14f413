// Global memory blocks (the clipboard hands data over in them).
#include <atomic>
#include <cstdlib>
#include <memory>

#include "platform/kernel/handle_table.h"
#include "platform/kernel/internal.h"
#include "platform/kernel/kernel.h"

namespace win {

namespace {

struct FreeBytes {
  void operator()(void* data) const { std::free(data); }
};

struct Block {
  std::unique_ptr<void, FreeBytes> data;
  std::size_t size = 0;
  std::atomic<int> locks{0};
};

// Each call pins its block, so a block freed by another thread meanwhile stays valid until the
// call is done; the pointer GlobalLock returns is the caller's to keep until GlobalFree.
detail::HandleTable<Block>& Heap() {
  static auto* heap = new detail::HandleTable<Block>;  // used until exit
  return *heap;
}

auto FindBlock(HGLOBAL memory) {
  auto block = Heap().Pin(memory, detail::HandleKind::kGlobalMemory);
  if (!block) SetLastError(ERROR_INVALID_HANDLE);
  return block;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes) {
  // One byte at least, so a lock of an empty block still gives a pointer.
  const std::size_t allocated = bytes ? bytes : 1;
  auto block = std::make_unique<Block>();
  block->data.reset((flags & GMEM_ZEROINIT) ? std::calloc(allocated, 1) : std::malloc(allocated));
  block->size = bytes;
  if (block->data == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  HGLOBAL handle = Heap().Add(std::move(block), detail::HandleKind::kGlobalMemory);
  if (handle == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return handle;
}

void* GlobalLock(HGLOBAL memory) {
  auto block = FindBlock(memory);
  if (!block) return nullptr;
  ++block->locks;
  return block->data.get();
}

BOOL GlobalUnlock(HGLOBAL memory) {
  auto block = FindBlock(memory);
  if (!block) return FALSE;
  int locks = block->locks.load();
  while (locks > 0 && !block->locks.compare_exchange_weak(locks, locks - 1)) {
  }
  // As on Windows: nonzero while still locked, zero with no error once unlocked.
  if (locks > 1) return TRUE;
  SetLastError(ERROR_SUCCESS);
  return FALSE;
}

std::size_t GlobalSize(HGLOBAL memory) {
  auto block = FindBlock(memory);
  return block ? block->size : 0;
}

HGLOBAL GlobalFree(HGLOBAL memory) {
  if (!Heap().Remove(memory, detail::HandleKind::kGlobalMemory)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return memory;
  }
  return nullptr;
}

}  // namespace win
