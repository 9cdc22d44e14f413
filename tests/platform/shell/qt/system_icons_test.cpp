#include <gtest/gtest.h>

#include <QApplication>
#include <algorithm>

#include "platform/shell/image_list.h"
#include "platform/shell/qt/qt_icons.h"

namespace {

using namespace win;

TEST(SystemIconsTest, EveryItemKindGetsAVisibleIcon) {
  int argc = 1;
  char name[] = "system_icons_test";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  InstallSystemIcons();
  SHFILEINFOA info{};
  // The desktop's empty list.
  auto list = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoA("\0\0", 0, &info, sizeof info, SHGFI_PIDL | SHGFI_SYSICONINDEX));
  ASSERT_NE(list, nullptr);
  for (int icon = 0; icon < siSharedOverlay; ++icon) {
    SCOPED_TRACE(icon);
    const std::vector<std::uint32_t> pixels = ImageList_GetPixels(list, icon);
    ASSERT_EQ(pixels.size(), 256u);
    const auto visible = std::count_if(pixels.begin(), pixels.end(),
                                       [](std::uint32_t p) { return (p >> 24) >= 128; });
    EXPECT_GT(visible, 20) << "an icon, not a blank or a dot";
    EXPECT_LT(visible, 256) << "an icon has a clear outline, not a full square";
  }
  // The emblems come from the installed theme and keep to the bottom-left quarter.
  for (int overlay : {siSharedOverlay, siShortcutOverlay}) {
    SCOPED_TRACE(overlay);
    const std::vector<std::uint32_t> pixels = ImageList_GetPixels(list, overlay);
    ASSERT_EQ(pixels.size(), 256u);
    int inside = 0, outside = 0;
    for (int i = 0; i < 256; ++i)
      if ((pixels[i] >> 24) != 0) ++(i % 16 < 8 && i / 16 >= 8 ? inside : outside);
    EXPECT_GT(inside, 8);
    EXPECT_EQ(outside, 0);
  }
  SetSystemIconSource(nullptr);
  EXPECT_EQ(ImageList_GetPixels(list, siFolder), std::vector<std::uint32_t>(256, 0u))
      << "without a source the icons are clear";
}

}  // namespace
