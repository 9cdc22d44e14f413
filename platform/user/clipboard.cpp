#include "platform/user/clipboard.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "platform/gdi/metafile.h"
#include "platform/user/window.h"

namespace win {

namespace {

struct ClipboardState {
  std::unique_ptr<ClipboardBackend> backend = std::make_unique<InProcessClipboard>();
  bool open = false;
  HWND openWindow = nullptr;
  HWND owner = nullptr;
  bool changed = false;
};

// Lives to the end of the process: it is never destroyed, so handles still on the clipboard
// at exit are not freed after the graphics layer's own tables are gone.
ClipboardState& State() {
  static auto* state = new ClipboardState;
  return *state;
}

bool RequireOpen() {
  if (State().open) return true;
  SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
  return false;
}

}  // namespace

void FreeClipboardData(UINT format, HANDLE data) {
  if (data == nullptr) return;
  switch (format) {
    case CF_BITMAP:
    case CF_PALETTE:
      DeleteObject(data);
      break;
    case CF_ENHMETAFILE:
      DeleteEnhMetaFile(static_cast<HENHMETAFILE>(data));
      break;
    case CF_METAFILEPICT:
      if (GlobalSize(data) >= sizeof(METAFILEPICT)) {
        if (auto* picture = static_cast<METAFILEPICT*>(GlobalLock(data))) {
          if (picture->hMF != nullptr) DeleteMetaFile(picture->hMF);
          GlobalUnlock(data);
        }
      }
      GlobalFree(data);
      break;
    default:
      GlobalFree(data);
      break;
  }
}

void ClipboardStore::Clear() {
  // Taken out first so a handle is never freed twice if freeing one re-enters.
  auto entries = std::move(entries_);
  entries_.clear();
  for (auto& [format, data] : entries) FreeClipboardData(format, data);
}

void ClipboardStore::Set(UINT format, HANDLE data) {
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [format](const auto& e) { return e.first == format; });
  if (it == entries_.end()) {
    entries_.emplace_back(format, data);
    return;
  }
  HANDLE old = it->second;
  it->second = data;
  if (old != data) FreeClipboardData(format, old);
}

HANDLE ClipboardStore::Get(UINT format) const {
  for (const auto& [f, data] : entries_)
    if (f == format) return data;
  return nullptr;
}

std::vector<UINT> ClipboardStore::Formats() const {
  std::vector<UINT> formats;
  formats.reserve(entries_.size());
  for (const auto& entry : entries_) formats.push_back(entry.first);
  return formats;
}

BOOL OpenClipboard(HWND owner) {
  ClipboardState& state = State();
  if (owner != nullptr && !IsWindow(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (state.open) {
    // Windows lets the window that holds the clipboard open it again.
    if (state.openWindow == owner) return TRUE;
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  state.open = true;
  state.openWindow = owner;
  state.changed = false;
  state.backend->Opened();
  return TRUE;
}

BOOL CloseClipboard() {
  ClipboardState& state = State();
  if (!RequireOpen()) return FALSE;
  state.open = false;
  state.openWindow = nullptr;
  const bool changed = state.changed;
  state.changed = false;
  state.backend->Closed(changed);
  return TRUE;
}

BOOL EmptyClipboard() {
  ClipboardState& state = State();
  if (!RequireOpen()) return FALSE;
  state.backend->Empty();
  state.owner = state.openWindow;
  state.changed = true;
  return TRUE;
}

UINT EnumClipboardFormats(UINT format) {
  if (!RequireOpen()) return 0;
  const std::vector<UINT> formats = State().backend->Formats();
  auto it = formats.begin();
  if (format != 0) {
    it = std::find(formats.begin(), formats.end(), format);
    if (it != formats.end()) ++it;
  }
  SetLastError(ERROR_SUCCESS);
  return it == formats.end() ? 0 : *it;
}

int CountClipboardFormats() {
  return static_cast<int>(State().backend->Formats().size());
}

BOOL IsClipboardFormatAvailable(UINT format) {
  const std::vector<UINT> formats = State().backend->Formats();
  return std::find(formats.begin(), formats.end(), format) != formats.end() ? TRUE : FALSE;
}

HANDLE GetClipboardData(UINT format) {
  if (!RequireOpen()) return nullptr;
  HANDLE data = State().backend->GetData(format);
  if (data == nullptr) SetLastError(ERROR_INVALID_PARAMETER);
  return data;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
  ClipboardState& state = State();
  if (!RequireOpen()) return nullptr;
  if (format == 0 || data == nullptr || !state.backend->SetData(format, data)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  state.changed = true;
  return data;
}

namespace {
std::vector<std::string>& RegisteredFormats() {
  static std::vector<std::string> names;
  return names;
}
constexpr UINT kFirstRegisteredFormat = 0xC000;
}  // namespace

UINT RegisterClipboardFormatA(LPCSTR name) {
  if (name == nullptr || *name == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::vector<std::string>& names = RegisteredFormats();
  const std::string wanted(name);
  auto same = [&wanted](const std::string& known) {
    return std::equal(known.begin(), known.end(), wanted.begin(), wanted.end(), [](char a, char b) {
      return std::tolower(static_cast<unsigned char>(a)) ==
             std::tolower(static_cast<unsigned char>(b));
    });
  };
  for (std::size_t i = 0; i < names.size(); ++i)
    if (same(names[i])) return kFirstRegisteredFormat + UINT(i);
  if (names.size() >= 0x3FFF) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  names.push_back(wanted);
  return kFirstRegisteredFormat + UINT(names.size() - 1);
}

int GetClipboardFormatNameA(UINT format, char* buffer, int size) {
  const std::vector<std::string>& names = RegisteredFormats();
  if (buffer == nullptr || size <= 0 || format < kFirstRegisteredFormat ||
      format - kFirstRegisteredFormat >= names.size()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::string& name = names[format - kFirstRegisteredFormat];
  const std::size_t n = std::min<std::size_t>(name.size(), std::size_t(size) - 1);
  std::memcpy(buffer, name.data(), n);
  buffer[n] = 0;
  return int(n);
}

HWND GetOpenClipboardWindow() {
  const ClipboardState& state = State();
  return state.open ? state.openWindow : nullptr;
}

HWND GetClipboardOwner() {
  return State().owner;
}

std::unique_ptr<ClipboardBackend> SetClipboardBackend(std::unique_ptr<ClipboardBackend> backend) {
  if (!backend) backend = std::make_unique<InProcessClipboard>();
  std::swap(State().backend, backend);
  return backend;
}

}  // namespace win
