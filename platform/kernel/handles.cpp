// The live set of kernel handles.
#include <mutex>
#include <unordered_map>

#include "platform/kernel/internal.h"
#include "platform/kernel/kernel.h"

namespace win {

namespace {

struct HandleTable {
  std::mutex mutex;
  std::unordered_map<HANDLE, std::unique_ptr<detail::KernelObject>> objects;
};

HandleTable& Table() {
  static HandleTable* table = new HandleTable;  // used until exit
  return *table;
}

}  // namespace

namespace detail {

HANDLE RegisterHandle(std::unique_ptr<KernelObject> object) {
  HandleTable& t = Table();
  HANDLE handle = object.get();
  std::lock_guard lock(t.mutex);
  t.objects.emplace(handle, std::move(object));
  return handle;
}

KernelObject* LookupHandle(HANDLE handle) {
  HandleTable& t = Table();
  std::lock_guard lock(t.mutex);
  const auto it = t.objects.find(handle);
  if (it == t.objects.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return it->second.get();
}

std::unique_ptr<KernelObject> UnregisterHandle(HANDLE handle) {
  HandleTable& t = Table();
  std::lock_guard lock(t.mutex);
  const auto it = t.objects.find(handle);
  if (it == t.objects.end()) return nullptr;
  std::unique_ptr<KernelObject> object = std::move(it->second);
  t.objects.erase(it);
  return object;
}

}  // namespace detail

}  // namespace win
