// Every kind of handle the platform hands out, deleted and then used again after new objects
// were made: the old handle is refused and never reaches a new object.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/metafile.h"
#include "platform/kernel/kernel.h"
#include "platform/user/window.h"
#include "tests/support/scratch_folder.h"

namespace {

using namespace win;

constexpr DWORD kUntouched = 0xDEAD;

// The file the kernel's file handles open, in a scratch folder of this test process.
const std::string& ScratchFile() {
  static const test_support::ScratchFolder folder("suotu-handles");
  static const std::string path = [] {
    folder.Write("three.bin", "abc");
    return folder.Win("three.bin");
  }();
  return path;
}

std::vector<BYTE> EnhancedBits() {
  std::vector<BYTE> bytes(sizeof(ENHMETAHEADER), 0);
  ENHMETAHEADER header{};
  header.iType = EMR_HEADER;
  header.nSize = sizeof header;
  header.dSignature = ENHMETA_SIGNATURE;
  header.nBytes = sizeof header;
  header.nRecords = 1;
  std::memcpy(bytes.data(), &header, sizeof header);
  return bytes;
}

std::vector<BYTE> WindowsMetafileBits() {
  std::vector<BYTE> bytes(18, 0);
  bytes[0] = 1;  // in memory
  bytes[2] = 9;  // header words
  bytes[6] = 9;  // size in words
  return bytes;
}

struct Case {
  const char* name;
  const char* registry;  // handles of one registry may be passed to each other's calls
  std::function<void*()> make;
  std::function<bool(void*)> use;      // true when the call took the handle as live
  std::function<bool(void*)> destroy;  // true when the handle was deleted
  DWORD error;                         // what a refused handle reports
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << c.name;
}

std::vector<Case> Cases() {
  return {
      {"Brush", "gdi", [] { return CreateSolidBrush(RGB(1, 2, 3)); },
       [](void* h) {
         LOGBRUSH brush{};
         return GetObjectA(h, sizeof brush, &brush) == sizeof brush &&
                brush.lbColor == RGB(1, 2, 3);
       },
       [](void* h) { return DeleteObject(h) != FALSE; }, ERROR_INVALID_HANDLE},
      {"Bitmap", "gdi", [] { return CreateBitmap(3, 2, 1, 32, nullptr); },
       [](void* h) {
         BITMAP bitmap{};
         return GetObjectA(h, sizeof bitmap, &bitmap) == sizeof bitmap && bitmap.bmWidth == 3;
       },
       [](void* h) { return DeleteObject(h) != FALSE; }, ERROR_INVALID_HANDLE},
      {"Palette", "gdi", [] { return CreateHalftonePalette(nullptr); },
       [](void* h) { return GetPaletteEntries(static_cast<HPALETTE>(h), 0, 0, nullptr) > 0; },
       [](void* h) { return DeleteObject(h) != FALSE; }, ERROR_INVALID_HANDLE},
      {"MemoryDc", "gdi", [] { return CreateCompatibleDC(nullptr); },
       [](void* h) { return SetBkMode(static_cast<HDC>(h), TRANSPARENT) != 0; },
       [](void* h) { return DeleteDC(static_cast<HDC>(h)) != FALSE; }, ERROR_INVALID_HANDLE},
      {"EnhancedMetafile", "emf",
       [] {
         const std::vector<BYTE> bits = EnhancedBits();
         return SetEnhMetaFileBits(UINT(bits.size()), bits.data());
       },
       [](void* h) { return GetEnhMetaFileBits(static_cast<HENHMETAFILE>(h), 0, nullptr) > 0; },
       [](void* h) { return DeleteEnhMetaFile(static_cast<HENHMETAFILE>(h)) != FALSE; },
       ERROR_INVALID_HANDLE},
      {"WindowsMetafile", "wmf",
       [] {
         const std::vector<BYTE> bits = WindowsMetafileBits();
         return SetMetaFileBitsEx(UINT(bits.size()), bits.data());
       },
       [](void* h) { return GetMetaFileBitsEx(static_cast<HMETAFILE>(h), 0, nullptr) > 0; },
       [](void* h) { return DeleteMetaFile(static_cast<HMETAFILE>(h)) != FALSE; },
       ERROR_INVALID_HANDLE},
      {"File", "kernel",
       [] {
         return CreateFileA(ScratchFile().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
       },
       [](void* h) {
         LONGLONG size = 0;
         return GetFileSizeEx(h, &size) && size == 3;
       },
       [](void* h) { return CloseHandle(h) != FALSE; }, ERROR_INVALID_HANDLE},
      {"GlobalMemory", "global", [] { return GlobalAlloc(GMEM_MOVEABLE, 24); },
       [](void* h) { return GlobalSize(h) == 24; },
       [](void* h) { return GlobalFree(h) == nullptr; }, ERROR_INVALID_HANDLE},
      {"Window", "window", [] { return CreateMessageWindow(); },
       [](void* h) {
         SetLastError(kUntouched);
         SetWindowLongPtrA(static_cast<HWND>(h), GWLP_USERDATA, 7);
         return GetLastError() == ERROR_SUCCESS;
       },
       [](void* h) { return DestroyWindow(static_cast<HWND>(h)) != FALSE; },
       ERROR_INVALID_WINDOW_HANDLE},
  };
}

class StaleHandles : public testing::TestWithParam<Case> {};

TEST_P(StaleHandles, OldHandleIsRefusedAfterNewObjectsAreMade) {
  const Case& c = GetParam();
  const int gdiObjects = GdiObjectCount();
  void* old = c.make();
  ASSERT_NE(old, nullptr);
  ASSERT_NE(old, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(c.use(old));
  ASSERT_TRUE(c.destroy(old));

  // Enough objects that freed slots, the old one first, come round again, and that the
  // allocator has long since reused the old object's memory. Some stay alive meanwhile.
  std::vector<void*> made;
  for (int i = 0; i < 2000; ++i) {
    void* h = c.make();
    ASSERT_NE(h, nullptr);
    ASSERT_NE(h, old) << "object " << i;
    if (i % 20 == 0) {
      made.push_back(h);
    } else {
      ASSERT_TRUE(c.destroy(h));
    }
  }

  SetLastError(kUntouched);
  EXPECT_FALSE(c.use(old));
  EXPECT_EQ(GetLastError(), c.error);
  SetLastError(kUntouched);
  EXPECT_FALSE(c.destroy(old));
  EXPECT_EQ(GetLastError(), c.error);

  // Refusing the old handle touched none of the new objects.
  for (void* h : made) {
    ASSERT_TRUE(c.use(h));
    ASSERT_TRUE(c.destroy(h));
  }
  EXPECT_EQ(GdiObjectCount(), gdiObjects);
}

INSTANTIATE_TEST_SUITE_P(EveryRegistry, StaleHandles, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.name);
                         });

// A live handle of one registry passed to another registry's calls is refused there and
// stays live.
TEST(StaleHandles, HandleOfOneRegistryIsRefusedByTheOthers) {
  const std::vector<Case> cases = Cases();
  std::vector<void*> handles;
  for (const Case& c : cases) handles.push_back(c.make());
  for (std::size_t owner = 0; owner < cases.size(); ++owner) {
    for (const Case& other : cases) {
      if (std::strcmp(other.registry, cases[owner].registry) == 0) continue;
      SetLastError(kUntouched);
      EXPECT_FALSE(other.use(handles[owner])) << cases[owner].name << " in " << other.name;
      EXPECT_FALSE(other.destroy(handles[owner])) << cases[owner].name << " in " << other.name;
      EXPECT_EQ(GetLastError(), other.error) << cases[owner].name << " in " << other.name;
    }
  }
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_TRUE(cases[i].use(handles[i])) << cases[i].name;
    EXPECT_TRUE(cases[i].destroy(handles[i])) << cases[i].name;
  }
}

// What stale handles must not change: stock objects outlive DeleteObject, a selected bitmap
// cannot be deleted, and a deferred deletion makes the handle stale only when it happens.
TEST(StaleHandles, StockAndSelectedObjectsKeepTheirRules) {
  HGDIOBJ white = GetStockObject(WHITE_BRUSH);
  EXPECT_TRUE(DeleteObject(white));
  EXPECT_EQ(GetObjectType(white), UINT(OBJ_BRUSH));
  EXPECT_EQ(GetStockObject(WHITE_BRUSH), white);

  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateBitmap(2, 2, 1, 32, nullptr);
  HGDIOBJ stockBitmap = SelectObject(dc, bitmap);
  EXPECT_FALSE(DeleteObject(bitmap));
  EXPECT_EQ(GetObjectType(bitmap), UINT(OBJ_BITMAP));

  HBRUSH brush = CreateSolidBrush(RGB(9, 9, 9));
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  EXPECT_TRUE(DeleteObject(brush));  // deferred while selected
  EXPECT_EQ(GetObjectType(brush), UINT(OBJ_BRUSH));
  SelectObject(dc, oldBrush);
  SetLastError(kUntouched);
  EXPECT_EQ(GetObjectType(brush), 0u) << "gone once the DC let it go";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  SelectObject(dc, stockBitmap);
  EXPECT_TRUE(DeleteObject(bitmap));
  EXPECT_TRUE(DeleteDC(dc));
}

}  // namespace
