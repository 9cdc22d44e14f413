// The folder tree's shell operations: renaming in place, the keyboard commands and the shell's
// context menu. The shell carries them out; the tree builds the requests and keeps its nodes in
// step afterwards.
#include <QGuiApplication>
#include <QString>
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "browse/hourglass.h"
#include "browse/shell_tree.h"
#include "platform/shell/shell.h"
#include "platform/user/menu.h"
#include "runtime/exceptions.h"
#include "ui/forms.h"

namespace {

constexpr win::UINT kFirstMenuCommand = 1000;
constexpr win::UINT kLastMenuCommand = 32767;
constexpr win::ULONG kRenameAttributeMask = 0x40000177;
constexpr std::size_t kMaxRenameLength = 260;

struct ListFree {
  void operator()(win::ITEMIDLIST* list) const { win::ILFree(list); }
};
using OwnedList = std::unique_ptr<win::ITEMIDLIST, ListFree>;

struct MenuRelease {
  void operator()(win::IContextMenu* menu) const {
    if (menu != nullptr) menu->Release();
  }
};
using HeldMenu = std::unique_ptr<win::IContextMenu, MenuRelease>;

struct MenuDestroy {
  void operator()(win::HMENU__* menu) const { win::DestroyMenu(menu); }
};
using OwnedMenu = std::unique_ptr<win::HMENU__, MenuDestroy>;

AnsiString Trimmed(const AnsiString& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
  return text.substr(first, last - first);
}

bool SameVerb(const char* a, const char* b) {
  for (; *a != 0 && *b != 0; ++a, ++b)
    if (std::tolower(static_cast<unsigned char>(*a)) !=
        std::tolower(static_cast<unsigned char>(*b)))
      return false;
  return *a == *b;
}

// Shortcuts as key code | modifier bits.
constexpr unsigned kScShift = 0x2000;
constexpr unsigned kScCtrl = 0x4000;
constexpr unsigned kScAlt = 0x8000;

// "Ctrl+C", "Del", "F5" to a shortcut; 0 for a text that names no key.
unsigned ShortCutOfText(const std::string& text) {
  unsigned modifiers = 0;
  std::string rest = text;
  for (;;) {
    auto strip = [&rest](const char* prefix) {
      if (rest.size() <= std::strlen(prefix) || rest.compare(0, std::strlen(prefix), prefix) != 0)
        return false;
      rest.erase(0, std::strlen(prefix));
      return true;
    };
    if (strip("Ctrl+")) {
      modifiers |= kScCtrl;
    } else if (strip("Shift+")) {
      modifiers |= kScShift;
    } else if (strip("Alt+")) {
      modifiers |= kScAlt;
    } else {
      break;
    }
  }
  unsigned key = 0;
  if (rest.size() == 1 && std::isalnum(static_cast<unsigned char>(rest[0]))) {
    key = unsigned(std::toupper(static_cast<unsigned char>(rest[0])));
  } else if (rest == "Del") {
    key = VK_DELETE;
  } else if (rest.size() >= 2 && rest[0] == 'F' &&
             std::isdigit(static_cast<unsigned char>(rest[1]))) {
    const int n = std::atoi(rest.c_str() + 1);
    if (n >= 1 && n <= 24) key = 0x70 + unsigned(n - 1);
  }
  return key == 0 ? 0 : key | modifiers;
}

enum class KeyCommand { kSelectAll, kDelete, kCopy, kCut, kPaste, kRefresh, kRename };

struct KeyShortcut {
  const char* text;
  KeyCommand command;
  unsigned shortcut = 0;
};

// Converted on the first key press that gets this far.
std::array<KeyShortcut, 7>& Shortcuts() {
  static std::array<KeyShortcut, 7> table = [] {
    std::array<KeyShortcut, 7> t{{{"Ctrl+A", KeyCommand::kSelectAll},
                                  {"Del", KeyCommand::kDelete},
                                  {"Ctrl+C", KeyCommand::kCopy},
                                  {"Ctrl+X", KeyCommand::kCut},
                                  {"Ctrl+V", KeyCommand::kPaste},
                                  {"F5", KeyCommand::kRefresh},
                                  {"F2", KeyCommand::kRename}}};
    for (KeyShortcut& s : t) s.shortcut = ShortCutOfText(s.text);
    return t;
  }();
  return table;
}

unsigned ShortCutOf(std::uint16_t key, TShiftState shift) {
  unsigned sc = key;
  if (shift.Contains(TShiftStateItem::ssShift)) sc |= kScShift;
  if (shift.Contains(TShiftStateItem::ssCtrl)) sc |= kScCtrl;
  if (shift.Contains(TShiftStateItem::ssAlt)) sc |= kScAlt;
  return sc;
}

void DropDescendantCaches(TTreeNode* node) {
  for (int i = 0; i < node->Count(); ++i) {
    TTreeNode* child = node->Item(i);
    if (TRzShellTreeData* data = TRzShellTree::DataOf(child)) data->DropCaches();
    DropDescendantCaches(child);
  }
}

bool IsWithin(const TTreeNode* node, const TTreeNode* ancestor) {
  for (const TTreeNode* p = node; p != nullptr; p = p->Parent())
    if (p == ancestor) return true;
  return false;
}

}  // namespace

// --- Renaming -------------------------------------------------------------------------------

bool TRzShellTree::CanRename(TTreeNode* node) {
  if (ReadOnly()) return false;
  TRzShellTreeData* data = DataOf(node);
  if (data == nullptr || data->Parent() == nullptr) return false;
  win::IShellFolder* folder = data->Parent()->Folder();
  if (folder == nullptr) return false;
  win::LPCITEMIDLIST item = data->RelativeList();
  win::ULONG attributes = kRenameAttributeMask;
  if (win::FAILED(folder->GetAttributesOf(1, &item, &attributes))) return false;
  return (attributes & win::SFGAO_CANRENAME) != 0;
}

bool TRzShellTree::StartRename(TTreeNode* node) {
  if (node == nullptr || !HandleAllocated() || !CanRename(node)) return false;
  node->EditText();
  return IsEditing();
}

AnsiString TRzShellTree::EditingText(TTreeNode* node) {
  TRzShellTreeData* data = DataOf(node);
  win::IShellFolder* folder =
      data == nullptr || data->Parent() == nullptr ? nullptr : data->Parent()->Folder();
  if (folder == nullptr) return node->Text();
  char buffer[win::MAX_PATH + 1] = {};
  win::STRRET name{};
  name.uType = win::STRRET_CSTR;
  const win::DWORD flags = win::SHGDN_INFOLDER | win::SHGDN_FOREDITING;
  if (win::FAILED(folder->GetDisplayNameOf(data->RelativeList(), flags, &name)) ||
      win::FAILED(win::StrRetToBufA(&name, data->RelativeList(), buffer, sizeof buffer)))
    return node->Text();
  return AnsiString(buffer);
}

void TRzShellTree::RenameEdited(TTreeNode* node, AnsiString& text) {
  const AnsiString before = node->Text();
  text = Trimmed(text);
  if (OnEdited) OnEdited(this, node, text);
  TRzShellTreeData* data = DataOf(node);
  TRzShellTreeData* parentData = data == nullptr ? nullptr : data->Parent();
  win::IShellFolder* folder = parentData == nullptr ? nullptr : parentData->Folder();
  if (folder == nullptr) {
    text = before;
    return;
  }
  std::u16string wide;
  if (std::optional<std::string> utf8 = win::AnsiToUtf8(text)) {
    const QString q = QString::fromStdString(*utf8);
    wide.assign(reinterpret_cast<const char16_t*>(q.utf16()), std::size_t(q.size()));
  }
  if (wide.size() > kMaxRenameLength) wide.resize(kMaxRenameLength);
  {
    Hourglass wait;
    skipNextChangeSignal_ = true;
    RaiseChangeSuppress();
    win::LPITEMIDLIST renamed = nullptr;
    const win::HRESULT hr = folder->SetNameOf(ShellOwner(), data->RelativeList(), wide.c_str(),
                                              win::SHGDN_INFOLDER, &renamed);
    const OwnedList newItem(renamed);
    if (win::SUCCEEDED(hr)) {
      if (newItem != nullptr) {
        DropDescendantCaches(node);
        data->ReplaceRelativeList(newItem.get());
      }
      text = ShellDisplayName(folder, data->RelativeList());
      if (text.empty()) text = before;
      node->SetText(text);
      // The locator follows the selection, which may sit in the renamed subtree.
      TTreeNode* selected = Selected();
      if (selected != nullptr && IsWithin(selected, node)) {
        if (TRzShellTreeData* sel = DataOf(selected))
          selectedFolder_.SetIdList(sel->AbsoluteList());
      }
      SortChildren(node->Parent());
    } else {
      text = before;
      skipNextChangeSignal_ = false;  // nothing changed, so no signal of ours will come
    }
    LowerChangeSuppress();
  }
  RunOwedResync();
}

void TRzShellTree::EditingEnded() {
  RunOwedResync();
}

// --- Verbs and the context menu ---------------------------------------------------------------

win::HRESULT TRzShellTree::ContextMenuOf(TTreeNode* node, win::IContextMenu** menu) {
  *menu = nullptr;
  TRzShellTreeData* data = DataOf(node);
  if (data == nullptr || data->Parent() == nullptr) return win::E_INVALIDARG;
  win::IShellFolder* folder = data->Parent()->Folder();
  if (folder == nullptr) return win::E_FAIL;
  win::LPCITEMIDLIST item = data->RelativeList();
  void* object = nullptr;
  const win::HRESULT hr =
      folder->GetUIObjectOf(ShellOwner(), 1, &item, win::IID_IContextMenu, nullptr, &object);
  if (win::SUCCEEDED(hr)) *menu = static_cast<win::IContextMenu*>(object);
  return *menu == nullptr && win::SUCCEEDED(hr) ? win::E_FAIL : hr;
}

bool TRzShellTree::InvokeVerb(TTreeNode* node, const char* verb, bool shift) {
  TRzShellTreeData* data = DataOf(node);
  if (verb == nullptr || data == nullptr || data->Parent() == nullptr) return false;
  win::IContextMenu* raw = nullptr;
  if (const win::HRESULT hr = ContextMenuOf(node, &raw); win::FAILED(hr))
    throw EOSError(SysErrorMessage(win::DWORD(hr)), win::DWORD(hr));
  const HeldMenu handler(raw);
  bool invoked = false;
  {
    const OwnedMenu menu(win::CreatePopupMenu());
    if (menu == nullptr) return false;
    handler->QueryContextMenu(menu.get(), 0, kFirstMenuCommand, kLastMenuCommand, win::CMF_EXPLORE);
    const int count = win::GetMenuItemCount(menu.get());
    for (int i = 0; i < count && !invoked; ++i) {
      const win::UINT id = win::GetMenuItemID(menu.get(), i);
      if (id == win::UINT(-1) || id < kFirstMenuCommand) continue;
      char name[win::MAX_PATH + 1] = {};
      if (win::FAILED(handler->GetCommandString(id - kFirstMenuCommand, win::GCS_VERBA, nullptr,
                                                name, win::MAX_PATH)))
        continue;
      if (!SameVerb(name, verb)) continue;
      win::CMINVOKECOMMANDINFO info;
      info.hwnd = ShellOwner();
      info.lpVerb = win::MakeIntVerb(id - kFirstMenuCommand);
      info.nShow = win::SW_SHOWNORMAL;
      if (shift) info.fMask |= win::CMIC_MASK_SHIFT_DOWN;
      handler->InvokeCommand(&info);  // the shell has told the user of a failure
      invoked = true;
    }
  }
  Resync();
  return invoked;
}

bool TRzShellTree::ShowShellMenu(TTreeNode* node, win::POINT screenPos) {
  TRzShellTreeData* data = DataOf(node);
  if (data == nullptr || data->Parent() == nullptr || win::ILIsEmpty(data->AbsoluteList()))
    return false;
  win::IContextMenu* raw = nullptr;
  if (win::FAILED(ContextMenuOf(node, &raw))) return false;
  const HeldMenu handler(raw);
  const OwnedMenu menu(win::CreatePopupMenu());
  if (menu == nullptr) return false;
  win::UINT flags = win::CMF_EXPLORE;
  if (!ReadOnly()) flags |= win::CMF_CANRENAME;
  if (win::FAILED(
          handler->QueryContextMenu(menu.get(), 0, kFirstMenuCommand, kLastMenuCommand, flags)))
    return false;
  if (win::GetMenuItemCount(menu.get()) <= 0) return false;

  // The handler's extended kinds take the menu messages while the menu is open.
  void* object = nullptr;
  const HeldMenu handler3(win::SUCCEEDED(handler->QueryInterface(win::IID_IContextMenu3, &object))
                              ? static_cast<win::IContextMenu3*>(object)
                              : nullptr);
  object = nullptr;
  const HeldMenu handler2(win::SUCCEEDED(handler->QueryInterface(win::IID_IContextMenu2, &object))
                              ? static_cast<win::IContextMenu2*>(object)
                              : nullptr);
  win::UINT chosen = 0;
  {
    struct OpenMenu {
      TRzShellTree& tree;
      win::IContextMenu* saved[3];
      bool savedActive;
      OpenMenu(TRzShellTree& t, win::IContextMenu* h, win::IContextMenu* h2, win::IContextMenu* h3)
          : tree(t),
            saved{t.menuHandler_, t.menuHandler2_, t.menuHandler3_},
            savedActive(t.operationActive_) {
        tree.menuHandler_ = h;
        tree.menuHandler2_ = static_cast<win::IContextMenu2*>(h2);
        tree.menuHandler3_ = static_cast<win::IContextMenu3*>(h3);
        tree.operationActive_ = true;
      }
      ~OpenMenu() {
        tree.menuHandler_ = saved[0];
        tree.menuHandler2_ = static_cast<win::IContextMenu2*>(saved[1]);
        tree.menuHandler3_ = static_cast<win::IContextMenu3*>(saved[2]);
        tree.operationActive_ = savedActive;
      }
    } open(*this, handler.get(), handler2.get(), handler3.get());
    chosen = win::UINT(win::TrackPopupMenu(menu.get(), win::TPM_RETURNCMD | win::TPM_RIGHTBUTTON,
                                           screenPos.x, screenPos.y, 0, Handle(), nullptr));
  }

  if (chosen == kFirstMenuCommand + win::kCmdRename) {
    StartRename(node);
    return true;
  }
  if (chosen < kFirstMenuCommand) {
    RunOwedResync();
    return true;
  }
  win::CMINVOKECOMMANDINFO info;
  info.hwnd = ShellOwner();
  info.lpVerb = win::MakeIntVerb(chosen - kFirstMenuCommand);
  info.nShow = win::SW_SHOWNORMAL;
  if (QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier)
    info.fMask |= win::CMIC_MASK_SHIFT_DOWN;
  handler->InvokeCommand(&info);
  resyncOwed_ = false;
  Resync();
  return true;
}

bool TRzShellTree::ShellMenuMessage(win::UINT message, win::WPARAM wParam, win::LPARAM lParam,
                                    win::LRESULT* result) {
  if (menuHandler_ == nullptr) return false;
  *result = 0;
  switch (message) {
    case win::WM_INITMENUPOPUP:
    case win::WM_MEASUREITEM:
    case win::WM_DRAWITEM:
      if (menuHandler3_ != nullptr) {
        menuHandler3_->HandleMenuMsg2(message, wParam, lParam, result);
        return true;
      }
      if (menuHandler2_ != nullptr) {
        menuHandler2_->HandleMenuMsg(message, wParam, lParam);
        if (message != win::WM_INITMENUPOPUP) *result = win::TRUE;
        return true;
      }
      return false;
    case win::WM_MENUCHAR:  // only the newest kind can answer it
      if (menuHandler3_ == nullptr) return false;
      menuHandler3_->HandleMenuMsg2(message, wParam, lParam, result);
      return true;
    case win::WM_MENUSELECT: {
      const win::WORD flags = win::HIWORD(wParam);
      const win::UINT id = win::LOWORD(wParam);
      char help[win::MAX_PATH + 1] = {};
      const bool command = !(flags == 0xFFFF && lParam == 0) &&
                           (flags & (win::MF_POPUP | win::MF_SEPARATOR)) == 0 &&
                           id >= kFirstMenuCommand && id <= kLastMenuCommand;
      if (!command ||
          win::FAILED(menuHandler_->GetCommandString(id - kFirstMenuCommand, win::GCS_HELPTEXTA,
                                                     nullptr, help, win::MAX_PATH)))
        help[0] = 0;
      popupHint_ = help;
      if (OnPopupHint) OnPopupHint(this);
      return true;
    }
    default:
      return false;
  }
}

bool TRzShellTree::ContextPopup(win::POINT screenPos) {
  if (!HasOption(TRzShellTreeOption::stoContextMenus)) return TTreeView::ContextPopup(screenPos);
  TTreeNode* node = NodeAt(ScreenToClient(screenPos));
  if (node == nullptr) node = Selected();  // empty space: the selected node, left selected
  TRzShellTreeData* data = DataOf(node);
  if (data == nullptr || data->Parent() == nullptr) return TTreeView::ContextPopup(screenPos);
  ShowShellMenu(node, screenPos);
  return true;
}

void TRzShellTree::KeyDown(std::uint16_t& key, TShiftState shift) {
  const bool shiftOnly = shift == TShiftState{TShiftStateItem::ssShift};
  if ((key == VK_APPS && !shift.Contains(TShiftStateItem::ssShift)) ||
      (key == VK_F10 && shiftOnly)) {
    TTreeNode* node = Selected();
    if (HasOption(TRzShellTreeOption::stoContextMenus) && DataOf(node) != nullptr &&
        DataOf(node)->Parent() != nullptr) {
      const win::RECT r = NodeRect(node, true);
      ShowShellMenu(node, ClientToScreen({(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
      key = 0;
      return;
    }
  }
  TTreeView::KeyDown(key, shift);
  if (key == 0 || !HasOption(TRzShellTreeOption::stoDefaultKeyHandling)) return;
  if (HandleAllocated() && IsEditing()) return;
  const unsigned pressed = ShortCutOf(key, shift);
  const KeyShortcut* match = nullptr;
  for (const KeyShortcut& s : Shortcuts()) {
    const bool deleteWithShift =
        s.command == KeyCommand::kDelete && pressed == (s.shortcut | kScShift);
    if (s.shortcut == pressed || deleteWithShift) match = &s;
  }
  if (match == nullptr) return;
  key = 0;
  TTreeNode* node = Selected();
  switch (match->command) {
    case KeyCommand::kSelectAll:
      break;
    case KeyCommand::kDelete:
      if (InvokeVerb(node, "delete", shift.Contains(TShiftStateItem::ssShift))) Resync();
      break;
    case KeyCommand::kCopy:
      InvokeVerb(node, "copy");
      break;
    case KeyCommand::kCut:
      InvokeVerb(node, "cut");
      break;
    case KeyCommand::kPaste:
      if (InvokeVerb(node, "paste")) Resync();
      break;
    case KeyCommand::kRefresh:
      Resync();
      break;
    case KeyCommand::kRename:
      StartRename(node);
      break;
  }
}
