// The system small-icon image list and SHGetFileInfo's icon indexes.
//
// The list holds 16 x 16 icons as 32-bit pixels with alpha (0xAARRGGBB), one per kind of shell
// item, and the shared and shortcut overlays as overlays 1 and 2. Its pixels come from the
// icon source the program installs (platform/shell/qt: the icon theme, else Qt's standard
// icons); without one the icons are transparent and the indexes are still right.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/shell/item_list.h"

namespace win {

struct IMAGELIST;
using HIMAGELIST = IMAGELIST*;

constexpr COLORREF CLR_NONE = 0xFFFFFFFF;
constexpr UINT ILD_NORMAL = 0x0000;
constexpr UINT ILD_TRANSPARENT = 0x0001;
constexpr UINT ILD_OVERLAYMASK = 0x0F00;
constexpr UINT INDEXTOOVERLAYMASK(UINT overlay) {
  return overlay << 8;
}

int ImageList_GetImageCount(HIMAGELIST list);
BOOL ImageList_GetIconSize(HIMAGELIST list, int* width, int* height);
// The previous background colour. CLR_NONE draws icons over what is there; a colour draws
// them on an opaque square of it.
COLORREF ImageList_SetBkColor(HIMAGELIST list, COLORREF colour);
COLORREF ImageList_GetBkColor(HIMAGELIST list);
// Makes image `image` overlay number `overlay` (1 to 4).
BOOL ImageList_SetOverlayImage(HIMAGELIST list, int image, int overlay);
// Draws image `index` at (x, y), then the overlay that `style` names (INDEXTOOVERLAYMASK).
BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style);
// Not a Windows call: the pixels of an image (row by row, top first), empty for a bad index.
std::vector<std::uint32_t> ImageList_GetPixels(HIMAGELIST list, int index);

// The kinds of icon in the system list; the value is the icon's index.
enum SystemIcon : int {
  siFile,
  siFolder,
  siFolderOpen,
  siDesktop,
  siDocuments,
  siComputer,
  siFixedDrive,
  siRemovableDrive,
  siCdDrive,
  siRemoteDrive,
  siNetwork,
  siRecycleBin,
  siControlPanel,
  siSharedOverlay,
  siShortcutOverlay,
  siIconCount
};

// Fills the 256 pixels of one icon; false leaves it transparent.
using SystemIconSource = std::function<bool(SystemIcon icon, std::uint32_t* pixels)>;
// Not a Windows call: the source of the system list's pixels; icons are loaded again from it.
void SetSystemIconSource(SystemIconSource source);

constexpr UINT SHGFI_ICON = 0x000000100;
constexpr UINT SHGFI_DISPLAYNAME = 0x000000200;
constexpr UINT SHGFI_SYSICONINDEX = 0x000004000;
constexpr UINT SHGFI_LINKOVERLAY = 0x000008000;
constexpr UINT SHGFI_SELECTED = 0x000010000;
constexpr UINT SHGFI_ATTRIBUTES = 0x000000800;
constexpr UINT SHGFI_SMALLICON = 0x000000001;
constexpr UINT SHGFI_OPENICON = 0x000000002;
constexpr UINT SHGFI_PIDL = 0x000000008;

struct SHFILEINFOA {
  void* hIcon;
  int iIcon;
  DWORD dwAttributes;
  char szDisplayName[MAX_PATH];
  char szTypeName[80];
};

// With SHGFI_SYSICONINDEX: the icon index of a Windows path, or of an absolute list with
// SHGFI_PIDL (SHGFI_OPENICON: the open-state icon), and the system list as the result; 0 when
// the item does not exist. Only the small list is kept; large requests get the same list.
std::uintptr_t SHGetFileInfoA(const char* pathOrList, DWORD fileAttributes, SHFILEINFOA* info,
                              UINT infoSize, UINT flags);

}  // namespace win
