#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/kernel/kernel.h"
#include "platform/shell/shell_folder.h"
#include "tests/support/scratch_folder.h"

namespace {

using win::HRESULT;
using win::IShellFolder;
using win::LPITEMIDLIST;

std::string A(const std::string& utf8) {
  return win::Utf8ToAnsi(utf8).value();
}

// "乗" is 0x81 0x5C in code page 936: its second byte is a backslash. "𠀀" is outside GBK
// (four bytes in GB18030).
const std::string kTrailBackslash = "\xE4\xB9\x97";
const std::string kOutsideGbk = "\xF0\xA0\x80\x80";

// A drive table and desktop of the test's own: C: is scratch/c with the desktop at C:\desk
// and the documents at C:\home, D: a removable drive, E: an optical one (both empty).
class NamespaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* dir : {"c/desk", "c/home/letters", "usb", "cd"}) {
      std::filesystem::create_directories(scratch.HostOf(dir));
    }
    win::SetDriveTable({{'E', scratch.HostOf("cd"), win::DRIVE_CDROM},
                        {'C', scratch.HostOf("c"), win::DRIVE_FIXED},
                        {'D', scratch.HostOf("usb"), win::DRIVE_REMOVABLE}});
    win::SetShellFolderLocations(scratch.HostOf("c/desk"), scratch.HostOf("c/home"));
    ASSERT_EQ(win::SHGetDesktopFolder(&desktop), win::S_OK);
  }
  void TearDown() override {
    desktop->Release();
    win::SetShellFolderLocations("", "");
    win::SetDriveTable({});
  }

  void Dir(const std::string& name) const {
    std::filesystem::create_directories(scratch.HostOf(name));
  }

  // The folder of a Windows path (the desktop for "").
  IShellFolder* Bind(const std::string& path) {
    if (path.empty()) {
      desktop->AddRef();
      return desktop;
    }
    LPITEMIDLIST list = win::ILCreateFromPathA(path.c_str());
    EXPECT_NE(list, nullptr) << path;
    IShellFolder* folder = nullptr;
    EXPECT_EQ(desktop->BindToObject(list, nullptr, &folder), win::S_OK) << path;
    win::ILFree(list);
    return folder;
  }

  std::string Name(IShellFolder* folder, win::LPCITEMIDLIST item,
                   win::DWORD flags = win::SHGDN_INFOLDER) {
    win::STRRET name{};
    name.uType = win::STRRET_WSTR;
    if (folder->GetDisplayNameOf(item, flags, &name) != win::S_OK) return "(failed)";
    char buffer[win::MAX_PATH];
    EXPECT_EQ(win::StrRetToBufA(&name, item, buffer, sizeof buffer), win::S_OK);
    return buffer;
  }

  // In-folder names of a folder's items, in the folder's own comparison order.
  std::vector<std::string> SortedNames(IShellFolder* folder,
                                       win::DWORD flags = win::SHCONTF_FOLDERS |
                                                          win::SHCONTF_INCLUDEHIDDEN) {
    win::IEnumIDList* items = nullptr;
    EXPECT_EQ(folder->EnumObjects(nullptr, flags, &items), win::S_OK);
    if (items == nullptr) return {};
    std::vector<LPITEMIDLIST> lists;
    LPITEMIDLIST list = nullptr;
    win::ULONG fetched = 0;
    while (items->Next(1, &list, &fetched) == win::S_OK) lists.push_back(list);
    EXPECT_EQ(fetched, 0u);
    items->Release();
    std::sort(lists.begin(), lists.end(), [folder](LPITEMIDLIST a, LPITEMIDLIST b) {
      return static_cast<short>(win::HRESULT_CODE(folder->CompareIDs(0, a, b))) < 0;
    });
    std::vector<std::string> names;
    for (LPITEMIDLIST l : lists) {
      names.push_back(Name(folder, l));
      win::ILFree(l);
    }
    return names;
  }

  test_support::ScratchFolder scratch{"suotu-shell"};
  IShellFolder* desktop = nullptr;
};

TEST_F(NamespaceTest, DesktopListsTheShellItemsFirstThenItsFoldersInNaturalOrder) {
  for (const char* dir : {"c/desk/img10", "c/desk/Img2", "c/desk/alpha", "c/desk/.hidden"}) {
    Dir(dir);
  }
  scratch.Write("c/desk/notes.txt", "x");
  EXPECT_EQ(SortedNames(desktop),
            (std::vector<std::string>{A("我的文档"), A("我的电脑"), A("网上邻居"), A("回收站"),
                                      ".hidden", "alpha", "Img2", "img10"}));
  EXPECT_EQ(SortedNames(desktop, win::SHCONTF_FOLDERS),
            (std::vector<std::string>{A("我的文档"), A("我的电脑"), A("网上邻居"), A("回收站"),
                                      "alpha", "Img2", "img10"}))
      << "hidden items only with the include-hidden flag";
  EXPECT_EQ(SortedNames(desktop, win::SHCONTF_NONFOLDERS), std::vector<std::string>{"notes.txt"});
  EXPECT_EQ(Name(desktop, reinterpret_cast<win::LPCITEMIDLIST>("\0\0"), win::SHGDN_NORMAL),
            A("桌面"));
}

TEST_F(NamespaceTest, ComputerListsDrivesInLetterOrderThenTheControlPanel) {
  IShellFolder* computer = nullptr;
  LPITEMIDLIST list = nullptr;
  ASSERT_EQ(win::SHGetSpecialFolderLocation(nullptr, win::CSIDL_DRIVES, &list), win::S_OK);
  ASSERT_EQ(desktop->BindToObject(list, nullptr, &computer), win::S_OK);
  win::ILFree(list);
  EXPECT_EQ(SortedNames(computer),
            (std::vector<std::string>{A("本地磁盘 (C:)"), A("可移动磁盘 (D:)"), A("CD 驱动器 (E:)"),
                                      A("控制面板")}));
  computer->Release();
}

TEST_F(NamespaceTest, ShellNameOrder) {
  struct Case {
    const char* first;
    const char* second;
    int expected;
  };
  const Case cases[] = {
      {"img2", "img10", -1},         // digit runs by value
      {"img10", "img2", 1},          //
      {"Apple", "banana", -1},       // letters without case
      {"apple", "APPLE", 1},         // equal but for case: ordered by bytes, never 0
      {"a", "a", 0},                 //
      {"file007", "file7", -1},      // equal values: by bytes
      {"x9y", "x10", -1},            // the number decides before what follows it
      {"_a", "0a", -1},              // punctuation before digits
      {"9", "a", -1},                // digits before letters
      {"z", "\xB0\xA1", -1},         // letters before Chinese (啊 in code page 936)
      {"\xB0\xA1", "\xB0\xA2", -1},  // Chinese by code (pinyin order in code page 936)
      {"ab", "abc", -1},             // a prefix first
      {"2", "10", -1},
      {"00", "0", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.first) + " vs " + c.second);
    EXPECT_EQ(win::CompareShellNames(c.first, c.second), c.expected);
    EXPECT_EQ(win::CompareShellNames(c.second, c.first), -c.expected) << "antisymmetric";
  }
}

TEST_F(NamespaceTest, Attributes) {
  Dir("c/desk/full/sub");
  Dir("c/desk/filesonly");
  scratch.Write("c/desk/filesonly/a.jpg", "x");
  Dir("c/desk/.secret");
  Dir("c/target");
  ASSERT_EQ(symlink(scratch.HostOf("c/target").c_str(), scratch.HostOf("c/desk/link").c_str()), 0);
  scratch.Write("c/desk/photo.jpg", "x");
  constexpr win::ULONG kMask = 0xF20B0000 | win::SFGAO_STREAM;
  using namespace win;
  struct Case {
    const char* path;
    ULONG expected;
  };
  const Case cases[] = {
      {"C:\\desk\\full",
       SFGAO_HASSUBFOLDER | SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_FILESYSANCESTOR},
      {"C:\\desk\\filesonly", SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_FILESYSANCESTOR},
      {"C:\\desk\\.secret", SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_HIDDEN},
      {"C:\\desk\\link", SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_LINK},
      {"C:\\desk\\photo.jpg", SFGAO_FILESYSTEM | SFGAO_STREAM},
      {"C:\\", SFGAO_HASSUBFOLDER | SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_FILESYSANCESTOR},
      {"D:\\", SFGAO_HASSUBFOLDER | SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_FILESYSANCESTOR |
                   SFGAO_REMOVABLE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    LPITEMIDLIST list = ILCreateFromPathA(c.path);
    ASSERT_NE(list, nullptr);
    LPITEMIDLIST last = ILFindLastID(list);
    LPITEMIDLIST parentList = ILClone(list);
    ILRemoveLastID(parentList);
    IShellFolder* parent = nullptr;
    ASSERT_EQ(desktop->BindToObject(parentList, nullptr, &parent), S_OK);
    ULONG attributes = kMask;
    win::LPCITEMIDLIST items[] = {last};
    EXPECT_EQ(parent->GetAttributesOf(1, items, &attributes), S_OK);
    EXPECT_EQ(attributes, c.expected) << std::hex << attributes;
    parent->Release();
    ILFree(parentList);
    ILFree(list);
  }

  // The shell's own items, asked of the desktop.
  struct SpecialCase {
    int csidl;
    ULONG expected;
  };
  const SpecialCase specials[] = {
      {CSIDL_DRIVES, SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_HASSUBFOLDER},
      {CSIDL_PERSONAL,
       SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_FILESYSTEM | SFGAO_HASSUBFOLDER},
      {CSIDL_NETWORK, SFGAO_FOLDER},
      {CSIDL_BITBUCKET, SFGAO_FOLDER},
  };
  for (const SpecialCase& c : specials) {
    SCOPED_TRACE(c.csidl);
    LPITEMIDLIST list = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, c.csidl, &list), S_OK);
    ULONG attributes = kMask;
    win::LPCITEMIDLIST items[] = {list};
    EXPECT_EQ(desktop->GetAttributesOf(1, items, &attributes), S_OK);
    EXPECT_EQ(attributes, c.expected) << std::hex << attributes;
    ILFree(list);
  }
}

TEST_F(NamespaceTest, AVanishedItemFailsItsAttributes) {
  Dir("c/desk/gone");
  LPITEMIDLIST list = win::ILCreateFromPathA("C:\\desk\\gone");
  ASSERT_NE(list, nullptr);
  std::filesystem::remove(scratch.HostOf("c/desk/gone"));
  IShellFolder* parent = Bind("C:\\desk");
  win::ULONG attributes = win::SFGAO_FOLDER | win::SFGAO_VALIDATE;
  win::LPCITEMIDLIST items[] = {win::ILFindLastID(list)};
  EXPECT_EQ(parent->GetAttributesOf(1, items, &attributes),
            win::HRESULT_FROM_WIN32(win::ERROR_FILE_NOT_FOUND));
  parent->Release();
  win::ILFree(list);
}

TEST_F(NamespaceTest, PathsOfItems) {
  Dir("c/desk/Photos/2006");
  struct Case {
    const char* why;
    int csidl;  // -1: the list of `path`
    const char* path;
    std::string expected;
  };
  const Case cases[] = {
      {"the desktop: its folder", win::CSIDL_DESKTOP, "", "C:\\desk"},
      {"documents: the home folder", win::CSIDL_PERSONAL, "", "C:\\home"},
      {"the computer has none", win::CSIDL_DRIVES, "", ""},
      {"the control panel has none", win::CSIDL_CONTROLS, "", ""},
      {"the recycle bin has none", win::CSIDL_BITBUCKET, "", ""},
      {"the network has none", win::CSIDL_NETWORK, "", ""},
      {"a drive root keeps its backslash", -1, "c:\\", "C:\\"},
      {"a folder has none at the end", -1, "C:\\desk\\photos\\2006\\", "C:\\desk\\Photos\\2006"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    LPITEMIDLIST list = nullptr;
    if (c.csidl >= 0) {
      ASSERT_EQ(win::SHGetSpecialFolderLocation(nullptr, c.csidl, &list), win::S_OK);
    } else {
      list = win::ILCreateFromPathA(c.path);
      ASSERT_NE(list, nullptr);
    }
    char path[win::MAX_PATH] = "sentinel";
    EXPECT_EQ(win::SHGetPathFromIDListA(list, path), c.expected.empty() ? win::FALSE : win::TRUE);
    EXPECT_EQ(std::string(path), c.expected);
    win::ILFree(list);
  }
  EXPECT_EQ(win::ILCreateFromPathA("C:\\desk\\missing"), nullptr);
  EXPECT_EQ(win::ILCreateFromPathA("Q:\\"), nullptr) << "a drive not in the table";
}

TEST_F(NamespaceTest, NamesOutsideGbkAndWithABackslashTrailByteRoundTrip) {
  for (const std::string& utf8 : {kTrailBackslash + "\xE7\x9B\xB8\xE5\x86\x8C",  // 乗相册
                                  "x" + kOutsideGbk, kTrailBackslash}) {
    SCOPED_TRACE(utf8);
    Dir("c/desk/" + utf8 + "/" + utf8);
    const std::string name = A(utf8);
    const std::string path = "C:\\desk\\" + name + "\\" + name;
    LPITEMIDLIST list = win::ILCreateFromPathA(path.c_str());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(win::ILGetCount(list), 5u) << "computer, drive, desk, name, name";
    char back[win::MAX_PATH];
    ASSERT_TRUE(win::SHGetPathFromIDListA(list, back));
    EXPECT_EQ(std::string(back), path);
    EXPECT_EQ(Name(desktop, list), name) << "in-folder name of the last item";
    win::ILFree(list);
    IShellFolder* folder = Bind("C:\\desk\\" + name);
    EXPECT_EQ(SortedNames(folder), std::vector<std::string>{name});
    folder->Release();
  }
}

TEST_F(NamespaceTest, AHostNameWithAForbiddenCharacterIsListedUnderItsStandIn) {
  Dir("c/desk/a:b/inner");
  IShellFolder* desk = Bind("C:\\desk");
  const std::vector<std::string> names = SortedNames(desk);
  desk->Release();
  ASSERT_EQ(names.size(), 1u);
  const std::string name = names[0];
  EXPECT_EQ(name.find_first_of("\\:"), std::string::npos) << "never splits a path";
  const std::string path = "C:\\desk\\" + name + "\\inner";
  LPITEMIDLIST list = win::ILCreateFromPathA(path.c_str());
  ASSERT_NE(list, nullptr);
  char back[win::MAX_PATH];
  ASSERT_TRUE(win::SHGetPathFromIDListA(list, back));
  EXPECT_EQ(std::string(back), path);
  win::ILFree(list);
}

TEST_F(NamespaceTest, DisplayNameResultKinds) {
  Dir("c/desk/Photos");
  LPITEMIDLIST list = win::ILCreateFromPathA("C:\\desk\\Photos");
  ASSERT_NE(list, nullptr);
  IShellFolder* parent = Bind("C:\\desk");
  win::LPCITEMIDLIST item = win::ILFindLastID(list);
  struct Case {
    const char* why;
    win::DWORD flags;
    win::UINT preset;
    win::UINT kind;
    std::string text;
  };
  const Case cases[] = {
      {"in-folder: an offset into the item", win::SHGDN_INFOLDER, win::STRRET_WSTR,
       win::STRRET_OFFSET, "Photos"},
      {"for editing: the name", win::SHGDN_INFOLDER | win::SHGDN_FOREDITING, win::STRRET_WSTR,
       win::STRRET_OFFSET, "Photos"},
      {"for parsing: the full path, wide", win::SHGDN_FORPARSING, win::STRRET_WSTR,
       win::STRRET_WSTR, "C:\\desk\\Photos"},
      {"ANSI buffer when asked for one", win::SHGDN_INFOLDER, win::STRRET_CSTR, win::STRRET_CSTR,
       "Photos"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    win::STRRET name{};
    name.uType = c.preset;
    ASSERT_EQ(parent->GetDisplayNameOf(item, c.flags, &name), win::S_OK);
    EXPECT_EQ(name.uType, c.kind);
    char buffer[win::MAX_PATH];
    ASSERT_EQ(win::StrRetToBufA(&name, item, buffer, sizeof buffer), win::S_OK);
    EXPECT_EQ(std::string(buffer), c.text);
  }
  // A multi-level list asked of the desktop answers with an offset into the whole list.
  EXPECT_EQ(Name(desktop, list), "Photos");
  EXPECT_EQ(Name(desktop, list, win::SHGDN_FORPARSING), "C:\\desk\\Photos");
  parent->Release();
  win::ILFree(list);
}

TEST_F(NamespaceTest, StrRetToBufCutsOnACharacterBoundary) {
  win::STRRET name{};
  name.uType = win::STRRET_CSTR;
  const std::string text = "a" + A("中文");  // a, then two double-byte characters
  std::memcpy(name.cStr, text.c_str(), text.size() + 1);
  char buffer[5];
  ASSERT_EQ(win::StrRetToBufA(&name, nullptr, buffer, 5), win::S_OK);
  EXPECT_EQ(std::string(buffer), text.substr(0, 3)) << "no half character at the end";
  EXPECT_EQ(win::StrRetToBufA(&name, nullptr, buffer, 0), win::E_INVALIDARG);
}

TEST_F(NamespaceTest, ARemovableDriveWithoutMediumFailsUntilSomethingIsThere) {
  IShellFolder* usb = Bind("D:\\");
  win::IEnumIDList* items = nullptr;
  EXPECT_EQ(usb->EnumObjects(nullptr, win::SHCONTF_FOLDERS, &items),
            win::HRESULT_FROM_WIN32(win::ERROR_NOT_READY));
  EXPECT_EQ(items, nullptr);
  Dir("usb/DCIM");
  EXPECT_EQ(SortedNames(usb), std::vector<std::string>{"DCIM"});
  usb->Release();

  // An optical drive whose folder is gone has no medium either; a plain folder that is gone
  // says so.
  std::filesystem::remove(scratch.HostOf("cd"));
  IShellFolder* cd = Bind("E:\\");
  EXPECT_EQ(cd->EnumObjects(nullptr, win::SHCONTF_FOLDERS, &items),
            win::HRESULT_FROM_WIN32(win::ERROR_NOT_READY));
  cd->Release();
  Dir("c/desk/locked");
  IShellFolder* locked = Bind("C:\\desk\\locked");
  std::filesystem::remove(scratch.HostOf("c/desk/locked"));
  EXPECT_EQ(locked->EnumObjects(nullptr, win::SHCONTF_FOLDERS, &items),
            win::HRESULT_FROM_WIN32(win::ERROR_PATH_NOT_FOUND));
  locked->Release();
}

TEST_F(NamespaceTest, BadListsAndBindings) {
  scratch.Write("c/desk/photo.jpg", "x");
  LPITEMIDLIST file = win::ILCreateFromPathA("C:\\desk\\photo.jpg");
  ASSERT_NE(file, nullptr);
  IShellFolder* folder = nullptr;
  EXPECT_EQ(desktop->BindToObject(file, nullptr, &folder), win::E_NOINTERFACE) << "a file";
  EXPECT_EQ(folder, nullptr);
  EXPECT_EQ(desktop->BindToObject(reinterpret_cast<win::LPCITEMIDLIST>("\0\0"), nullptr, &folder),
            win::E_INVALIDARG)
      << "the empty list";
  const unsigned char foreign[] = {5, 0, 0x77, 'x', 'y', 0, 0};
  const auto* bad = reinterpret_cast<win::LPCITEMIDLIST>(foreign);
  EXPECT_EQ(desktop->BindToObject(bad, nullptr, &folder), win::E_INVALIDARG) << "unknown kind";
  EXPECT_EQ(desktop->CompareIDs(0, bad, file), win::E_INVALIDARG);
  win::STRRET name{};
  EXPECT_EQ(desktop->GetDisplayNameOf(bad, win::SHGDN_INFOLDER, &name), win::E_INVALIDARG);
  char path[win::MAX_PATH];
  EXPECT_FALSE(win::SHGetPathFromIDListA(bad, path));
  EXPECT_TRUE(win::ILIsEqual(file, file));
  win::ILFree(file);
}

TEST_F(NamespaceTest, ComparisonOfAbsoluteLists) {
  Dir("c/desk/a/b");
  Dir("c/desk/a/c");
  struct Case {
    const char* first;
    const char* second;
    int expected;
  };
  const Case cases[] = {
      {"C:\\desk\\a\\b", "C:\\desk\\a\\c", -1},  // decided below the common folder
      {"C:\\desk\\a", "C:\\desk\\a\\b", -1},     // a folder before what it holds
      {"C:\\desk\\A\\B", "c:\\desk\\a\\b", 0},   // the same items, whatever the case typed
      {"C:\\", "D:\\", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.first) + " vs " + c.second);
    LPITEMIDLIST a = win::ILCreateFromPathA(c.first);
    LPITEMIDLIST b = win::ILCreateFromPathA(c.second);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    const HRESULT hr = desktop->CompareIDs(0, a, b);
    EXPECT_TRUE(win::SUCCEEDED(hr));
    EXPECT_EQ(static_cast<short>(win::HRESULT_CODE(hr)), c.expected);
    EXPECT_EQ(win::ILIsEqual(a, b), c.expected == 0);
    win::ILFree(a);
    win::ILFree(b);
  }
}

}  // namespace
