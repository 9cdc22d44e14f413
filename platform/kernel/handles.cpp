// The kernel's handles: files and searches today, events and change notifications later.
// Kernel objects may be used from any thread (the folder watcher waits on them), so every
// lookup pins its object.
#include "platform/kernel/internal.h"
#include "platform/kernel/kernel.h"

namespace win::detail {

namespace {

HandleTable<KernelObject>& Table() {
  static auto* table = new HandleTable<KernelObject>;  // used until exit
  return *table;
}

}  // namespace

HANDLE RegisterHandle(std::unique_ptr<KernelObject> object) {
  HANDLE handle = Table().Add(std::move(object), HandleKind::kKernelObject);
  if (handle == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
  return handle;
}

KernelRef<KernelObject> LookupHandle(HANDLE handle) {
  KernelRef<KernelObject> object = Table().Pin(handle, HandleKind::kKernelObject);
  if (!object) SetLastError(ERROR_INVALID_HANDLE);
  return object;
}

KernelRef<KernelObject> UnregisterHandle(HANDLE handle) {
  return Table().Remove(handle, HandleKind::kKernelObject);
}

KernelRef<KernelObject> UnregisterHandleIf(HANDLE handle,
                                           bool (*accept)(const KernelObject& object)) {
  return Table().RemoveIf(handle, HandleKind::kKernelObject, accept);
}

}  // namespace win::detail
