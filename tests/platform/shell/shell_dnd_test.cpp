// The shell's data objects of items and its drop handlers, on drive tables of the test's own:
// the list array read back and its bounds, the effect of the keys, drops that copy, move,
// link and trash, the refusals, the right-drag menu and the failures told in boxes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/kernel/kernel.h"
#include "platform/shell/shell_dnd.h"
#include "platform/shell/shell_folder.h"
#include "platform/shell/strings.h"
#include "platform/user/menu.h"
#include "platform/user/ole.h"
#include "platform/user/user.h"
#include "tests/support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using win::DWORD;

std::string U(const std::string& ansi) {
  return win::AnsiToUtf8(ansi).value();
}
std::string A(const std::string& utf8) {
  return win::Utf8ToAnsi(utf8).value();
}

// GIO reads XDG_DATA_HOME once per process: one trash for the whole suite.
const test_support::ScratchFolder& DataHome() {
  static test_support::ScratchFolder* home = [] {
    auto* folder = new test_support::ScratchFolder("suotu-dnd-trash");
    setenv("XDG_DATA_HOME", folder->Host().c_str(), 1);
    return folder;
  }();
  return *home;
}

const win::HWND kOwner = reinterpret_cast<win::HWND>(std::uintptr_t{0x10});
constexpr DWORD kAll = win::DROPEFFECT_COPY | win::DROPEFFECT_MOVE | win::DROPEFFECT_LINK;

struct Box {
  win::HWND owner;
  std::string text;     // UTF-8
  std::string caption;  // UTF-8
};

struct MenuEntry {
  std::string text;  // UTF-8; "-" for a separator
  win::UINT id;
  bool grayed;
  bool isDefault;
  bool operator==(const MenuEntry&) const = default;
};

// The outcome of a drag over a handler ending in a drop.
struct Dropped {
  DWORD entered;
  DWORD over;
  DWORD dropped;
  win::HRESULT hr;
};

// C: is scratch/c (desktop C:\desk, documents C:\home), D: is scratch/d.
class ShellDropTest : public ::testing::Test {
 protected:
  ShellDropTest() : scratch("suotu-dnd", fs::path(DataHome().Host()).parent_path()) {}
  void SetUp() override {
    for (const char* dir : {"c/desk", "c/home", "c/Photos/2006", "c/Other", "c/Target", "d/Far"})
      fs::create_directories(scratch.HostOf(dir));
    scratch.Write("c/Photos/a.jpg", "12345");
    scratch.Write("c/Photos/2006/b.jpg", "678");
    scratch.Write("c/Other/x.txt", "x");
    scratch.Write("d/Far/f.txt", "far");
    win::SetDriveTable({{'C', scratch.HostOf("c"), win::DRIVE_FIXED},
                        {'D', scratch.HostOf("d"), win::DRIVE_FIXED}});
    win::SetShellFolderLocations(scratch.HostOf("c/desk"), scratch.HostOf("c/home"));
    previousBox_ = win::SetMessageBoxPresenter(
        [this](win::HWND owner, const std::string& text, const std::string& caption, win::UINT) {
          boxes.push_back({owner, U(text), U(caption)});
          return win::IDOK;
        });
    previousMenu_ = win::SetMenuTrackHost(
        [this](win::HMENU menu, win::UINT flags, int x, int y, win::HWND owner) -> win::UINT {
          menuFlags = flags;
          menuPoint = {x, y};
          menuOwner = owner;
          menuEntries.clear();
          for (int i = 0; i < win::GetMenuItemCount(menu); ++i) {
            const win::UINT state = win::GetMenuState(menu, win::UINT(i), win::MF_BYPOSITION);
            char text[64] = {};
            win::GetMenuStringA(menu, win::UINT(i), text, sizeof text, win::MF_BYPOSITION);
            menuEntries.push_back({(state & win::MF_SEPARATOR) ? "-" : U(text),
                                   win::GetMenuItemID(menu, i), (state & win::MF_GRAYED) != 0,
                                   (state & win::MF_DEFAULT) != 0});
          }
          ++menusShown;
          return menuAnswer;
        });
  }
  void TearDown() override {
    win::SetMenuTrackHost(previousMenu_);
    win::SetMessageBoxPresenter(previousBox_);
    win::SetShellFolderLocations("", "");
    win::SetDriveTable({});
  }

  // The folder of a Windows path (the desktop for "").
  static win::IShellFolder* Folder(const std::string& winPath) {
    win::IShellFolder* desktop = nullptr;
    EXPECT_EQ(win::SHGetDesktopFolder(&desktop), win::S_OK);
    if (winPath.empty()) return desktop;
    win::LPITEMIDLIST list = win::ILCreateFromPathA(winPath.c_str());
    EXPECT_NE(list, nullptr) << winPath;
    win::IShellFolder* folder = nullptr;
    EXPECT_EQ(desktop->BindToObject(list, nullptr, &folder), win::S_OK) << winPath;
    win::ILFree(list);
    desktop->Release();
    return folder;
  }
  // The relative list of `name` in a folder (the caller frees it).
  static win::LPITEMIDLIST Child(win::IShellFolder* folder, const std::string& name) {
    win::LPITEMIDLIST list = nullptr;
    const std::u16string wide = win::Utf8ToUtf16(name);
    EXPECT_EQ(folder->ParseDisplayName(nullptr, nullptr, wide.c_str(), nullptr, &list, nullptr),
              win::S_OK)
        << name;
    return list;
  }
  // The data object GetUIObjectOf gives for entries of a folder.
  static win::IDataObject* ItemsOf(const std::string& folderPath,
                                   const std::vector<std::string>& names) {
    win::IShellFolder* folder = Folder(folderPath);
    std::vector<win::LPITEMIDLIST> lists;
    for (const std::string& name : names) lists.push_back(Child(folder, name));
    std::vector<win::LPCITEMIDLIST> items(lists.begin(), lists.end());
    void* data = nullptr;
    EXPECT_EQ(folder->GetUIObjectOf(kOwner, win::UINT(items.size()), items.data(),
                                    win::IID_IDataObject, nullptr, &data),
              win::S_OK);
    for (win::LPITEMIDLIST list : lists) win::ILFree(list);
    folder->Release();
    return static_cast<win::IDataObject*>(data);
  }
  // A data object of another program: CF_HDROP only.
  static win::IDataObject* FilesOf(const std::vector<std::string>& winPaths) {
    win::IDataObject* data = nullptr;
    EXPECT_EQ(win::CreateDataObject(&data), win::S_OK);
    win::FORMATETC format;
    format.cfFormat = win::CF_HDROP;
    win::STGMEDIUM medium;
    medium.tymed = win::TYMED_HGLOBAL;
    medium.hGlobal = win::CreateFileDropData(winPaths);
    EXPECT_EQ(data->SetData(&format, &medium, win::TRUE), win::S_OK);
    return data;
  }
  // The drop handler of `name` in a folder, or the folder's own for an empty name.
  static win::IDropTarget* HandlerOf(const std::string& folderPath, const std::string& name,
                                     win::HWND owner = kOwner) {
    win::IShellFolder* folder = Folder(folderPath);
    void* handler = nullptr;
    if (name.empty()) {
      EXPECT_EQ(folder->CreateViewObject(owner, win::IID_IDropTarget, &handler), win::S_OK);
    } else {
      win::LPITEMIDLIST item = Child(folder, name);
      win::LPCITEMIDLIST items[] = {item};
      EXPECT_EQ(folder->GetUIObjectOf(owner, 1, items, win::IID_IDropTarget, nullptr, &handler),
                win::S_OK);
      win::ILFree(item);
    }
    folder->Release();
    return static_cast<win::IDropTarget*>(handler);
  }
  // Enter, over and drop with the same keys, as a drag that ends over the handler does.
  static Dropped Drag(win::IDropTarget* target, win::IDataObject* data, DWORD keys,
                      DWORD allowed = kAll) {
    Dropped out{allowed, allowed, allowed, win::S_OK};
    const win::POINTL pt{40, 50};
    EXPECT_EQ(target->DragEnter(data, keys, pt, &out.entered), win::S_OK);
    EXPECT_EQ(target->DragOver(keys, pt, &out.over), win::S_OK);
    out.hr = target->Drop(data, keys, pt, &out.dropped);
    return out;
  }
  // Drops the entries of a folder onto a handler; both released afterwards.
  Dropped DropItems(const std::string& from, const std::vector<std::string>& names,
                    win::IDropTarget* target, DWORD keys, DWORD allowed = kAll) {
    win::IDataObject* data = ItemsOf(from, names);
    const Dropped out = Drag(target, data, keys, allowed);
    data->Release();
    target->Release();
    return out;
  }

  test_support::ScratchFolder scratch;
  std::vector<Box> boxes;
  std::vector<MenuEntry> menuEntries;
  win::UINT menuFlags = 0;
  win::POINT menuPoint{};
  win::HWND menuOwner = nullptr;
  int menusShown = 0;
  win::UINT menuAnswer = 0;

 private:
  win::MessageBoxPresenter previousBox_;
  win::MenuTrackHost previousMenu_;
};

TEST_F(ShellDropTest, DataObjectOffersTheListArrayThenTheFilesAndReadsBackWithinBounds) {
  win::IDataObject* data = ItemsOf("C:\\", {"Photos", "Other"});
  ASSERT_NE(data, nullptr);
  std::vector<win::UINT> formats;
  ASSERT_EQ(data->EnumFormats(&formats), win::S_OK);
  EXPECT_EQ(formats, (std::vector<win::UINT>{win::ShellIdListFormat(), win::CF_HDROP}));

  win::ShellIdList lists;
  ASSERT_TRUE(lists.Read(data));
  ASSERT_EQ(lists.Count(), 2u);
  win::LPITEMIDLIST drive = win::ILCreateFromPathA("C:\\");
  EXPECT_TRUE(win::ILIsEqual(lists.Folder(), drive));
  win::ILFree(drive);
  for (std::size_t i = 0; i < 2; ++i) {
    win::LPITEMIDLIST absolute = lists.AbsoluteItem(i);
    char path[win::MAX_PATH];
    ASSERT_TRUE(win::SHGetPathFromIDListA(absolute, path));
    EXPECT_EQ(path, std::string(i == 0 ? "C:\\Photos" : "C:\\Other"));
    win::ILFree(absolute);
  }
  EXPECT_EQ(lists.AbsoluteItem(2), nullptr);
  std::string files;
  ASSERT_TRUE(win::ReadDataBytes(data, win::CF_HDROP, &files));
  win::HGLOBAL block = win::GlobalAlloc(win::GMEM_MOVEABLE, files.size());
  std::memcpy(win::GlobalLock(block), files.data(), files.size());
  win::GlobalUnlock(block);
  EXPECT_EQ(win::FileDropPaths(block), (std::vector<std::string>{"C:\\Photos", "C:\\Other"}));
  win::GlobalFree(block);

  // Forged blocks: whatever they claim, nothing is read outside them.
  std::string good;
  ASSERT_TRUE(win::ReadDataBytes(data, win::ShellIdListFormat(), &good));
  data->Release();
  for (std::size_t n = 0; n < good.size(); ++n)
    EXPECT_FALSE(lists.Read(good.data(), n)) << "cut to " << n << " bytes";
  EXPECT_EQ(lists.Count(), 0u) << "a failed read leaves nothing behind";
  auto putUint = [](std::string& bytes, std::size_t at, win::UINT value) {
    std::memcpy(bytes.data() + at, &value, sizeof value);
  };
  win::UINT folderAt = 0;
  std::memcpy(&folderAt, good.data() + 4, 4);
  const struct {
    const char* why;
    std::function<void(std::string&)> forge;
  } forged[] = {
      {"a count far past the block", [&](std::string& b) { putUint(b, 0, 0xFFFFFFFFu); }},
      {"a count one past its offsets", [&](std::string& b) { putUint(b, 0, 3); }},
      {"an offset at the end", [&](std::string& b) { putUint(b, 8, win::UINT(b.size())); }},
      {"an offset on the last byte",
       [&](std::string& b) { putUint(b, 8, win::UINT(b.size() - 1)); }},
      {"an item of one byte",
       [&](std::string& b) {
         b[folderAt] = 1;
         b[folderAt + 1] = 0;
       }},
      {"an item longer than the block", [&](std::string& b) { b[folderAt + 1] = char(0x7F); }},
      {"ten offsets at one list",
       [&](std::string& b) {
         const std::string list = b.substr(folderAt, 13);  // the folder's list, of C: itself
         b.assign(4 * 12, '\0');
         putUint(b, 0, 10);
         for (std::size_t i = 1; i <= 11; ++i) putUint(b, 4 * i, 4 * 12);
         b += list;
       }},
  };
  for (const auto& f : forged) {
    std::string bytes = good;
    f.forge(bytes);
    EXPECT_FALSE(lists.Read(bytes.data(), bytes.size())) << f.why;
  }
  EXPECT_FALSE(lists.Read(nullptr, 64));

  // The shell's own items have no path: the list array alone.
  win::IShellFolder* desktop = Folder("");
  win::LPITEMIDLIST computer = nullptr;
  ASSERT_EQ(win::SHGetSpecialFolderLocation(nullptr, win::CSIDL_DRIVES, &computer), win::S_OK);
  win::LPCITEMIDLIST items[] = {computer};
  void* virtualData = nullptr;
  ASSERT_EQ(desktop->GetUIObjectOf(nullptr, 1, items, win::IID_IDataObject, nullptr, &virtualData),
            win::S_OK);
  auto* only = static_cast<win::IDataObject*>(virtualData);
  ASSERT_EQ(only->EnumFormats(&formats), win::S_OK);
  EXPECT_EQ(formats, (std::vector<win::UINT>{win::ShellIdListFormat()}));
  ASSERT_TRUE(lists.Read(only));
  EXPECT_TRUE(win::ILIsEmpty(lists.Folder()));
  // ... and dropping it gives nothing to do.
  win::IDropTarget* target = HandlerOf("C:\\", "Target");
  DWORD effect = kAll;
  EXPECT_EQ(target->DragEnter(only, 0, {}, &effect), win::S_OK);
  EXPECT_EQ(effect, win::DROPEFFECT_NONE);
  target->Release();
  only->Release();
  win::ILFree(computer);
  void* none = nullptr;
  EXPECT_EQ(desktop->GetUIObjectOf(nullptr, 0, items, win::IID_IDataObject, nullptr, &none),
            win::E_INVALIDARG);
  EXPECT_EQ(none, nullptr);
  desktop->Release();
}

TEST_F(ShellDropTest, EffectFollowsTheKeysAmongTheAllowedEffects) {
  using win::DROPEFFECT_COPY, win::DROPEFFECT_MOVE, win::DROPEFFECT_LINK, win::DROPEFFECT_NONE;
  using win::MK_ALT, win::MK_CONTROL, win::MK_SHIFT, win::MK_LBUTTON, win::MK_RBUTTON;
  const struct {
    DWORD keys;
    DWORD allowed;
    bool sameDrive;
    DWORD expected;
  } cases[] = {
      {MK_LBUTTON, kAll, true, DROPEFFECT_MOVE},
      {MK_LBUTTON, kAll, false, DROPEFFECT_COPY},
      {MK_RBUTTON, kAll, true, DROPEFFECT_MOVE},
      {MK_CONTROL, kAll, true, DROPEFFECT_COPY},
      {MK_SHIFT, kAll, false, DROPEFFECT_MOVE},
      {MK_CONTROL | MK_SHIFT, kAll, true, DROPEFFECT_LINK},
      {MK_ALT, kAll, false, DROPEFFECT_LINK},
      {MK_ALT | MK_CONTROL, kAll, false, DROPEFFECT_LINK},
      // What the keys ask for and the source does not allow: nothing.
      {MK_CONTROL, DROPEFFECT_MOVE, true, DROPEFFECT_NONE},
      {MK_SHIFT, DROPEFFECT_COPY | DROPEFFECT_LINK, true, DROPEFFECT_NONE},
      {MK_ALT, DROPEFFECT_COPY | DROPEFFECT_MOVE, true, DROPEFFECT_NONE},
      // Without keys the first allowed of the default, copy, move, link.
      {0, DROPEFFECT_COPY | DROPEFFECT_LINK, true, DROPEFFECT_COPY},
      {0, DROPEFFECT_MOVE | DROPEFFECT_LINK, false, DROPEFFECT_MOVE},
      {0, DROPEFFECT_LINK, true, DROPEFFECT_LINK},
      {0, DROPEFFECT_NONE, true, DROPEFFECT_NONE},
      {0, win::DROPEFFECT_SCROLL | DROPEFFECT_MOVE, false, DROPEFFECT_MOVE},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(win::DropEffectFromKeys(c.keys, c.allowed, c.sameDrive), c.expected)
        << "keys " << c.keys << " allowed " << c.allowed << " same drive " << c.sameDrive;
  }
}

TEST_F(ShellDropTest, DropsCopyOrMoveTwoFoldersAsTheKeysAndDrivesSay) {
  // Ctrl: both folders copied whole, the originals stay.
  Dropped copied = DropItems("C:\\", {"Photos", "Other"}, HandlerOf("C:\\", "Target"),
                             win::MK_LBUTTON | win::MK_CONTROL);
  EXPECT_EQ(copied.entered, win::DROPEFFECT_COPY);
  EXPECT_EQ(copied.over, win::DROPEFFECT_COPY);
  EXPECT_EQ(copied.dropped, win::DROPEFFECT_COPY);
  EXPECT_EQ(copied.hr, win::S_OK);
  EXPECT_EQ(scratch.Read("c/Target/Photos/a.jpg"), "12345");
  EXPECT_EQ(scratch.Read("c/Target/Photos/2006/b.jpg"), "678");
  EXPECT_EQ(scratch.Read("c/Target/Other/x.txt"), "x");
  EXPECT_TRUE(scratch.Exists("c/Photos/a.jpg"));

  // No keys on the same drive: moved, into the drive's own handler for a folder's view.
  fs::create_directories(scratch.HostOf("c/Target/Into"));
  Dropped moved = DropItems("C:\\Target", {"Photos", "Other"}, HandlerOf("C:\\Target\\Into", ""),
                            win::MK_LBUTTON);
  EXPECT_EQ(moved.dropped, win::DROPEFFECT_MOVE);
  EXPECT_EQ(scratch.Names("c/Target").size(), 1u) << "only Into is left";
  EXPECT_EQ(scratch.Read("c/Target/Into/Photos/2006/b.jpg"), "678");
  EXPECT_EQ(scratch.Read("c/Target/Into/Other/x.txt"), "x");

  // No keys from another drive: copied; Shift moves it after all.
  Dropped across = DropItems("D:\\", {"Far"}, HandlerOf("C:\\", "Target"), win::MK_LBUTTON);
  EXPECT_EQ(across.dropped, win::DROPEFFECT_COPY);
  EXPECT_EQ(scratch.Read("c/Target/Far/f.txt"), "far");
  EXPECT_TRUE(scratch.Exists("d/Far/f.txt"));
  fs::remove_all(scratch.HostOf("c/Target/Far"));
  Dropped shifted = DropItems("D:\\", {"Far"}, HandlerOf("C:\\", "Target"), win::MK_SHIFT);
  EXPECT_EQ(shifted.dropped, win::DROPEFFECT_MOVE);
  EXPECT_EQ(scratch.Read("c/Target/Far/f.txt"), "far");
  EXPECT_FALSE(scratch.Exists("d/Far"));

  // The desktop's own handler drops into the desktop folder, here from another program.
  win::IDropTarget* desktop = HandlerOf("", "");
  win::IDataObject* files = FilesOf({"C:\\Target\\Far\\f.txt"});
  EXPECT_EQ(Drag(desktop, files, win::MK_CONTROL).dropped, win::DROPEFFECT_COPY);
  EXPECT_EQ(scratch.Read("c/desk/f.txt"), "far");
  files->Release();
  desktop->Release();
  EXPECT_TRUE(boxes.empty());
}

TEST_F(ShellDropTest, DropsThatCannotBeAreRefusedAndLeaveEverythingAsItWas) {
  const struct {
    const char* why;
    const char* from;
    std::vector<std::string> names;
    const char* folder;  // the handler: an item of `folder` named `item`, or its own
    const char* item;
    DWORD keys;
    DWORD expected;
  } cases[] = {
      {"a folder onto itself",
       "C:\\",
       {"Photos"},
       "C:\\",
       "Photos",
       win::MK_CONTROL,
       win::DROPEFFECT_NONE},
      {"a folder into its subfolder",
       "C:\\",
       {"Photos"},
       "C:\\Photos",
       "2006",
       0,
       win::DROPEFFECT_NONE},
      {"one of two into its own subfolder",
       "C:\\",
       {"Other", "Photos"},
       "C:\\Photos",
       "",
       0,
       win::DROPEFFECT_NONE},
      {"linking a folder into itself",
       "C:\\",
       {"Photos"},
       "C:\\Photos",
       "",
       win::MK_ALT,
       win::DROPEFFECT_NONE},
      {"moving into where it is", "C:\\", {"Photos", "Other"}, "C:\\", "", 0, win::DROPEFFECT_NONE},
      {"moving into where it is, by Shift",
       "C:\\",
       {"Photos"},
       "C:\\",
       "",
       win::MK_SHIFT,
       win::DROPEFFECT_NONE},
      {"a copy where it is is fine",
       "C:\\Photos",
       {"a.jpg"},
       "C:\\",
       "Photos",
       win::MK_CONTROL,
       win::DROPEFFECT_COPY},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const std::vector<std::string> before = scratch.Names("c/Photos");
    const Dropped d = DropItems(c.from, c.names, HandlerOf(c.folder, c.item), c.keys);
    EXPECT_EQ(d.entered, c.expected);
    EXPECT_EQ(d.dropped, c.expected);
    EXPECT_EQ(d.hr, win::S_OK);
    if (c.expected == win::DROPEFFECT_NONE) {
      EXPECT_EQ(scratch.Names("c/Photos"), before);
    }
  }
  EXPECT_EQ(scratch.Read("c/Photos/复件 a.jpg"), "12345");
  EXPECT_TRUE(scratch.Exists("c/Other/x.txt"));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(ShellDropTest, DrivesAndTheShellsFoldersAreOnlyLinked) {
  win::IShellFolder* desktop = Folder("");
  win::LPITEMIDLIST computerList = nullptr;
  ASSERT_EQ(win::SHGetSpecialFolderLocation(nullptr, win::CSIDL_DRIVES, &computerList), win::S_OK);
  win::IShellFolder* computer = nullptr;
  ASSERT_EQ(desktop->BindToObject(computerList, nullptr, &computer), win::S_OK);
  win::LPITEMIDLIST documents = nullptr;
  ASSERT_EQ(win::SHGetSpecialFolderLocation(nullptr, win::CSIDL_PERSONAL, &documents), win::S_OK);
  win::LPITEMIDLIST driveD = Child(computer, "D:\\");
  auto objectOf = [](win::IShellFolder* folder, win::LPCITEMIDLIST item) {
    void* data = nullptr;
    EXPECT_EQ(folder->GetUIObjectOf(nullptr, 1, &item, win::IID_IDataObject, nullptr, &data),
              win::S_OK);
    return static_cast<win::IDataObject*>(data);
  };
  const struct {
    const char* why;
    win::IDataObject* data;
  } sources[] = {
      {"the drive from 我的电脑", objectOf(computer, driveD)},
      {"我的文档 from the desktop", objectOf(desktop, documents)},
      {"the drive's path from another program", FilesOf({"D:\\"})},
  };
  win::IDropTarget* target = HandlerOf("C:\\", "Target");
  for (const auto& s : sources) {
    SCOPED_TRACE(s.why);
    for (const DWORD keys : {win::MK_SHIFT, win::MK_CONTROL}) {
      DWORD effect = kAll;
      EXPECT_EQ(target->DragEnter(s.data, keys, {}, &effect), win::S_OK);
      EXPECT_EQ(effect, win::DROPEFFECT_NONE) << "keys " << keys;
    }
    EXPECT_EQ(Drag(target, s.data, 0).dropped, win::DROPEFFECT_LINK);
    s.data->Release();
  }
  target->Release();
  // A drive's shortcut is named after its caption, less the colon; 我的文档's after its name.
  EXPECT_EQ(fs::read_symlink(scratch.HostOf("c/Target/快捷方式 到 本地磁盘 (D)")),
            fs::path(scratch.HostOf("d")));
  EXPECT_EQ(fs::read_symlink(scratch.HostOf("c/Target/快捷方式 (2) 到 本地磁盘 (D)")),
            fs::path(scratch.HostOf("d")));
  EXPECT_EQ(fs::read_symlink(scratch.HostOf("c/Target/快捷方式 到 我的文档")),
            fs::path(scratch.HostOf("c/home")));
  EXPECT_TRUE(scratch.Exists("d/Far/f.txt"));
  win::ILFree(driveD);
  win::ILFree(documents);
  win::ILFree(computerList);
  computer->Release();
  desktop->Release();
}

TEST_F(ShellDropTest, RightDragAsksWhatToDoWithTheAllowedEntriesAndTheDefault) {
  const MenuEntry cancel{"取消", 0x100, false, false};
  const MenuEntry separator{"-", win::UINT(-1), false, false};
  const struct {
    const char* why;
    DWORD keys;
    DWORD allowed;
    win::UINT answer;
    std::vector<MenuEntry> entries;
    DWORD expected;
    const char* made;  // what appears in C:\Target, or null
  } cases[] = {
      {"copy chosen, move the default",
       win::MK_RBUTTON,
       kAll,
       win::DROPEFFECT_COPY,
       {{"移动到当前位置(&M)", 2, false, true},
        {"复制到当前位置(&C)", 1, false, false},
        {"在当前位置创建快捷方式(&S)", 4, false, false},
        separator,
        cancel},
       win::DROPEFFECT_COPY,
       "c/Target/Photos/2006/b.jpg"},
      {"only copy allowed, Ctrl held",
       win::MK_RBUTTON | win::MK_CONTROL,
       win::DROPEFFECT_COPY,
       win::DROPEFFECT_MOVE,  // a greyed entry does nothing
       {{"移动到当前位置(&M)", 2, true, false},
        {"复制到当前位置(&C)", 1, false, true},
        {"在当前位置创建快捷方式(&S)", 4, true, false},
        separator,
        cancel},
       win::DROPEFFECT_NONE,
       nullptr},
      {"dismissed", win::MK_RBUTTON, kAll, 0, {}, win::DROPEFFECT_NONE, nullptr},
      {"cancelled", win::MK_RBUTTON, kAll, 0x100, {}, win::DROPEFFECT_NONE, nullptr},
      {"link chosen",
       win::MK_RBUTTON,
       kAll,
       win::DROPEFFECT_LINK,
       {},
       win::DROPEFFECT_LINK,
       "c/Target/快捷方式 到 Photos"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    menuAnswer = c.answer;
    menusShown = 0;
    const Dropped d = DropItems("C:\\", {"Photos"}, HandlerOf("C:\\", "Target"), c.keys, c.allowed);
    EXPECT_EQ(menusShown, 1);
    EXPECT_EQ(menuFlags, win::TPM_RETURNCMD | win::TPM_RIGHTBUTTON);
    EXPECT_EQ(menuPoint.x, 40);
    EXPECT_EQ(menuPoint.y, 50);
    EXPECT_EQ(menuOwner, kOwner);
    if (!c.entries.empty()) {
      EXPECT_EQ(menuEntries, c.entries);
    }
    EXPECT_EQ(d.dropped, c.expected);
    EXPECT_EQ(scratch.Names("c/Target").size(), c.made == nullptr ? 0u : 1u);
    if (c.made != nullptr) {
      EXPECT_TRUE(scratch.Exists(c.made));
    }
    fs::remove_all(scratch.HostOf("c/Target"));
    fs::create_directories(scratch.HostOf("c/Target"));
  }
  EXPECT_TRUE(scratch.Exists("c/Photos/a.jpg")) << "nothing was moved";
  // A left drop shows no menu, and nothing possible shows none either.
  menusShown = 0;
  DropItems("C:\\", {"Photos"}, HandlerOf("C:\\", "Target"), win::MK_CONTROL);
  DropItems("C:\\", {"Photos"}, HandlerOf("C:\\", "Photos"), win::MK_RBUTTON);
  EXPECT_EQ(menusShown, 0);
}

TEST_F(ShellDropTest, EachFailureIsToldOnceAndTheDropGoesOn) {
  for (const win::HWND owner : {kOwner, win::HWND{}}) {
    boxes.clear();
    fs::remove_all(scratch.HostOf("c/Target"));
    fs::create_directories(scratch.HostOf("c/Target"));
    win::IDropTarget* target = HandlerOf("C:\\", "Target", owner);
    win::IDataObject* files =
        FilesOf({"C:\\Gone", "C:\\Photos\\a.jpg", A("C:\\消失.jpg"), "C:\\Other"});
    const Dropped d = Drag(target, files, win::MK_CONTROL);
    files->Release();
    target->Release();
    EXPECT_EQ(d.dropped, win::DROPEFFECT_NONE) << "not everything was copied";
    EXPECT_EQ(d.hr, win::HRESULT_FROM_WIN32(win::ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(scratch.Read("c/Target/a.jpg"), "12345");
    EXPECT_EQ(scratch.Read("c/Target/Other/x.txt"), "x");
    if (owner == nullptr) {
      EXPECT_TRUE(boxes.empty()) << "no owner, no box";
      continue;
    }
    const std::string why = U(win::SystemErrorText(win::ERROR_FILE_NOT_FOUND));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "无法复制 Gone: " + why);
    EXPECT_EQ(boxes[1].text, "无法复制 消失.jpg: " + why);
    for (const Box& box : boxes) {
      EXPECT_EQ(box.owner, kOwner);
      EXPECT_EQ(box.caption, "复制文件或文件夹时出错");
    }
  }
}

TEST_F(ShellDropTest, LinksAreNamedAsShortcutsAndPointAtTheSource) {
  for (int round = 0; round < 3; ++round) {
    const Dropped d =
        DropItems("C:\\", {"Photos"}, HandlerOf("C:\\", "Target"), win::MK_LBUTTON | win::MK_ALT);
    EXPECT_EQ(d.dropped, win::DROPEFFECT_LINK);
  }
  for (const char* name :
       {"快捷方式 到 Photos", "快捷方式 (2) 到 Photos", "快捷方式 (3) 到 Photos"}) {
    const fs::path link = scratch.HostOf(std::string("c/Target/") + name);
    ASSERT_TRUE(fs::is_symlink(link)) << name;
    EXPECT_EQ(fs::read_symlink(link), fs::path(scratch.HostOf("c/Photos")));
  }
  EXPECT_EQ(scratch.Read("c/Target/快捷方式 到 Photos/a.jpg"), "12345");
}

TEST_F(ShellDropTest, TheRecycleBinTakesWhatIsDroppedIntoTheTrash) {
  win::IShellFolder* desktop = Folder("");
  win::LPITEMIDLIST bin = nullptr;
  ASSERT_EQ(win::SHGetSpecialFolderLocation(nullptr, win::CSIDL_BITBUCKET, &bin), win::S_OK);
  win::ULONG attributes = win::SFGAO_DROPTARGET;
  win::LPCITEMIDLIST items[] = {bin};
  ASSERT_EQ(desktop->GetAttributesOf(1, items, &attributes), win::S_OK);
  EXPECT_EQ(attributes, win::SFGAO_DROPTARGET);
  void* handler = nullptr;
  ASSERT_EQ(desktop->GetUIObjectOf(kOwner, 1, items, win::IID_IDropTarget, nullptr, &handler),
            win::S_OK);
  auto* trash = static_cast<win::IDropTarget*>(handler);
  win::IDataObject* data = ItemsOf("C:\\", {"Other"});
  // Copying into the trash is no use; Ctrl or not, it is a move.
  EXPECT_EQ(Drag(trash, data, 0, win::DROPEFFECT_COPY).dropped, win::DROPEFFECT_NONE);
  EXPECT_TRUE(scratch.Exists("c/Other/x.txt"));
  EXPECT_EQ(Drag(trash, data, win::MK_CONTROL).dropped, win::DROPEFFECT_MOVE);
  EXPECT_FALSE(scratch.Exists("c/Other"));
  EXPECT_TRUE(boxes.empty());
  data->Release();
  trash->Release();
  win::ILFree(bin);
  desktop->Release();
}

TEST_F(ShellDropTest, BadCallsAreRefusedAndADropNeedsNoEnter) {
  win::IDropTarget* target = HandlerOf("C:\\", "Target");
  win::IDataObject* data = ItemsOf("C:\\", {"Other"});
  DWORD effect = kAll;
  EXPECT_EQ(target->DragEnter(nullptr, 0, {}, &effect), win::E_INVALIDARG);
  EXPECT_EQ(effect, win::DROPEFFECT_NONE);
  EXPECT_EQ(target->DragEnter(data, 0, {}, nullptr), win::E_INVALIDARG);
  EXPECT_EQ(target->DragOver(0, {}, nullptr), win::E_INVALIDARG);
  EXPECT_EQ(target->Drop(data, 0, {}, nullptr), win::E_INVALIDARG);
  effect = kAll;
  EXPECT_EQ(target->Drop(nullptr, 0, {}, &effect), win::E_INVALIDARG);
  EXPECT_EQ(effect, win::DROPEFFECT_NONE);
  // Over and after a leave without an enter: nothing to drop here.
  effect = kAll;
  EXPECT_EQ(target->DragOver(win::MK_CONTROL, {}, &effect), win::S_OK);
  EXPECT_EQ(effect, win::DROPEFFECT_NONE);
  effect = kAll;
  ASSERT_EQ(target->DragEnter(data, win::MK_CONTROL, {}, &effect), win::S_OK);
  EXPECT_EQ(effect, win::DROPEFFECT_COPY);
  EXPECT_EQ(target->DragLeave(), win::S_OK);
  effect = kAll;
  EXPECT_EQ(target->DragOver(win::MK_CONTROL, {}, &effect), win::S_OK);
  EXPECT_EQ(effect, win::DROPEFFECT_NONE);
  // A drop on its own reads what it is given.
  effect = kAll;
  EXPECT_EQ(target->Drop(data, win::MK_CONTROL, {}, &effect), win::S_OK);
  EXPECT_EQ(effect, win::DROPEFFECT_COPY);
  EXPECT_EQ(scratch.Read("c/Target/Other/x.txt"), "x");
  data->Release();
  target->Release();

  // Folders and items without a place on disk have no handler.
  win::IShellFolder* computer = Folder("");
  win::LPITEMIDLIST computerList = nullptr;
  ASSERT_EQ(win::SHGetSpecialFolderLocation(nullptr, win::CSIDL_DRIVES, &computerList), win::S_OK);
  void* none = nullptr;
  win::IShellFolder* bound = nullptr;
  ASSERT_EQ(computer->BindToObject(computerList, nullptr, &bound), win::S_OK);
  EXPECT_EQ(bound->CreateViewObject(kOwner, win::IID_IDropTarget, &none), win::E_NOINTERFACE);
  EXPECT_EQ(bound->CreateViewObject(kOwner, win::IID_IContextMenu, &none), win::E_NOINTERFACE);
  EXPECT_EQ(bound->CreateViewObject(kOwner, win::IID_IDropTarget, nullptr), win::E_POINTER);
  EXPECT_EQ(none, nullptr);
  win::LPCITEMIDLIST items[] = {computerList};
  EXPECT_EQ(computer->GetUIObjectOf(kOwner, 1, items, win::IID_IDropTarget, nullptr, &none),
            win::E_NOINTERFACE);
  win::IShellFolder* drive = Folder("C:\\Photos");
  win::LPITEMIDLIST file = Child(drive, "a.jpg");
  items[0] = file;
  EXPECT_EQ(drive->GetUIObjectOf(kOwner, 1, items, win::IID_IDropTarget, nullptr, &none),
            win::E_NOINTERFACE)
      << "a file is no drop target";
  EXPECT_EQ(none, nullptr);
  win::ILFree(file);
  drive->Release();
  bound->Release();
  win::ILFree(computerList);
  computer->Release();
}

}  // namespace
