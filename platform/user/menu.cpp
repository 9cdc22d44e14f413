#include "platform/user/menu.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/kernel/handle_table.h"

namespace win {
namespace {

using detail::HandleKind;

// A menu behind its handle. Handles are slots of a handle table, so the handle of a destroyed
// menu stays refused however many menus are made after it, rather than naming a new one.
struct Menu {
  struct Entry {
    UINT flags = 0;
    UINT_PTR id = 0;
    std::string text;
    HMENU sub = nullptr;  // MF_POPUP: the entry's own menu
  };
  std::vector<Entry> entries;
  HMENU parent = nullptr;  // the menu whose entry holds this one
};

detail::HandleTable<Menu>& Menus() {
  static auto* table = new detail::HandleTable<Menu>;  // outlives every static menu owner
  return *table;
}

// The menus are the GUI thread's, so a plain lookup will do.
Menu* Of(HMENU menu) {
  return menu == nullptr ? nullptr : Menus().Get(menu, HandleKind::kMenu);
}

bool Live(HMENU menu) {
  return Of(menu) != nullptr;
}

// The position of an entry, or npos (ERROR_INVALID_HANDLE for a dead menu).
constexpr std::size_t npos = std::size_t(-1);
std::size_t Locate(Menu* m, UINT item, UINT flags) {
  if (m == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return npos;
  }
  if (flags & MF_BYPOSITION) return item < m->entries.size() ? item : npos;
  for (std::size_t i = 0; i < m->entries.size(); ++i) {
    const Menu::Entry& e = m->entries[i];
    if ((e.flags & (MF_SEPARATOR | MF_POPUP)) == 0 && e.id == item) return i;
  }
  return npos;
}

const Menu::Entry* Find(HMENU menu, UINT item, UINT flags) {
  Menu* m = Of(menu);
  const std::size_t at = Locate(m, item, flags);
  return at == npos ? nullptr : &m->entries[at];
}

// Frees a menu and everything below it; the caller has taken it out of its parent.
void Free(HMENU menu) {
  std::vector<HMENU> all{menu};
  for (std::size_t i = 0; i < all.size(); ++i)
    if (const Menu* m = Of(all[i]))
      for (const Menu::Entry& e : m->entries)
        if (e.sub != nullptr) all.push_back(e.sub);
  for (HMENU m : all) Menus().Remove(m, HandleKind::kMenu);
}

bool Holds(HMENU outer, HMENU inner) {
  for (HMENU m = outer; m != nullptr; m = Of(m)->parent)
    if (m == inner) return true;
  return false;
}

BOOL TakeOut(HMENU menu, UINT item, UINT flags, bool destroy) {
  Menu* m = Of(menu);
  const std::size_t at = Locate(m, item, flags);
  if (at == npos) {
    if (m != nullptr) SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const HMENU sub = m->entries[at].sub;
  m->entries.erase(m->entries.begin() + std::ptrdiff_t(at));
  if (sub != nullptr) {
    Of(sub)->parent = nullptr;
    if (destroy) Free(sub);
  }
  return TRUE;
}

}  // namespace

HMENU CreatePopupMenu() {
  void* handle = Menus().Add(std::make_unique<Menu>(), HandleKind::kMenu);
  if (handle == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return static_cast<HMENU>(handle);
}

BOOL DestroyMenu(HMENU menu) {
  Menu* m = Of(menu);
  if (m == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (Menu* parent = Of(m->parent)) {
    auto& entries = parent->entries;
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [menu](const Menu::Entry& e) { return e.sub == menu; }),
                  entries.end());
    m->parent = nullptr;
  }
  Free(menu);
  return TRUE;
}

BOOL IsMenu(HMENU menu) {
  return Live(menu) ? TRUE : FALSE;
}

BOOL InsertMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCSTR text) {
  Menu* m = Of(menu);
  if (m == nullptr) {
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
  Menu* subMenu = nullptr;
  if (popup) {
    sub = reinterpret_cast<HMENU>(id);
    subMenu = Of(sub);
    if (subMenu == nullptr) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    if (subMenu->parent != nullptr || Holds(menu, sub)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
  }
  Menu::Entry entry;
  entry.flags = flags & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR | MF_DEFAULT);
  if (!separator) {
    entry.id = popup ? 0 : id;
    entry.text = text;
  }
  if (popup) {
    entry.flags |= MF_POPUP;
    entry.sub = sub;
    subMenu->parent = menu;
  }
  const std::size_t at = std::min<std::size_t>(position, m->entries.size());
  m->entries.insert(m->entries.begin() + std::ptrdiff_t(at), std::move(entry));
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
  const Menu* m = Of(menu);
  if (m == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return -1;
  }
  return int(m->entries.size());
}

UINT GetMenuItemID(HMENU menu, int position) {
  if (position < 0) return UINT(-1);
  const Menu::Entry* e = Find(menu, UINT(position), MF_BYPOSITION);
  if (e == nullptr || (e->flags & (MF_SEPARATOR | MF_POPUP))) return UINT(-1);
  return UINT(e->id);
}

HMENU GetSubMenu(HMENU menu, int position) {
  if (position < 0) return nullptr;
  const Menu::Entry* e = Find(menu, UINT(position), MF_BYPOSITION);
  return e == nullptr ? nullptr : e->sub;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  const Menu::Entry* e = Find(menu, item, flags);
  if (e == nullptr) return UINT(-1);
  if (e->sub == nullptr) return e->flags;
  return e->flags | (UINT(std::min<std::size_t>(Of(e->sub)->entries.size(), 0xFF)) << 8);
}

int GetMenuStringA(HMENU menu, UINT item, char* buffer, int size, UINT flags) {
  const Menu::Entry* e = Find(menu, item, flags);
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
  const Menu* m = Of(menu);
  if (m == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (m->parent != nullptr) {
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
