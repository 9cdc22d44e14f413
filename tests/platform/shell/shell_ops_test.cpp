// The shell's operations on a drive table of the test's own: renaming with its refusals, the
// context menus and their verbs (trash, delete for good, cut, copy and paste of folders,
// properties) and the clipboard's file lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "platform/kernel/kernel.h"
#include "platform/shell/shell.h"
#include "platform/shell/shell_folder.h"
#include "platform/shell/shell_internal.h"
#include "platform/shell/shell_ops.h"
#include "platform/user/clipboard.h"
#include "platform/user/menu.h"
#include "platform/user/user.h"
#include "tests/support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;

std::u16string Wide(const std::string& utf8) {
  return win::Utf8ToUtf16(utf8);
}
std::string U(const std::string& ansi) {
  return win::AnsiToUtf8(ansi).value();
}

// GIO reads XDG_DATA_HOME once per process: one trash for the whole suite.
const test_support::ScratchFolder& DataHome() {
  static test_support::ScratchFolder* home = [] {
    auto* folder = new test_support::ScratchFolder("suotu-trash");
    setenv("XDG_DATA_HOME", folder->Host().c_str(), 1);
    return folder;
  }();
  return *home;
}

const win::HWND kOwner = reinterpret_cast<win::HWND>(std::uintptr_t{0x10});

struct Box {
  win::HWND owner;
  std::string text;     // UTF-8
  std::string caption;  // UTF-8
  win::UINT type;
};

// C: is scratch/c (desktop C:\desk, documents C:\home) on the same volume as the trash.
class ShellOpsTest : public ::testing::Test {
 protected:
  ShellOpsTest() : scratch("suotu-ops", fs::path(DataHome().Host()).parent_path()) {}
  void SetUp() override {
    for (const char* dir : {"c/desk", "c/home", "c/Photos/2006", "c/Other", "c/Target"})
      fs::create_directories(scratch.HostOf(dir));
    scratch.Write("c/Photos/a.jpg", "12345");
    scratch.Write("c/Photos/2006/b.jpg", "678");
    win::SetDriveTable({{'C', scratch.HostOf("c"), win::DRIVE_FIXED}});
    win::SetShellFolderLocations(scratch.HostOf("c/desk"), scratch.HostOf("c/home"));
    previous_ = win::SetMessageBoxPresenter([this](win::HWND owner, const std::string& text,
                                                   const std::string& caption, win::UINT type) {
      boxes.push_back({owner, U(text), U(caption), type});
      return answer;
    });
    win::SetClipboardBackend(nullptr);
    BindDrive();
  }
  void TearDown() override {
    if (drive_ != nullptr) drive_->Release();
    win::SetMessageBoxPresenter(previous_);
    win::SetShellFolderLocations("", "");
    win::SetDriveTable({});
  }
  void BindDrive() {
    win::ITEMIDLIST* root = win::ILCreateFromPathA("C:\\");
    ASSERT_NE(root, nullptr);
    win::IShellFolder* desktop = nullptr;
    ASSERT_EQ(win::SHGetDesktopFolder(&desktop), win::S_OK);
    ASSERT_EQ(desktop->BindToObject(root, nullptr, &drive_), win::S_OK);
    desktop->Release();
    win::ILFree(root);
  }
  // The relative list of an entry of C:\ (the caller frees it).
  win::LPITEMIDLIST Item(const std::string& name) {
    win::LPITEMIDLIST list = nullptr;
    const std::u16string wide(name.begin(), name.end());
    EXPECT_EQ(drive_->ParseDisplayName(nullptr, nullptr, wide.c_str(), nullptr, &list, nullptr),
              win::S_OK);
    return list;
  }
  win::IContextMenu* MenuOf(const std::string& name) {
    win::LPITEMIDLIST item = Item(name);
    win::LPCITEMIDLIST items[] = {item};
    void* menu = nullptr;
    EXPECT_EQ(drive_->GetUIObjectOf(kOwner, 1, items, win::IID_IContextMenu, nullptr, &menu),
              win::S_OK);
    win::ILFree(item);
    return static_cast<win::IContextMenu*>(menu);
  }
  win::HRESULT Verb(const std::string& name, const char* verb, win::DWORD mask = 0) {
    win::IContextMenu* menu = MenuOf(name);
    win::CMINVOKECOMMANDINFO info;
    info.hwnd = kOwner;
    info.lpVerb = verb;
    info.fMask = mask;
    const win::HRESULT hr = menu->InvokeCommand(&info);
    menu->Release();
    return hr;
  }

  test_support::ScratchFolder scratch;
  win::IShellFolder* drive_ = nullptr;
  std::vector<Box> boxes;
  int answer = win::IDOK;

 private:
  win::MessageBoxPresenter previous_;
};

TEST_F(ShellOpsTest, RenameRefusesWhatWindowsRefusesAndSaysWhy) {
  struct Case {
    std::string name;
    win::HRESULT result;
    std::string boxPart;  // "" when no box is expected
    const char* onDisk;   // what the folder is called afterwards
  };
  const Case cases[] = {
      {"", win::HRESULT_FROM_WIN32(win::ERROR_INVALID_NAME), "必须键入文件名", "Photos"},
      {"a:b", win::HRESULT_FROM_WIN32(win::ERROR_INVALID_NAME), "\\ / : * ? \" < > |", "Photos"},
      {"a/b", win::HRESULT_FROM_WIN32(win::ERROR_INVALID_NAME), "不能包含", "Photos"},
      {"a|b", win::HRESULT_FROM_WIN32(win::ERROR_INVALID_NAME), "不能包含", "Photos"},
      {"..", win::HRESULT_FROM_WIN32(win::ERROR_INVALID_NAME), "无法重命名 Photos", "Photos"},
      {"Other", win::HRESULT_FROM_WIN32(win::ERROR_ALREADY_EXISTS), "现有文件重名", "Photos"},
      {"OTHER", win::HRESULT_FROM_WIN32(win::ERROR_ALREADY_EXISTS), "现有文件重名", "Photos"},
      {"PHOTOS", win::S_OK, "", "PHOTOS"},  // its own name in another case
      {"照片", win::S_OK, "", "照片"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(scratch.HostOf("c/PHOTOS"));
    fs::remove_all(scratch.HostOf("c/照片"));
    fs::create_directories(scratch.HostOf("c/Photos"));
    boxes.clear();
    win::LPITEMIDLIST item = Item("Photos");
    const std::u16string wide = Wide(c.name);
    win::LPITEMIDLIST renamed = nullptr;
    EXPECT_EQ(drive_->SetNameOf(kOwner, item, wide.c_str(), 0, &renamed), c.result);
    EXPECT_TRUE(scratch.Exists(std::string("c/") + c.onDisk));
    if (c.boxPart.empty()) {
      EXPECT_TRUE(boxes.empty());
      ASSERT_NE(renamed, nullptr);
      win::STRRET name{};
      name.uType = win::STRRET_CSTR;
      ASSERT_EQ(drive_->GetDisplayNameOf(renamed, win::SHGDN_INFOLDER, &name), win::S_OK);
      EXPECT_EQ(U(name.cStr), c.onDisk);
    } else {
      EXPECT_EQ(renamed, nullptr);
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_NE(boxes[0].text.find(c.boxPart), std::string::npos) << boxes[0].text;
      EXPECT_EQ(boxes[0].owner, kOwner);
    }
    win::ILFree(renamed);
    win::ILFree(item);
  }
  // Without an owner the refusal is silent.
  boxes.clear();
  win::LPITEMIDLIST item = Item("Other");
  EXPECT_EQ(drive_->SetNameOf(nullptr, item, u"Target", 0, nullptr),
            win::HRESULT_FROM_WIN32(win::ERROR_ALREADY_EXISTS));
  EXPECT_TRUE(boxes.empty());
  win::ILFree(item);
}

// Every entry as "id text verb", "-" for a separator, "> text" for a sub-menu.
std::vector<std::string> MenuEntries(win::IContextMenu* menu, win::UINT flags) {
  win::HMENU popup = win::CreatePopupMenu();
  EXPECT_TRUE(win::SUCCEEDED(menu->QueryContextMenu(popup, 0, 1000, 32767, flags)));
  std::vector<std::string> entries;
  for (int i = 0; i < win::GetMenuItemCount(popup); ++i) {
    char text[64] = {};
    win::GetMenuStringA(popup, win::UINT(i), text, sizeof text, win::MF_BYPOSITION);
    const win::UINT id = win::GetMenuItemID(popup, i);
    if (win::GetSubMenu(popup, i) != nullptr) {
      entries.push_back("> " + U(text));
    } else if (id == win::UINT(-1)) {
      entries.push_back("-");
    } else {
      char verb[32] = {};
      menu->GetCommandString(id - 1000, win::GCS_VERBA, nullptr, verb, sizeof verb);
      entries.push_back(std::to_string(id) + " " + U(text) + " " + verb);
    }
  }
  win::DestroyMenu(popup);
  return entries;
}

// The relative list of the folder's child shown as `utf8` (the caller frees it); null if none.
win::LPITEMIDLIST ItemNamed(win::IShellFolder* folder, const std::string& utf8) {
  win::IEnumIDList* items = nullptr;
  if (folder->EnumObjects(nullptr, win::SHCONTF_FOLDERS, &items) != win::S_OK) return nullptr;
  win::LPITEMIDLIST item = nullptr;
  win::LPITEMIDLIST found = nullptr;
  while (found == nullptr && items->Next(1, &item, nullptr) == win::S_OK) {
    win::STRRET name{};
    name.uType = win::STRRET_CSTR;
    folder->GetDisplayNameOf(item, win::SHGDN_INFOLDER, &name);
    char text[win::MAX_PATH] = {};
    win::StrRetToBufA(&name, item, text, sizeof text);
    if (U(text) == utf8)
      found = item;
    else
      win::ILFree(item);
  }
  items->Release();
  return found;
}

win::IContextMenu* MenuNamed(win::IShellFolder* folder, const std::string& utf8) {
  win::LPITEMIDLIST item = ItemNamed(folder, utf8);
  if (item == nullptr) return nullptr;
  void* object = nullptr;
  win::LPCITEMIDLIST one = item;
  folder->GetUIObjectOf(nullptr, 1, &one, win::IID_IContextMenu, nullptr, &object);
  win::ILFree(item);
  return static_cast<win::IContextMenu*>(object);
}

TEST_F(ShellOpsTest, MenusOfFoldersDrivesAndTheShellsItems) {
  const std::string open = "1000 打开(&O) open", explore = "1001 资源管理器(&X) explore",
                    paste = "1026 粘贴(&P) paste", properties = "1019 属性(&R) properties";
  win::IContextMenu* folder = MenuOf("Photos");
  EXPECT_EQ(MenuEntries(folder, win::CMF_EXPLORE | win::CMF_CANRENAME),
            (std::vector<std::string>{open, explore, "-", "> 发送到(&N)", "-", "1024 剪切(&T) cut",
                                      "1025 复制(&C) copy", paste, "-", "1017 删除(&D) delete",
                                      "1018 重命名(&M) rename", "-", properties}));
  // No rename without the flag; a range too short for the sub-menu's commands leaves it out.
  std::vector<std::string> plain = MenuEntries(folder, win::CMF_EXPLORE);
  EXPECT_EQ(std::count(plain.begin(), plain.end(), "1018 重命名(&M) rename"), 0);
  win::HMENU short_ = win::CreatePopupMenu();
  EXPECT_EQ(folder->QueryContextMenu(short_, 0, 1000, 1030, win::CMF_EXPLORE), 27);
  EXPECT_EQ(win::GetSubMenu(short_, 3), nullptr);
  win::DestroyMenu(short_);
  folder->Release();

  // The desktop's items and the computer's.
  win::IShellFolder* desktop = nullptr;
  ASSERT_EQ(win::SHGetDesktopFolder(&desktop), win::S_OK);
  win::IShellFolder* computer = nullptr;
  win::LPITEMIDLIST computerList = nullptr;
  ASSERT_EQ(win::SHGetSpecialFolderLocation(nullptr, win::CSIDL_DRIVES, &computerList), win::S_OK);
  ASSERT_EQ(desktop->BindToObject(computerList, nullptr, &computer), win::S_OK);
  struct Case {
    win::IShellFolder* folder;
    const char* name;  // in-folder display name, UTF-8
    std::vector<std::string> entries;
  };
  const Case cases[] = {
      {desktop, "我的文档", {open, explore, "-", "> 发送到(&N)", "-", paste, "-", properties}},
      {desktop, "我的电脑", {open, explore, "-", properties}},
      {desktop, "网上邻居", {open, explore}},
      {desktop,
       "回收站",
       {open, explore, "-", "1027 清空回收站(&B) emptyrecyclebin", "-", properties}},
      {computer, "本地磁盘 (C:)", {open, explore, "-", paste, "-", properties}},
      {computer, "控制面板", {open, explore}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    win::IContextMenu* menu = MenuNamed(c.folder, c.name);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(MenuEntries(menu, win::CMF_EXPLORE | win::CMF_CANRENAME), c.entries);
    menu->Release();
    if (c.folder == computer && c.entries.size() == 2) {  // the control panel takes no drops
      void* none = nullptr;
      win::LPITEMIDLIST panel = ItemNamed(computer, c.name);
      win::LPCITEMIDLIST one = panel;
      EXPECT_EQ(computer->GetUIObjectOf(nullptr, 1, &one, win::IID_IDropTarget, nullptr, &none),
                win::E_NOINTERFACE);
      win::ILFree(panel);
      EXPECT_EQ(none, nullptr);
    }
  }
  computer->Release();
  win::ILFree(computerList);
  desktop->Release();
}

TEST_F(ShellOpsTest, DeleteMovesToTheTrashAndShiftDeletesForGoodAfterAsking) {
  const std::string original = scratch.HostOf("c/Photos");
  ASSERT_EQ(Verb("Photos", "delete"), win::S_OK);
  EXPECT_FALSE(scratch.Exists("c/Photos"));
  const fs::path trash = fs::path(DataHome().Host()) / "Trash";
  // The trash names the folder after its name, adding a number if the name is taken there.
  fs::path kept;
  for (const auto& e : fs::directory_iterator(trash / "files"))
    if (e.path().filename().string().starts_with("Photos") &&
        fs::exists(e.path() / "2006" / "b.jpg"))
      kept = e.path();
  ASSERT_FALSE(kept.empty());
  EXPECT_EQ(fs::file_size(kept / "a.jpg"), 5u);
  const auto bytes =
      test_support::ReadBytes(trash / "info" / (kept.filename().string() + ".trashinfo"));
  const std::string info(bytes.begin(), bytes.end());
  EXPECT_TRUE(info.starts_with("[Trash Info]\n")) << info;
  EXPECT_NE(info.find("Path=" + original + "\n"), std::string::npos) << info;
  EXPECT_NE(info.find("DeletionDate="), std::string::npos);
  EXPECT_TRUE(boxes.empty());

  // Shift: asked first; No keeps it, Yes removes it without the trash.
  answer = win::IDNO;
  EXPECT_EQ(Verb("Other", "DELETE", win::CMIC_MASK_SHIFT_DOWN),
            win::HRESULT_FROM_WIN32(win::ERROR_CANCELLED));
  EXPECT_TRUE(scratch.Exists("c/Other"));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "确认删除文件夹");
  EXPECT_EQ(boxes[0].type, win::MB_YESNO | win::MB_ICONQUESTION);
  answer = win::IDYES;
  EXPECT_EQ(Verb("Other", "delete", win::CMIC_MASK_SHIFT_DOWN), win::S_OK);
  EXPECT_FALSE(scratch.Exists("c/Other"));
  EXPECT_FALSE(fs::exists(trash / "files" / "Other"));
}

TEST_F(ShellOpsTest, CopyCutAndPasteFoldersThroughTheClipboard) {
  ASSERT_EQ(Verb("Photos", "copy"), win::S_OK);
  win::ClipboardFileList list;
  ASSERT_TRUE(win::ReadFileListFromClipboard(nullptr, &list));
  EXPECT_FALSE(list.cut);
  EXPECT_EQ(list.hosts, std::vector<std::string>{scratch.HostOf("c/Photos")});
  ASSERT_EQ(Verb("Target", "paste"), win::S_OK);
  EXPECT_EQ(scratch.Read("c/Target/Photos/2006/b.jpg"), "678");
  EXPECT_TRUE(scratch.Exists("c/Photos/a.jpg"));
  // Pasting again where the name is taken makes a copy beside it; into itself is refused.
  ASSERT_EQ(Verb("Target", "paste"), win::S_OK);
  EXPECT_EQ(scratch.Read("c/Target/复件 Photos/a.jpg"), "12345");
  EXPECT_EQ(Verb("Photos", "paste"), win::HRESULT_FROM_WIN32(win::ERROR_INVALID_PARAMETER));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("无法复制 Photos"), std::string::npos) << boxes[0].text;

  ASSERT_EQ(Verb("Other", "cut"), win::S_OK);
  ASSERT_EQ(Verb("Target", "paste"), win::S_OK);
  EXPECT_FALSE(scratch.Exists("c/Other"));
  EXPECT_TRUE(scratch.Exists("c/Target/Other"));
  EXPECT_FALSE(win::ReadFileListFromClipboard(nullptr, &list));  // a cut list is used up

  // A list another program put there, with an escaped name and a line that is no file.
  fs::create_directories(scratch.HostOf("c/Two words"));
  const std::string text =
      "copy\n" + win::FileUriFromHost(scratch.HostOf("c/Two words")) + "\nhttp://example.org/x\n";
  ASSERT_TRUE(win::OpenClipboard(nullptr));
  win::EmptyClipboard();
  win::HGLOBAL memory = win::GlobalAlloc(win::GMEM_MOVEABLE, text.size() + 1);
  std::memcpy(win::GlobalLock(memory), text.c_str(), text.size() + 1);
  win::GlobalUnlock(memory);
  ASSERT_NE(win::SetClipboardData(win::GnomeCopiedFilesFormat(), memory), nullptr);
  win::CloseClipboard();
  EXPECT_NE(win::FileUriFromHost(scratch.HostOf("c/Two words")).find("Two%20words"),
            std::string::npos);
  ASSERT_EQ(Verb("Target", "paste"), win::S_OK);
  EXPECT_TRUE(scratch.Exists("c/Target/Two words"));
  EXPECT_EQ(win::HostFromFileUri("file:///a%2"), std::nullopt);
  EXPECT_EQ(win::HostFromFileUri("file:///a%00b"), std::nullopt);
}

TEST_F(ShellOpsTest, PropertiesShowLocationSizeAndContents) {
  ASSERT_EQ(Verb("Photos", "properties"), win::S_OK);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Photos 属性");
  EXPECT_EQ(boxes[0].text, "位置: C:\\\n大小: 8 字节\n包含: 2 个文件，1 个文件夹");
  EXPECT_EQ(Verb("Photos", "no-such-verb"), win::E_INVALIDARG);
}

// The shell's own items: what opening them opens, and what their properties say.
TEST_F(ShellOpsTest, ShellsOwnItemsOpenWhatStandsBehindThemAndShowTheirProperties) {
  fs::create_directories(scratch.HostOf("usb"));
  win::SetDriveTable({{'C', scratch.HostOf("c"), win::DRIVE_FIXED},
                      {'E', scratch.HostOf("gone"), win::DRIVE_REMOVABLE}});
  ASSERT_EQ(Verb("Photos", "delete"), win::S_OK);  // 8 bytes in the recycle bin
  std::vector<std::string> opened;
  win::SetShellOpenHandler([&opened](const std::string& target) {
    opened.push_back(target);
    return true;
  });
  win::IShellFolder* desktop = nullptr;
  ASSERT_EQ(win::SHGetDesktopFolder(&desktop), win::S_OK);
  struct Case {
    const char* name;
    std::string opens;  // "" when nothing stands behind it
    std::string caption;
    std::string text;  // a regular expression
  };
  const Case cases[] = {
      {"我的电脑", "file:///", "系统属性",
       "计算机名: .*\n本地磁盘 \\(C:\\): 可用 [0-9,]+ 字节，共 [0-9,]+ 字节\n"
       "可移动磁盘 \\(E:\\): 设备未就绪"},
      {"回收站", "trash:///", "回收站 属性",
       "位置: " + DataHome().Host() + "/Trash\n包含: 1 个项目\n大小: 8 字节"},
      {"我的文档", win::FileUriFromHost(scratch.HostOf("c/home")), "我的文档 属性",
       "位置: .*\n大小: 0 字节\n包含: 0 个文件，0 个文件夹"},
      {"网上邻居", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    win::IContextMenu* menu = MenuNamed(desktop, c.name);
    ASSERT_NE(menu, nullptr);
    opened.clear();
    boxes.clear();
    win::CMINVOKECOMMANDINFO info;
    info.hwnd = kOwner;
    info.lpVerb = "open";
    EXPECT_EQ(menu->InvokeCommand(&info), c.opens.empty() ? win::S_FALSE : win::S_OK);
    EXPECT_EQ(opened,
              c.opens.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.opens});
    EXPECT_TRUE(boxes.empty());  // no failure for what has nothing behind it
    info.lpVerb = "properties";
    if (c.caption.empty()) {
      EXPECT_EQ(menu->InvokeCommand(&info), win::E_INVALIDARG);
    } else {
      EXPECT_EQ(menu->InvokeCommand(&info), win::S_OK);
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].caption, c.caption);
      EXPECT_TRUE(std::regex_match(boxes[0].text, std::regex(c.text))) << boxes[0].text;
    }
    menu->Release();
  }
  win::SetShellOpenHandler({});

  // A drive: its label, kind and space.
  win::IShellFolder* computer = nullptr;
  win::LPITEMIDLIST computerList = nullptr;
  ASSERT_EQ(win::SHGetSpecialFolderLocation(nullptr, win::CSIDL_DRIVES, &computerList), win::S_OK);
  ASSERT_EQ(desktop->BindToObject(computerList, nullptr, &computer), win::S_OK);
  win::IContextMenu* drive = MenuNamed(computer, "本地磁盘 (C:)");
  ASSERT_NE(drive, nullptr);
  boxes.clear();
  win::CMINVOKECOMMANDINFO info;
  info.lpVerb = "properties";
  EXPECT_EQ(drive->InvokeCommand(&info), win::S_OK);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "本地磁盘 (C:) 属性");
  EXPECT_TRUE(std::regex_match(boxes[0].text,
                               std::regex("卷标: 本地磁盘\n类型: 本地磁盘\n已用空间: [0-9,]+ 字节\n"
                                          "可用空间: [0-9,]+ 字节\n容量: [0-9,]+ 字节")))
      << boxes[0].text;
  // The handler's extended kinds are the same object.
  void* object = nullptr;
  ASSERT_EQ(drive->QueryInterface(win::IID_IContextMenu3, &object), win::S_OK);
  EXPECT_EQ(static_cast<win::IContextMenu*>(static_cast<win::IContextMenu3*>(object)), drive);
  static_cast<win::IContextMenu3*>(object)->Release();
  EXPECT_EQ(drive->QueryInterface(win::IID_IDropTarget, &object), win::E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  drive->Release();
  computer->Release();
  win::ILFree(computerList);
  desktop->Release();
}

TEST_F(ShellOpsTest, EmptyingTheRecycleBinAsksFirstAndTakesItemsWithTheirInformation) {
  ASSERT_EQ(Verb("Photos", "delete"), win::S_OK);
  ASSERT_EQ(Verb("Other", "delete"), win::S_OK);
  const fs::path trash = fs::path(DataHome().Host()) / "Trash";
  auto count = [](const fs::path& folder) {
    return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
  };
  ASSERT_EQ(count(trash / "files"), 2);
  win::IShellFolder* desktop = nullptr;
  ASSERT_EQ(win::SHGetDesktopFolder(&desktop), win::S_OK);
  win::IContextMenu* bin = MenuNamed(desktop, "回收站");
  ASSERT_NE(bin, nullptr);
  auto emptyState = [bin] {
    win::HMENU menu = win::CreatePopupMenu();
    bin->QueryContextMenu(menu, 0, 1000, 32767, win::CMF_EXPLORE);
    const win::UINT state = win::GetMenuState(menu, 1000 + win::kCmdEmptyRecycleBin, 0);
    win::DestroyMenu(menu);
    return state;
  };
  EXPECT_EQ(emptyState() & win::MF_GRAYED, 0u);
  win::CMINVOKECOMMANDINFO info;
  info.hwnd = nullptr;  // asked even without an owner
  info.lpVerb = "EmptyRecycleBin";

  answer = win::IDNO;
  EXPECT_EQ(bin->InvokeCommand(&info), win::HRESULT_FROM_WIN32(win::ERROR_CANCELLED));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "确认删除多个文件");
  EXPECT_EQ(boxes[0].text, "确实要永久删除回收站中的这 2 项吗？");
  EXPECT_EQ(boxes[0].type, win::MB_YESNO | win::MB_ICONQUESTION);
  EXPECT_EQ(count(trash / "files"), 2);
  EXPECT_EQ(count(trash / "info"), 2);

  answer = win::IDYES;
  EXPECT_EQ(bin->InvokeCommand(&info), win::S_OK);
  EXPECT_EQ(count(trash / "files"), 0);
  EXPECT_EQ(count(trash / "info"), 0);
  // Nothing left: the command is greyed, and invoking it asks nothing.
  EXPECT_EQ(emptyState() & win::MF_GRAYED, win::MF_GRAYED);
  boxes.clear();
  EXPECT_EQ(bin->InvokeCommand(&info), win::S_FALSE);
  EXPECT_TRUE(boxes.empty());
  bin->Release();
  desktop->Release();
}

}  // namespace
