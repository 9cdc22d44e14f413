#include "platform/user/ole.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "platform/user/window.h"

namespace win {
namespace detail {
void ForgetDropTarget(HWND window);
}

namespace {

HGLOBAL CopyGlobal(HGLOBAL source) {
  const std::size_t size = GlobalSize(source);
  const void* from = GlobalLock(source);
  if (from == nullptr && size != 0) return nullptr;
  HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
  if (copy == nullptr) {
    GlobalUnlock(source);
    return nullptr;
  }
  if (size != 0) std::memcpy(GlobalLock(copy), from, size);
  GlobalUnlock(copy);
  GlobalUnlock(source);
  return copy;
}

HRESULT CheckFormat(const FORMATETC* format) {
  if (format == nullptr) return E_INVALIDARG;
  if (format->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if ((format->tymed & TYMED_HGLOBAL) == 0) return DV_E_TYMED;
  return S_OK;
}

// The data object kept in memory: formats in the order they were first set.
class MemoryDataObject final : public IDataObject {
 public:
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT GetData(const FORMATETC* format, STGMEDIUM* medium) override {
    if (medium == nullptr) return E_INVALIDARG;
    *medium = STGMEDIUM{};
    if (HRESULT hr = QueryGetData(format); FAILED(hr)) return hr;
    HGLOBAL copy = CopyGlobal(Find(format->cfFormat)->second);
    if (copy == nullptr) return E_OUTOFMEMORY;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = copy;
    return S_OK;
  }

  HRESULT QueryGetData(const FORMATETC* format) override {
    if (HRESULT hr = CheckFormat(format); FAILED(hr)) return hr;
    return Find(format->cfFormat) != entries_.end() ? S_OK : DV_E_FORMATETC;
  }

  HRESULT SetData(const FORMATETC* format, STGMEDIUM* medium, BOOL release) override {
    if (medium == nullptr || format == nullptr || format->cfFormat == 0) return E_INVALIDARG;
    if (HRESULT hr = CheckFormat(format); FAILED(hr)) return hr;
    if (medium->tymed != TYMED_HGLOBAL || medium->hGlobal == nullptr) return DV_E_TYMED;
    HGLOBAL data = release ? medium->hGlobal : CopyGlobal(medium->hGlobal);
    if (data == nullptr) return E_OUTOFMEMORY;
    if (release) {
      // Ours now; whatever the medium would have released is released here.
      if (medium->pUnkForRelease != nullptr) medium->pUnkForRelease->Release();
      *medium = STGMEDIUM{};
    }
    auto found = Find(format->cfFormat);
    if (found != entries_.end()) {
      GlobalFree(found->second);
      found->second = data;
    } else {
      entries_.emplace_back(format->cfFormat, data);
    }
    return S_OK;
  }

  HRESULT EnumFormats(std::vector<UINT>* formats) override {
    if (formats == nullptr) return E_INVALIDARG;
    formats->clear();
    for (const auto& [format, data] : entries_) formats->push_back(format);
    return S_OK;
  }

 private:
  ~MemoryDataObject() {
    for (auto& [format, data] : entries_) GlobalFree(data);
  }

  std::vector<std::pair<UINT, HGLOBAL>>::iterator Find(UINT format) {
    return std::find_if(entries_.begin(), entries_.end(),
                        [&](const auto& entry) { return entry.first == format; });
  }

  ULONG refs_ = 1;
  std::vector<std::pair<UINT, HGLOBAL>> entries_;
};

struct DropTargets {
  std::mutex lock;
  std::map<HWND, IDropTarget*> targets;
};
DropTargets& Targets() {
  static DropTargets* targets = new DropTargets;  // outlives every window
  return *targets;
}

DropTargetObserver& Observer() {
  static DropTargetObserver observer;
  return observer;
}

void Notify(HWND window) {
  if (Observer()) Observer()(window);
}

struct DragState {
  DragDropHost host;
  bool active = false;
};
DragState& Drag() {
  static DragState state;
  return state;
}

}  // namespace

void detail::ForgetDropTarget(HWND window) {
  IDropTarget* target = nullptr;
  {
    std::lock_guard guard(Targets().lock);
    auto found = Targets().targets.find(window);
    if (found == Targets().targets.end()) return;
    target = found->second;
    Targets().targets.erase(found);
  }
  target->Release();
}

void ReleaseStgMedium(STGMEDIUM* medium) {
  if (medium == nullptr) return;
  if (medium->pUnkForRelease != nullptr)
    medium->pUnkForRelease->Release();
  else if (medium->tymed == TYMED_HGLOBAL && medium->hGlobal != nullptr)
    GlobalFree(medium->hGlobal);
  *medium = STGMEDIUM{};
}

HRESULT CreateDataObject(IDataObject** object) {
  if (object == nullptr) return E_POINTER;
  *object = new MemoryDataObject;
  return S_OK;
}

bool ReadDataBytes(IDataObject* object, UINT format, std::string* bytes) {
  if (bytes != nullptr) bytes->clear();
  if (object == nullptr || bytes == nullptr) return false;
  FORMATETC asked;
  asked.cfFormat = static_cast<CLIPFORMAT>(format);
  STGMEDIUM medium;
  if (FAILED(object->GetData(&asked, &medium))) return false;
  const std::size_t size = GlobalSize(medium.hGlobal);
  const auto* data = static_cast<const char*>(GlobalLock(medium.hGlobal));
  if (data != nullptr) bytes->assign(data, size);
  GlobalUnlock(medium.hGlobal);
  ReleaseStgMedium(&medium);
  return data != nullptr || size == 0;
}

HRESULT RegisterDragDrop(HWND window, IDropTarget* target) {
  if (target == nullptr) return E_INVALIDARG;
  if (!IsWindow(window)) return DRAGDROP_E_INVALIDHWND;
  {
    std::lock_guard guard(Targets().lock);
    if (!Targets().targets.emplace(window, target).second) return DRAGDROP_E_ALREADYREGISTERED;
    target->AddRef();
  }
  Notify(window);
  return S_OK;
}

HRESULT RevokeDragDrop(HWND window) {
  IDropTarget* target = nullptr;
  {
    std::lock_guard guard(Targets().lock);
    auto found = Targets().targets.find(window);
    if (found == Targets().targets.end()) return DRAGDROP_E_NOTREGISTERED;
    target = found->second;
    Targets().targets.erase(found);
  }
  target->Release();
  Notify(window);
  return S_OK;
}

IDropTarget* RegisteredDropTarget(HWND window) {
  std::lock_guard guard(Targets().lock);
  auto found = Targets().targets.find(window);
  return found == Targets().targets.end() ? nullptr : found->second;
}

HRESULT DoDragDrop(IDataObject* data, IDropSource* source, DWORD okEffects, DWORD* effect) {
  if (data == nullptr || source == nullptr || effect == nullptr) return E_INVALIDARG;
  *effect = DROPEFFECT_NONE;
  DragState& state = Drag();
  if (state.active) return E_UNEXPECTED;
  if (!state.host) return DRAGDROP_S_CANCEL;
  state.active = true;
  struct Reset {
    ~Reset() { Drag().active = false; }
  } reset;
  DragDropHost host = state.host;  // the host may be replaced while it runs
  const HRESULT hr = host(data, source, okEffects, effect);
  if (hr != DRAGDROP_S_DROP) *effect = DROPEFFECT_NONE;
  return hr;
}

DropTargetObserver SetDropTargetObserver(DropTargetObserver observer) {
  return std::exchange(Observer(), std::move(observer));
}

DragDropHost SetDragDropHost(DragDropHost host) {
  return std::exchange(Drag().host, std::move(host));
}

bool DragDropActive() {
  return Drag().active;
}

HGLOBAL CreateFileDropData(const std::vector<std::string>& paths) {
  std::string list;
  for (const std::string& path : paths) {
    if (path.empty() || path.find('\0') != std::string::npos) return nullptr;
    list += path;
    list += '\0';
  }
  list += '\0';
  HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size());
  if (block == nullptr) return nullptr;
  auto* bytes = static_cast<char*>(GlobalLock(block));
  DROPFILES header{};
  header.pFiles = sizeof(DROPFILES);
  std::memcpy(bytes, &header, sizeof header);
  std::memcpy(bytes + sizeof header, list.data(), list.size());
  GlobalUnlock(block);
  return block;
}

std::vector<std::string> FileDropPaths(HGLOBAL drop) {
  std::vector<std::string> paths;
  if (drop == nullptr) return paths;
  const std::size_t size = GlobalSize(drop);
  const auto* bytes = static_cast<const char*>(GlobalLock(drop));
  if (bytes == nullptr || size < sizeof(DROPFILES)) {
    if (bytes != nullptr) GlobalUnlock(drop);
    return paths;
  }
  DROPFILES header;
  std::memcpy(&header, bytes, sizeof header);
  bool wellFormed = header.pFiles >= sizeof(DROPFILES) && header.pFiles < size;
  if (wellFormed && !header.fWide) {
    std::size_t at = header.pFiles;
    while (true) {
      const void* end = std::memchr(bytes + at, '\0', size - at);
      if (end == nullptr) {
        wellFormed = false;
        break;
      }
      const std::size_t length = static_cast<const char*>(end) - (bytes + at);
      if (length == 0) break;
      paths.emplace_back(bytes + at, length);
      at += length + 1;
      if (at >= size) {
        wellFormed = false;  // no closing empty entry
        break;
      }
    }
  } else if (wellFormed) {
    // Wide lists come from other writers of the format; the paths become code page 936.
    std::u16string path;
    std::size_t at = header.pFiles;
    wellFormed = false;
    for (; at + 1 < size; at += 2) {
      char16_t unit;
      std::memcpy(&unit, bytes + at, 2);
      if (unit != 0) {
        path += unit;
        continue;
      }
      if (path.empty()) {
        wellFormed = true;
        break;
      }
      std::optional<std::string> ansi = Utf8ToAnsi(Utf16ToUtf8(path));
      if (!ansi) break;  // a name the code page cannot hold: the list is of no use to us
      paths.push_back(*ansi);
      path.clear();
    }
  }
  GlobalUnlock(drop);
  if (!wellFormed) paths.clear();
  return paths;
}

UINT DragQueryFileA(HDROP drop, UINT index, char* buffer, UINT size) {
  const std::vector<std::string> paths = FileDropPaths(drop);
  if (index == 0xFFFFFFFFu) return static_cast<UINT>(paths.size());
  if (index >= paths.size()) return 0;
  const std::string& path = paths[index];
  if (buffer != nullptr && size > 0) {
    const std::size_t n = std::min<std::size_t>(path.size(), size - 1);
    std::memcpy(buffer, path.data(), n);
    buffer[n] = '\0';
  }
  return static_cast<UINT>(path.size());
}

}  // namespace win
