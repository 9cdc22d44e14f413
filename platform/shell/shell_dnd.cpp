// The shell's data objects of items and the folders' drop handlers.
#include "platform/shell/shell_dnd.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

#include "platform/shell/shell_internal.h"
#include "platform/shell/shell_ops.h"
#include "platform/shell/strings.h"
#include "platform/user/clipboard.h"
#include "platform/user/menu.h"
#include "platform/user/user.h"

namespace win {
namespace {

using namespace shell;
namespace fs = std::filesystem;

constexpr DWORD kAllEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;

// The bytes of the list starting at `at` (its terminator included), or nullopt when it runs
// past the end of the block or holds an item too short to be one.
std::optional<std::size_t> ListBytes(const BYTE* data, std::size_t size, std::size_t at) {
  std::size_t p = at;
  while (true) {
    if (size - p < 2) return std::nullopt;
    const std::size_t cb = std::size_t(data[p]) | (std::size_t(data[p + 1]) << 8);
    if (cb == 0) return p + 2 - at;
    if (cb < 2 || cb > size - p) return std::nullopt;
    p += cb;
  }
}

UINT ReadUint(const BYTE* at) {
  UINT value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

// The host path with its folders' links resolved; the last component is kept as it is, so a
// link stays the link and not what it points at.
std::optional<fs::path> Resolved(const std::string& host) {
  std::error_code ec;
  fs::path folder = fs::weakly_canonical(DirName(host), ec);
  if (ec) return std::nullopt;
  const std::string name = BaseName(host);
  return name.empty() ? folder : folder / name;
}

// The folder a drop goes into, links and all resolved: a drop onto a link to a folder goes
// into the folder.
std::optional<fs::path> ResolvedFolder(const std::string& host) {
  std::error_code ec;
  fs::path folder = fs::weakly_canonical(host, ec);
  if (ec) return std::nullopt;
  return folder;
}

bool InsideOrSame(const fs::path& inner, const fs::path& outer) {
  auto in = inner.begin();
  for (auto out = outer.begin(); out != outer.end(); ++out, ++in) {
    if (out->empty()) continue;  // the trailing empty component of "/a/"
    if (in == inner.end() || *in != *out) return false;
  }
  return true;
}

bool IsRealFolder(const std::string& host) {
  struct stat st {};
  return lstat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

char DriveLetter(const std::string& winPath) {
  if (winPath.size() < 2 || winPath[1] != ':') return 0;
  return char(std::toupper(static_cast<unsigned char>(winPath[0])));
}

// One file or folder being dropped.
struct Source {
  std::string host;
  std::string winPath;  // empty when no drive covers it
};

// A drive's root ("C:\"): it can be linked to, but neither moved nor copied whole into a
// folder.
bool IsDriveRoot(const Source& s) {
  return s.winPath.size() == 3 && s.winPath[1] == ':' && s.winPath[2] == '\\';
}

// The copy, move and link attributes every item of the object's list array has (the effect
// bits are the attribute bits); all three when there is no list array or it cannot be read.
DWORD ItemEffects(IDataObject* data) {
  ShellIdList lists;
  if (!lists.Read(data) || lists.Count() == 0) return kAllEffects;
  std::vector<LPCITEMIDLIST> items;
  for (std::size_t i = 0; i < lists.Count(); ++i) {
    if (ILGetCount(lists.Item(i)) != 1) return kAllEffects;
    items.push_back(lists.Item(i));
  }
  IShellFolder* folder = nullptr;
  if (FAILED(SHGetDesktopFolder(&folder))) return kAllEffects;
  if (!ILIsEmpty(lists.Folder())) {
    IShellFolder* desktop = folder;
    folder = nullptr;
    const HRESULT hr = desktop->BindToObject(lists.Folder(), nullptr, &folder);
    desktop->Release();
    if (FAILED(hr)) return kAllEffects;
  }
  ULONG attributes = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK;
  const HRESULT hr = folder->GetAttributesOf(UINT(items.size()), items.data(), &attributes);
  folder->Release();
  return SUCCEEDED(hr) ? DWORD(attributes) & kAllEffects : kAllEffects;
}

// What a data object names as files: CF_HDROP's paths, else the list array's items that are
// file-system items. nullopt when it names nothing, or anything that is no file here.
std::optional<std::vector<Source>> DroppedFiles(IDataObject* data) {
  std::vector<Source> out;
  FORMATETC asked;
  asked.cfFormat = CF_HDROP;
  STGMEDIUM medium;
  if (SUCCEEDED(data->GetData(&asked, &medium))) {
    const std::vector<std::string> paths = FileDropPaths(medium.hGlobal);
    ReleaseStgMedium(&medium);
    for (const std::string& path : paths) {
      const std::optional<std::string> host = HostPathFromWindows(path);
      if (!host || host->empty()) return std::nullopt;
      out.push_back({*host, path});
    }
    if (!out.empty()) return out;
  }
  ShellIdList lists;
  if (!lists.Read(data) || lists.Count() == 0) return std::nullopt;
  Location folder;
  if (FAILED(DescendList(DesktopLocation(), lists.Folder(), &folder))) return std::nullopt;
  for (std::size_t i = 0; i < lists.Count(); ++i) {
    if (ILIsEmpty(lists.Item(i))) return std::nullopt;  // the folder itself
    Location item;
    if (FAILED(DescendList(folder, lists.Item(i), &item))) return std::nullopt;
    if (item.type != Location::kFileSystem) return std::nullopt;  // a virtual item
    out.push_back({item.host, item.winPath});
  }
  return out;
}

// Where a handler drops: a folder on disk, or the trash behind 回收站.
struct DropFolder {
  Location where;
  bool trash = false;
};

// What a drop of a data object onto a folder can do.
struct DropPlan {
  std::vector<Source> sources;  // empty: nothing usable
  bool trash = false;           // the trash takes things away whatever the keys
  bool sameDrive = false;
  DWORD capable = kAllEffects;      // what the sources let be done (a drive is only linked)
  DWORD refused = DROPEFFECT_NONE;  // what makes no sense here

  DWORD Possible(DWORD allowed) const {
    return sources.empty() ? DROPEFFECT_NONE : allowed & capable & ~refused;
  }
  // The effect the keys ask for among what the sources allow; none when that is refused
  // here rather than another one, so a careless drag never does what was not asked for.
  DWORD Effect(DWORD keyState, DWORD allowed) const {
    if (sources.empty()) return DROPEFFECT_NONE;
    if (trash) return allowed & capable & DROPEFFECT_MOVE;
    return DropEffectFromKeys(keyState, allowed & capable, sameDrive) & ~refused;
  }
};

DropPlan PlanDrop(IDataObject* data, const DropFolder& target) {
  DropPlan plan;
  std::optional<std::vector<Source>> sources = DroppedFiles(data);
  if (!sources) return plan;
  plan.sources = std::move(*sources);
  plan.capable = ItemEffects(data);
  for (const Source& s : plan.sources) {
    if (IsDriveRoot(s)) plan.capable &= DROPEFFECT_LINK;
  }
  if (target.trash) {
    plan.trash = true;
    plan.capable &= DROPEFFECT_MOVE;
    return plan;
  }
  const char letter = DriveLetter(target.where.winPath);
  plan.sameDrive = letter != 0;
  const std::optional<fs::path> folder = ResolvedFolder(target.where.host);
  bool allThere = true;
  for (const Source& s : plan.sources) {
    if (DriveLetter(s.winPath) != letter) plan.sameDrive = false;
    const std::optional<fs::path> source = Resolved(s.host);
    if (!folder || !source) {
      allThere = false;
      continue;
    }
    // A folder onto itself or into its own subfolder: nothing can be done.
    if (IsRealFolder(s.host) && InsideOrSame(*folder, *source)) {
      plan.refused = kAllEffects;
      return plan;
    }
    if (source->parent_path() != *folder) allThere = false;
  }
  if (allThere) plan.refused |= DROPEFFECT_MOVE;  // moving them where they are
  return plan;
}

// What a shortcut is named after (a host name): the file's name, 我的文档 for the documents
// folder, or for a drive its caption without the colon names cannot hold ("本地磁盘 (C)").
std::string LinkName(const Source& s) {
  if (const std::optional<fs::path> documents = Resolved(DocumentsHostFolder());
      documents && Resolved(s.host) == documents)
    return strings::kDocumentsName;
  const char letter = DriveLetter(s.winPath);
  if (letter == 0 || !IsDriveRoot(s)) return BaseName(s.host);
  std::string caption;
  IShellFolder* desktop = nullptr;
  LPITEMIDLIST drive = ILCreateFromPathA(std::string{letter, ':', '\\'}.c_str());
  if (drive != nullptr && SUCCEEDED(SHGetDesktopFolder(&desktop))) {
    STRRET name{};
    name.uType = STRRET_CSTR;
    char ansi[MAX_PATH];
    if (SUCCEEDED(desktop->GetDisplayNameOf(drive, SHGDN_NORMAL, &name)) &&
        SUCCEEDED(StrRetToBufA(&name, drive, ansi, sizeof ansi))) {
      caption = AnsiToUtf8(ansi).value_or(std::string());
    }
    desktop->Release();
  }
  ILFree(drive);
  std::erase(caption, ':');
  return caption.empty() ? std::string(1, letter) : caption;
}

// A symbolic link in `folder` to `source`, named "快捷方式 到 name" (numbered when taken).
DWORD LinkInto(const Source& source, const std::string& folder) {
  struct stat st {};
  if (lstat(source.host.c_str(), &st) != 0) return ErrorFromErrno(errno);
  struct stat target {};
  if (stat(folder.c_str(), &target) != 0) return ErrorFromErrno(errno);
  if (!S_ISDIR(target.st_mode)) return ERROR_DIRECTORY;
  const std::string name = LinkName(source);
  for (int n = 1; n < 1000; ++n) {
    const std::string candidate =
        (n == 1 ? std::string(strings::kLinkPrefix) : Compose(strings::kLinkNumberedPrefix, n)) +
        name;
    if (symlink(source.host.c_str(), JoinHost(folder, candidate).c_str()) == 0)
      return ERROR_SUCCESS;
    if (errno != EEXIST) return ErrorFromErrno(errno);
  }
  return ERROR_FILE_EXISTS;
}

struct DropMenuEntry {
  DWORD effect;
  const char* text;
};
constexpr DropMenuEntry kDropMenu[] = {
    {DROPEFFECT_MOVE, strings::kDropMenuMove},
    {DROPEFFECT_COPY, strings::kDropMenuCopy},
    {DROPEFFECT_LINK, strings::kDropMenuLink},
};
constexpr UINT kDropMenuCancel = 0x100;

class DropHandler final : public IDropTarget {
 public:
  DropHandler(HWND owner, DropFolder target) : owner_(owner), target_(std::move(target)) {}
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT DragEnter(IDataObject* data, DWORD keyState, POINTL, DWORD* effect) override {
    Forget();
    if (effect == nullptr) return E_INVALIDARG;
    const DWORD allowed = *effect;
    *effect = DROPEFFECT_NONE;
    if (data == nullptr) return E_INVALIDARG;
    plan_ = PlanDrop(data, target_);
    entered_ = true;
    *effect = plan_.Effect(keyState, allowed);
    return S_OK;
  }

  HRESULT DragOver(DWORD keyState, POINTL, DWORD* effect) override {
    if (effect == nullptr) return E_INVALIDARG;
    // Without a DragEnter there is nothing to drop.
    *effect = entered_ ? plan_.Effect(keyState, *effect) : DROPEFFECT_NONE;
    return S_OK;
  }

  HRESULT DragLeave() override {
    Forget();
    return S_OK;
  }

  // Reads the data again rather than trusting DragEnter's reading: a drop may come without
  // one, and the files may have changed meanwhile.
  HRESULT Drop(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect) override {
    Forget();
    if (effect == nullptr) return E_INVALIDARG;
    const DWORD allowed = *effect;
    *effect = DROPEFFECT_NONE;
    if (data == nullptr) return E_INVALIDARG;
    AddRef();  // the menu and the message boxes are modal: keep this alive through them
    const DropPlan plan = PlanDrop(data, target_);
    DWORD chosen = plan.Effect(keyState, allowed);
    if ((keyState & MK_RBUTTON) != 0) chosen = AskDropMenu(plan, keyState, allowed, pt);
    const HRESULT hr = chosen == DROPEFFECT_NONE ? S_OK : Perform(plan, chosen, effect);
    Release();
    return hr;
  }

 private:
  ~DropHandler() = default;

  void Forget() {
    plan_ = DropPlan{};
    entered_ = false;
  }

  // The shell's drop menu after a right drag: the chosen effect, none when it was cancelled.
  DWORD AskDropMenu(const DropPlan& plan, DWORD keyState, DWORD allowed, POINTL pt) const {
    const DWORD possible = plan.Possible(allowed);
    if (possible == DROPEFFECT_NONE) return DROPEFFECT_NONE;
    const DWORD preferred = plan.Effect(keyState, allowed);
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) return DROPEFFECT_NONE;
    for (const DropMenuEntry& entry : kDropMenu) {
      UINT flags = MF_STRING;
      if ((possible & entry.effect) == 0) flags |= MF_GRAYED;
      if (entry.effect == preferred) flags |= MF_DEFAULT;
      AppendMenuA(menu, flags, entry.effect, Ansi(entry.text).c_str());
    }
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, kDropMenuCancel, Ansi(strings::kDropMenuCancel).c_str());
    const UINT_PTR chosen =
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, pt.x, pt.y, 0, owner_, nullptr);
    DestroyMenu(menu);
    for (const DropMenuEntry& entry : kDropMenu) {
      if (chosen == entry.effect && (possible & entry.effect) != 0) return entry.effect;
    }
    return DROPEFFECT_NONE;
  }

  // Does it for every source, telling each failure once; the effect answered is the one
  // performed, none when anything failed.
  HRESULT Perform(const DropPlan& plan, DWORD chosen, DWORD* effect) const {
    HRESULT result = S_OK;
    for (const Source& s : plan.sources) {
      DWORD code = ERROR_SUCCESS;
      const char* text = nullptr;
      const char* caption = nullptr;
      if (target_.trash) {
        code = MoveToTrash(s.host);
        text = strings::kDeleteFailed;
        caption = strings::kDeleteErrorCaption;
      } else if (chosen == DROPEFFECT_LINK) {
        code = LinkInto(s, target_.where.host);
        text = strings::kLinkFailed;
        caption = strings::kLinkErrorCaption;
      } else {
        const bool move = chosen == DROPEFFECT_MOVE;
        code = CopyOrMoveInto(s.host, target_.where.host, move, nullptr);
        text = move ? strings::kMoveFailed : strings::kCopyFailed;
        caption = move ? strings::kMoveErrorCaption : strings::kCopyErrorCaption;
      }
      if (code == ERROR_SUCCESS) continue;
      std::string name = BaseName(s.host);
      if (name.empty()) name = AnsiToUtf8(s.winPath).value_or(s.host);
      Tell(owner_, Compose(text, name.c_str(), ErrorText(code).c_str()), caption,
           MB_OK | MB_ICONERROR);
      if (SUCCEEDED(result)) result = HRESULT_FROM_WIN32(code);
    }
    *effect = SUCCEEDED(result) ? chosen : DROPEFFECT_NONE;
    return result;
  }

  ULONG refs_ = 1;
  HWND owner_;
  DropFolder target_;
  DropPlan plan_;
  bool entered_ = false;
};

HRESULT NewDropHandler(HWND owner, DropFolder target, void** handler) {
  *handler = static_cast<IDropTarget*>(new DropHandler(owner, std::move(target)));
  return S_OK;
}

}  // namespace

UINT ShellIdListFormat() {
  return RegisterClipboardFormatA(CFSTR_SHELLIDLIST);
}

HGLOBAL CreateShellIdListData(LPCITEMIDLIST folder, const std::vector<LPCITEMIDLIST>& items) {
  if (folder == nullptr) return nullptr;
  const std::size_t header = sizeof(UINT) * (items.size() + 2);
  std::size_t total = header + ILGetSize(folder);
  for (LPCITEMIDLIST item : items) {
    if (item == nullptr) return nullptr;
    total += ILGetSize(item);
  }
  if (total > 0xFFFFFFFFu) return nullptr;
  HGLOBAL block = GlobalAlloc(GHND, total);
  if (block == nullptr) return nullptr;
  auto* bytes = static_cast<BYTE*>(GlobalLock(block));
  const UINT count = UINT(items.size());
  std::memcpy(bytes, &count, sizeof count);
  std::size_t at = header;
  auto put = [&](std::size_t slot, LPCITEMIDLIST list) {
    const UINT offset = UINT(at);
    std::memcpy(bytes + sizeof(UINT) * (slot + 1), &offset, sizeof offset);
    std::memcpy(bytes + at, list, ILGetSize(list));
    at += ILGetSize(list);
  };
  put(0, folder);
  for (std::size_t i = 0; i < items.size(); ++i) put(i + 1, items[i]);
  GlobalUnlock(block);
  return block;
}

bool ShellIdList::Read(const void* data, std::size_t size) {
  folder_.clear();
  items_.clear();
  if (data == nullptr || size < sizeof(UINT)) return false;
  const auto* bytes = static_cast<const BYTE*>(data);
  const std::size_t slots = size / sizeof(UINT);
  const UINT count = ReadUint(bytes);
  if (slots < 2 || count > slots - 2) return false;
  // The lists of a true block lie side by side in it, so together they fit; offsets that
  // point many times at one long list would otherwise have it copied (and walked) each time.
  std::size_t total = 0;
  std::vector<std::string> lists;
  lists.reserve(std::size_t(count) + 1);
  for (std::size_t i = 0; i <= count; ++i) {
    const UINT offset = ReadUint(bytes + sizeof(UINT) * (i + 1));
    if (offset >= size) return false;
    const std::optional<std::size_t> length = ListBytes(bytes, size, offset);
    if (!length || *length > size - total) return false;
    total += *length;
    lists.emplace_back(reinterpret_cast<const char*>(bytes + offset), *length);
  }
  folder_ = std::move(lists.front());
  items_.assign(std::make_move_iterator(lists.begin() + 1), std::make_move_iterator(lists.end()));
  return true;
}

bool ShellIdList::Read(IDataObject* data) {
  std::string bytes;
  if (!ReadDataBytes(data, ShellIdListFormat(), &bytes)) {
    folder_.clear();
    items_.clear();
    return false;
  }
  return Read(bytes.data(), bytes.size());
}

LPITEMIDLIST ShellIdList::AbsoluteItem(std::size_t index) const {
  if (index >= items_.size()) return nullptr;
  return ILCombine(Folder(), Item(index));
}

DWORD DropEffectFromKeys(DWORD keyState, DWORD allowed, bool sameDrive) {
  allowed &= kAllEffects;
  const bool control = (keyState & MK_CONTROL) != 0;
  const bool shift = (keyState & MK_SHIFT) != 0;
  if ((keyState & MK_ALT) != 0 || (control && shift)) return allowed & DROPEFFECT_LINK;
  if (control) return allowed & DROPEFFECT_COPY;
  if (shift) return allowed & DROPEFFECT_MOVE;
  for (DWORD e : {sameDrive ? DROPEFFECT_MOVE : DROPEFFECT_COPY, DROPEFFECT_COPY, DROPEFFECT_MOVE,
                  DROPEFFECT_LINK}) {
    if ((allowed & e) != 0) return e;
  }
  return DROPEFFECT_NONE;
}

namespace shell {

HRESULT CreateItemDataObject(LPCITEMIDLIST folderList, const Location& folder, UINT count,
                             LPCITEMIDLIST* items, void** object) {
  *object = nullptr;
  if (folderList == nullptr || count == 0 || items == nullptr) return E_INVALIDARG;
  std::vector<LPCITEMIDLIST> lists;
  std::vector<std::string> paths;
  bool allPaths = true;
  for (UINT i = 0; i < count; ++i) {
    const std::optional<Item> item = ParseItem(items[i]);
    if (!item || !ILIsEmpty(ILGetNext(items[i]))) return E_INVALIDARG;
    Location at;
    if (HRESULT hr = Descend(folder, *item, &at); FAILED(hr)) return hr;
    if (at.type == Location::kFileSystem && !at.winPath.empty()) {
      paths.push_back(at.winPath);
    } else {
      allPaths = false;
    }
    lists.push_back(items[i]);
  }
  IDataObject* data = nullptr;
  if (HRESULT hr = CreateDataObject(&data); FAILED(hr)) return hr;
  auto offer = [data](UINT format, HGLOBAL block) {
    if (block == nullptr) return E_OUTOFMEMORY;
    FORMATETC as;
    as.cfFormat = CLIPFORMAT(format);
    STGMEDIUM medium;
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = block;
    const HRESULT hr = data->SetData(&as, &medium, TRUE);
    if (FAILED(hr)) GlobalFree(block);
    return hr;
  };
  HRESULT hr = offer(ShellIdListFormat(), CreateShellIdListData(folderList, lists));
  if (SUCCEEDED(hr) && allPaths) hr = offer(CF_HDROP, CreateFileDropData(paths));
  if (FAILED(hr)) {
    data->Release();
    return hr;
  }
  *object = data;
  return S_OK;
}

HRESULT CreateDropHandler(HWND owner, const Location& folder, void** handler) {
  *handler = nullptr;
  if (folder.type != Location::kFileSystem && folder.type != Location::kDesktop)
    return E_NOINTERFACE;
  if (!folder.folder) return E_NOINTERFACE;
  return NewDropHandler(owner, DropFolder{folder, false}, handler);
}

HRESULT CreateItemDropHandler(HWND owner, const Location& parent, const Item& item,
                              void** handler) {
  *handler = nullptr;
  if (item.kind == kKindSpecial && item.tag == kRecycleBin) {
    if (parent.type != Location::kDesktop) return E_INVALIDARG;
    return NewDropHandler(owner, DropFolder{Location{}, true}, handler);
  }
  Location target;
  if (HRESULT hr = Descend(parent, item, &target); FAILED(hr)) return hr;
  return CreateDropHandler(owner, target, handler);
}

}  // namespace shell
}  // namespace win
