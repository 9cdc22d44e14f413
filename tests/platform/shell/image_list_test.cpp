#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/gdi/gdi.h"
#include "platform/kernel/kernel.h"
#include "platform/shell/image_list.h"
#include "platform/shell/shell_folder.h"
#include "tests/support/scratch_folder.h"

namespace {

using namespace win;

class SystemImageListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* dir : {"c/desk/Photos", "usb", "cd", "net"}) {
      std::filesystem::create_directories(scratch.HostOf(dir));
    }
    scratch.Write("c/desk/a.jpg", "x");
    SetDriveTable({{'C', scratch.HostOf("c"), DRIVE_FIXED},
                   {'D', scratch.HostOf("usb"), DRIVE_REMOVABLE},
                   {'E', scratch.HostOf("cd"), DRIVE_CDROM},
                   {'Z', scratch.HostOf("net"), DRIVE_REMOTE}});
    SetShellFolderLocations(scratch.HostOf("c/desk"), scratch.HostOf("c"));
  }
  void TearDown() override {
    SetSystemIconSource(nullptr);
    SetShellFolderLocations("", "");
    SetDriveTable({});
  }
  test_support::ScratchFolder scratch{"suotu-icons"};
};

TEST_F(SystemImageListTest, IconIndexesByKindOfItem) {
  struct Case {
    const char* path;  // nullptr: the CSIDL's list
    int csidl;
    UINT flags;
    int icon;
  };
  const Case cases[] = {
      {nullptr, CSIDL_DESKTOP, 0, siDesktop},
      {nullptr, CSIDL_PERSONAL, 0, siDocuments},
      {nullptr, CSIDL_DRIVES, 0, siComputer},
      {nullptr, CSIDL_NETWORK, 0, siNetwork},
      {nullptr, CSIDL_BITBUCKET, 0, siRecycleBin},
      {nullptr, CSIDL_CONTROLS, 0, siControlPanel},
      {"C:\\", 0, 0, siFixedDrive},
      {"D:\\", 0, 0, siRemovableDrive},
      {"E:\\", 0, 0, siCdDrive},
      {"Z:\\", 0, 0, siRemoteDrive},
      {"C:\\desk\\Photos", 0, 0, siFolder},
      {"C:\\desk\\photos", 0, SHGFI_OPENICON, siFolderOpen},
      {"C:\\desk\\a.jpg", 0, 0, siFile},
  };
  HIMAGELIST system = nullptr;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path != nullptr ? c.path : std::to_string(c.csidl));
    SHFILEINFOA info{};
    info.iIcon = -1;
    std::uintptr_t result;
    if (c.path != nullptr) {
      result = SHGetFileInfoA(c.path, 0, &info, sizeof info,
                              SHGFI_SYSICONINDEX | SHGFI_SMALLICON | c.flags);
    } else {
      LPITEMIDLIST list = nullptr;
      ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, c.csidl, &list), S_OK);
      result = SHGetFileInfoA(reinterpret_cast<const char*>(list), 0, &info, sizeof info,
                              SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | c.flags);
      ILFree(list);
    }
    ASSERT_NE(result, 0u);
    if (system == nullptr) system = reinterpret_cast<HIMAGELIST>(result);
    EXPECT_EQ(reinterpret_cast<HIMAGELIST>(result), system) << "one shared list";
    EXPECT_EQ(info.iIcon, c.icon);
  }
  EXPECT_EQ(ImageList_GetImageCount(system), int(siIconCount));
  SHFILEINFOA info{};
  EXPECT_EQ(SHGetFileInfoA("C:\\desk\\missing", 0, &info, sizeof info, SHGFI_SYSICONINDEX), 0u);
  EXPECT_EQ(SHGetFileInfoA("C:\\", 0, &info, 10, SHGFI_SYSICONINDEX), 0u) << "short info";
}

// Icons coded by position: the folder is opaque red on its top half, half-transparent red on
// row 8 and clear below; the shortcut overlay is one blue pixel at the bottom right.
bool CodedIcons(SystemIcon icon, std::uint32_t* pixels) {
  std::fill(pixels, pixels + 256, 0u);
  if (icon == siFolder) {
    for (int i = 0; i < 8 * 16; ++i) pixels[i] = 0xFFFF0000;
    for (int x = 0; x < 16; ++x) pixels[8 * 16 + x] = 0x80FF0000;
    return true;
  }
  if (icon == siShortcutOverlay) {
    pixels[255] = 0xFF0000FF;
    return true;
  }
  return false;
}

TEST_F(SystemImageListTest, DrawsOverWhatIsThereOrOnTheBackgroundColour) {
  SetSystemIconSource(CodedIcons);
  SHFILEINFOA info{};
  auto list = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  ASSERT_NE(list, nullptr);
  struct Case {
    const char* why;
    COLORREF background;
    UINT style;
    COLORREF top, blended, bottom, corner;
  };
  const COLORREF kSentinel = RGB(0, 200, 0);
  const Case cases[] = {
      {"no background: the clear part keeps the sentinel", CLR_NONE, ILD_NORMAL, RGB(255, 0, 0),
       RGB(128, 100, 0), kSentinel, kSentinel},
      {"tree colour: an opaque square of it", RGB(255, 255, 255), ILD_NORMAL, RGB(255, 0, 0),
       RGB(255, 127, 127), RGB(255, 255, 255), RGB(255, 255, 255)},
      {"shortcut overlay on top", CLR_NONE, INDEXTOOVERLAYMASK(2), RGB(255, 0, 0), RGB(128, 100, 0),
       kSentinel, RGB(0, 0, 255)},
      {"the shared overlay is clear here", CLR_NONE, INDEXTOOVERLAYMASK(1), RGB(255, 0, 0),
       RGB(128, 100, 0), kSentinel, kSentinel},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 40, -40, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP target = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, target);
    std::fill(static_cast<std::uint32_t*>(bits), static_cast<std::uint32_t*>(bits) + 1600,
              0x0000C800u);
    ImageList_SetBkColor(list, c.background);
    ASSERT_TRUE(ImageList_Draw(list, siFolder, dc, 10, 12, c.style));
    EXPECT_EQ(GetPixel(dc, 10, 12), c.top);
    EXPECT_EQ(GetPixel(dc, 25, 19), c.top);
    EXPECT_EQ(GetPixel(dc, 17, 20), c.blended);
    EXPECT_EQ(GetPixel(dc, 10, 21), c.bottom);
    EXPECT_EQ(GetPixel(dc, 25, 27), c.corner);
    EXPECT_EQ(GetPixel(dc, 9, 12), kSentinel) << "nothing outside the icon";
    EXPECT_EQ(GetPixel(dc, 26, 27), kSentinel);
    EXPECT_EQ(GetPixel(dc, 25, 28), kSentinel);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(target);
  }
  ImageList_SetBkColor(list, CLR_NONE);
  EXPECT_FALSE(ImageList_Draw(list, siIconCount, nullptr, 0, 0, ILD_NORMAL));
  EXPECT_FALSE(ImageList_SetOverlayImage(list, 0, 5));
  EXPECT_TRUE(ImageList_GetPixels(list, -1).empty());
}

}  // namespace
