#include "platform/user/menu.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

struct win::HMENU__ {
  struct Entry {
    UINT flags = 0;
    UINT_PTR id = 0;
    std::string text;
  };
  std::vector<Entry> entries;
};

namespace win {
namespace {

std::mutex& MenuMutex() {
  static std::mutex m;
  return m;
}
std::set<HMENU>& LiveMenus() {
  static std::set<HMENU> menus;
  return menus;
}

bool Live(HMENU menu) {
  std::lock_guard lock(MenuMutex());
  return menu != nullptr && LiveMenus().count(menu) != 0;
}

const HMENU__::Entry* Find(HMENU menu, UINT item, UINT flags) {
  if (!Live(menu)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (flags & MF_BYPOSITION) return item < menu->entries.size() ? &menu->entries[item] : nullptr;
  for (const auto& e : menu->entries)
    if ((e.flags & MF_SEPARATOR) == 0 && e.id == item) return &e;
  return nullptr;
}

}  // namespace

HMENU CreatePopupMenu() {
  auto menu = std::make_unique<HMENU__>();
  std::lock_guard lock(MenuMutex());
  LiveMenus().insert(menu.get());
  return menu.release();
}

BOOL DestroyMenu(HMENU menu) {
  {
    std::lock_guard lock(MenuMutex());
    if (menu == nullptr || LiveMenus().erase(menu) == 0) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
  }
  delete menu;
  return TRUE;
}

BOOL IsMenu(HMENU menu) {
  return Live(menu) ? TRUE : FALSE;
}

BOOL InsertMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCSTR text) {
  if (!Live(menu)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if ((flags & MF_BYPOSITION) == 0 || ((flags & MF_SEPARATOR) == 0 && text == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  HMENU__::Entry entry;
  entry.flags = flags & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR | MF_DEFAULT);
  if ((flags & MF_SEPARATOR) == 0) {
    entry.id = id;
    entry.text = text;
  }
  const std::size_t at = std::min<std::size_t>(position, menu->entries.size());
  menu->entries.insert(menu->entries.begin() + std::ptrdiff_t(at), std::move(entry));
  return TRUE;
}

BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text) {
  return InsertMenuA(menu, UINT(-1), flags | MF_BYPOSITION, id, text);
}

int GetMenuItemCount(HMENU menu) {
  if (!Live(menu)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return -1;
  }
  return int(menu->entries.size());
}

UINT GetMenuItemID(HMENU menu, int position) {
  if (position < 0) return UINT(-1);
  const HMENU__::Entry* e = Find(menu, UINT(position), MF_BYPOSITION);
  if (e == nullptr || (e->flags & MF_SEPARATOR)) return UINT(-1);
  return UINT(e->id);
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  const HMENU__::Entry* e = Find(menu, item, flags);
  return e == nullptr ? UINT(-1) : e->flags;
}

int GetMenuStringA(HMENU menu, UINT item, char* buffer, int size, UINT flags) {
  const HMENU__::Entry* e = Find(menu, item, flags);
  if (buffer != nullptr && size > 0) buffer[0] = 0;
  if (e == nullptr || (e->flags & MF_SEPARATOR)) return 0;
  if (buffer == nullptr || size <= 0) return int(e->text.size());
  const std::size_t n = std::min<std::size_t>(e->text.size(), std::size_t(size) - 1);
  std::memcpy(buffer, e->text.data(), n);
  buffer[n] = 0;
  return int(n);
}

namespace {
MenuTrackHost& TrackHost() {
  static MenuTrackHost host;
  return host;
}
}  // namespace

UINT_PTR TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner,
                        const RECT* rect) {
  (void)reserved;
  (void)rect;
  if (!Live(menu)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const MenuTrackHost host = TrackHost();  // the host may be replaced while the menu is open
  const UINT chosen = host ? host(menu, flags, x, y, owner) : 0;
  if ((flags & TPM_RETURNCMD) != 0) return chosen;
  if (chosen == 0) return FALSE;
  SendMessage(owner, WM_COMMAND, chosen, 0);
  return TRUE;
}

MenuTrackHost SetMenuTrackHost(MenuTrackHost host) {
  return std::exchange(TrackHost(), std::move(host));
}

}  // namespace win
