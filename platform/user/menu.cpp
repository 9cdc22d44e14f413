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
    HMENU sub = nullptr;  // MF_POPUP: the entry's own menu
  };
  std::vector<Entry> entries;
  HMENU parent = nullptr;  // the menu whose entry holds this one
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

// The position of an entry, or npos (ERROR_INVALID_HANDLE for a dead menu).
std::size_t Locate(HMENU menu, UINT item, UINT flags) {
  constexpr std::size_t npos = std::size_t(-1);
  if (!Live(menu)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return npos;
  }
  if (flags & MF_BYPOSITION) return item < menu->entries.size() ? item : npos;
  for (std::size_t i = 0; i < menu->entries.size(); ++i) {
    const HMENU__::Entry& e = menu->entries[i];
    if ((e.flags & (MF_SEPARATOR | MF_POPUP)) == 0 && e.id == item) return i;
  }
  return npos;
}

const HMENU__::Entry* Find(HMENU menu, UINT item, UINT flags) {
  const std::size_t at = Locate(menu, item, flags);
  return at == std::size_t(-1) ? nullptr : &menu->entries[at];
}

// Frees a menu and everything below it; the caller has taken it out of its parent.
void Free(HMENU menu) {
  std::vector<HMENU> all{menu};
  for (std::size_t i = 0; i < all.size(); ++i)
    for (const HMENU__::Entry& e : all[i]->entries)
      if (e.sub != nullptr) all.push_back(e.sub);
  {
    std::lock_guard lock(MenuMutex());
    for (HMENU m : all) LiveMenus().erase(m);
  }
  for (HMENU m : all) delete m;
}

bool Holds(HMENU outer, HMENU inner) {
  for (HMENU m = outer; m != nullptr; m = m->parent)
    if (m == inner) return true;
  return false;
}

BOOL TakeOut(HMENU menu, UINT item, UINT flags, bool destroy) {
  const std::size_t at = Locate(menu, item, flags);
  if (at == std::size_t(-1)) {
    if (Live(menu)) SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const HMENU sub = menu->entries[at].sub;
  menu->entries.erase(menu->entries.begin() + std::ptrdiff_t(at));
  if (sub != nullptr) {
    sub->parent = nullptr;
    if (destroy) Free(sub);
  }
  return TRUE;
}

}  // namespace

HMENU CreatePopupMenu() {
  auto menu = std::make_unique<HMENU__>();
  std::lock_guard lock(MenuMutex());
  LiveMenus().insert(menu.get());
  return menu.release();
}

BOOL DestroyMenu(HMENU menu) {
  if (!Live(menu)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (HMENU parent = menu->parent) {
    auto& entries = parent->entries;
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [menu](const HMENU__::Entry& e) { return e.sub == menu; }),
                  entries.end());
    menu->parent = nullptr;
  }
  Free(menu);
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
  const bool separator = (flags & MF_SEPARATOR) != 0;
  const bool popup = !separator && (flags & MF_POPUP) != 0;
  if ((flags & MF_BYPOSITION) == 0 || (!separator && text == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  HMENU sub = nullptr;
  if (popup) {
    sub = reinterpret_cast<HMENU>(id);
    if (!Live(sub)) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    if (sub->parent != nullptr || Holds(menu, sub)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
  }
  HMENU__::Entry entry;
  entry.flags = flags & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR | MF_DEFAULT);
  if (!separator) {
    entry.id = popup ? 0 : id;
    entry.text = text;
  }
  if (popup) {
    entry.flags |= MF_POPUP;
    entry.sub = sub;
    sub->parent = menu;
  }
  const std::size_t at = std::min<std::size_t>(position, menu->entries.size());
  menu->entries.insert(menu->entries.begin() + std::ptrdiff_t(at), std::move(entry));
  return TRUE;
}

BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text) {
  return InsertMenuA(menu, UINT(-1), flags | MF_BYPOSITION, id, text);
}

BOOL DeleteMenu(HMENU menu, UINT item, UINT flags) {
  return TakeOut(menu, item, flags, true);
}

BOOL RemoveMenu(HMENU menu, UINT item, UINT flags) {
  return TakeOut(menu, item, flags, false);
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
  if (e == nullptr || (e->flags & (MF_SEPARATOR | MF_POPUP))) return UINT(-1);
  return UINT(e->id);
}

HMENU GetSubMenu(HMENU menu, int position) {
  if (position < 0) return nullptr;
  const HMENU__::Entry* e = Find(menu, UINT(position), MF_BYPOSITION);
  return e == nullptr ? nullptr : e->sub;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  const HMENU__::Entry* e = Find(menu, item, flags);
  if (e == nullptr) return UINT(-1);
  if (e->sub == nullptr) return e->flags;
  return e->flags | (UINT(std::min<std::size_t>(e->sub->entries.size(), 0xFF)) << 8);
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
  if (menu->parent != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
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
