// The system small-icon image list: fixed icon indexes per kind of item, pixels from the
// installed icon source, drawn through our GDI.
#include "platform/shell/image_list.h"

#include <array>
#include <cstring>
#include <mutex>

#include "platform/shell/shell_internal.h"

namespace win {

constexpr int kIconSize = 16;
constexpr int kPixels = kIconSize * kIconSize;

struct IMAGELIST {
  std::vector<std::array<std::uint32_t, kPixels>> images;
  std::array<int, 5> overlays{-1, -1, -1, -1, -1};  // 1..4 used
  COLORREF background = CLR_NONE;
};

namespace {

struct SystemList {
  std::mutex mutex;
  SystemIconSource source;
  IMAGELIST list;
  bool loaded = false;
};

SystemList& System() {
  static auto* system = new SystemList;  // shared by every user until exit, never destroyed
  return *system;
}

void LoadIcons(SystemList& s) {
  s.list.images.assign(siIconCount, {});
  for (int i = 0; i < siIconCount; ++i) {
    std::array<std::uint32_t, kPixels>& pixels = s.list.images[i];
    if (s.source && !s.source(SystemIcon(i), pixels.data())) pixels.fill(0);
  }
  s.list.overlays[1] = siSharedOverlay;
  s.list.overlays[2] = siShortcutOverlay;
  s.loaded = true;
}

HIMAGELIST SystemSmallList() {
  SystemList& s = System();
  std::lock_guard lock(s.mutex);
  if (!s.loaded) LoadIcons(s);
  return &s.list;
}

bool ValidIndex(HIMAGELIST list, int index) {
  return list != nullptr && index >= 0 && index < int(list->images.size());
}

// Source-over in 8-bit integers: `pixel` (0xAARRGGBB, straight alpha) onto `under` (0x00RRGGBB).
std::uint32_t Over(std::uint32_t pixel, std::uint32_t under) {
  const std::uint32_t a = pixel >> 24;
  if (a == 0) return under;
  if (a == 255) return pixel & 0xFFFFFF;
  std::uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const std::uint32_t top = (pixel >> shift) & 0xFF;
    const std::uint32_t bottom = (under >> shift) & 0xFF;
    out |= ((top * a + bottom * (255 - a) + 127) / 255) << shift;
  }
  return out;
}

int IconOfLocation(const shell::Location& loc, const std::optional<shell::Item>& last, bool open) {
  using namespace shell;
  if (!last) return siDesktop;
  switch (last->kind) {
    case kKindSpecial:
      switch (last->tag) {
        case kDocuments:
          return siDocuments;
        case kComputer:
          return siComputer;
        case kNetwork:
          return siNetwork;
        case kRecycleBin:
          return siRecycleBin;
        default:
          return siControlPanel;
      }
    case kKindDrive:
      switch (loc.driveType) {
        case DRIVE_REMOVABLE:
          return siRemovableDrive;
        case DRIVE_CDROM:
          return siCdDrive;
        case DRIVE_REMOTE:
          return siRemoteDrive;
        default:
          return siFixedDrive;
      }
    case kKindFolder:
      return open ? siFolderOpen : siFolder;
    default:
      return siFile;
  }
}

}  // namespace

void SetSystemIconSource(SystemIconSource source) {
  SystemList& s = System();
  std::lock_guard lock(s.mutex);
  s.source = std::move(source);
  LoadIcons(s);
}

int ImageList_GetImageCount(HIMAGELIST list) {
  return list == nullptr ? 0 : int(list->images.size());
}

BOOL ImageList_GetIconSize(HIMAGELIST list, int* width, int* height) {
  if (list == nullptr || width == nullptr || height == nullptr) return FALSE;
  *width = *height = kIconSize;
  return TRUE;
}

COLORREF ImageList_SetBkColor(HIMAGELIST list, COLORREF colour) {
  if (list == nullptr) return CLR_NONE;
  const COLORREF previous = list->background;
  list->background = colour;
  return previous;
}

COLORREF ImageList_GetBkColor(HIMAGELIST list) {
  return list == nullptr ? CLR_NONE : list->background;
}

BOOL ImageList_SetOverlayImage(HIMAGELIST list, int image, int overlay) {
  if (!ValidIndex(list, image) || overlay < 1 || overlay > 4) return FALSE;
  list->overlays[overlay] = image;
  return TRUE;
}

std::vector<std::uint32_t> ImageList_GetPixels(HIMAGELIST list, int index) {
  if (!ValidIndex(list, index)) return {};
  return {list->images[index].begin(), list->images[index].end()};
}

BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style) {
  if (!ValidIndex(list, index) || dc == nullptr) return FALSE;
  const UINT overlay = (style & ILD_OVERLAYMASK) >> 8;
  const int overlayImage = overlay >= 1 && overlay <= 4 ? list->overlays[overlay] : -1;

  // Compose in a 32-bit DIB: what is there (or the background colour), the icon, its overlay.
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = kIconSize;
  info.bmiHeader.biHeight = -kIconSize;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dib == nullptr) return FALSE;
  HDC memory = CreateCompatibleDC(dc);
  if (memory == nullptr) {
    DeleteObject(dib);
    return FALSE;
  }
  HGDIOBJ old = SelectObject(memory, dib);
  auto* pixels = static_cast<std::uint32_t*>(bits);
  const bool opaque = list->background != CLR_NONE && (style & ILD_TRANSPARENT) == 0;
  if (opaque) {
    const COLORREF c = list->background;
    const std::uint32_t fill =
        (std::uint32_t(GetRValue(c)) << 16) | (std::uint32_t(GetGValue(c)) << 8) | GetBValue(c);
    std::fill(pixels, pixels + kPixels, fill);
  } else {
    BitBlt(memory, 0, 0, kIconSize, kIconSize, dc, x, y, SRCCOPY);
  }
  GdiFlush();
  for (int i = 0; i < kPixels; ++i) {
    std::uint32_t p = Over(list->images[index][i], pixels[i] & 0xFFFFFF);
    if (overlayImage >= 0) p = Over(list->images[overlayImage][i], p);
    pixels[i] = p;
  }
  const BOOL done = BitBlt(dc, x, y, kIconSize, kIconSize, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(dib);
  return done;
}

std::uintptr_t SHGetFileInfoA(const char* pathOrList, DWORD, SHFILEINFOA* info, UINT infoSize,
                              UINT flags) {
  if (pathOrList == nullptr) return 0;
  if (info != nullptr && infoSize < sizeof(SHFILEINFOA)) return 0;
  LPITEMIDLIST owned = nullptr;
  LPCITEMIDLIST list = nullptr;
  if (flags & SHGFI_PIDL) {
    list = reinterpret_cast<LPCITEMIDLIST>(pathOrList);
  } else {
    owned = ILCreateFromPathA(pathOrList);
    list = owned;
  }
  shell::Location loc;
  const bool found =
      list != nullptr && SUCCEEDED(shell::DescendList(shell::DesktopLocation(), list, &loc));
  std::optional<shell::Item> last;
  if (found && !ILIsEmpty(list)) last = shell::ParseItem(ILFindLastID(list));
  ILFree(owned);
  if (!found) return 0;
  const int icon = IconOfLocation(loc, last, (flags & SHGFI_OPENICON) != 0);
  if (info != nullptr) {
    std::memset(info, 0, sizeof *info);
    info->iIcon = icon;
  }
  if (flags & SHGFI_SYSICONINDEX) return reinterpret_cast<std::uintptr_t>(SystemSmallList());
  return 1;
}

}  // namespace win
