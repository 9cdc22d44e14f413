#include "platform/shell/qt/qt_icons.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QStyle>

#include "platform/shell/image_list.h"

namespace win {

namespace {

struct IconNames {
  const char* theme;  // freedesktop icon name
  QStyle::StandardPixmap fallback;
};

// Indexed by SystemIcon. The overlays have no standard icon; they stay transparent without a
// theme rather than covering the folder icon with something unrelated.
const IconNames kIcons[siIconCount] = {
    {"text-x-generic", QStyle::SP_FileIcon},
    {"folder", QStyle::SP_DirClosedIcon},
    {"folder-open", QStyle::SP_DirOpenIcon},
    {"user-desktop", QStyle::SP_DesktopIcon},
    {"folder-documents", QStyle::SP_DirHomeIcon},
    {"computer", QStyle::SP_ComputerIcon},
    {"drive-harddisk", QStyle::SP_DriveHDIcon},
    {"drive-removable-media", QStyle::SP_DriveFDIcon},
    {"media-optical", QStyle::SP_DriveCDIcon},
    {"folder-remote", QStyle::SP_DriveNetIcon},
    {"network-workgroup", QStyle::SP_DriveNetIcon},
    {"user-trash", QStyle::SP_TrashIcon},
    {"preferences-system", QStyle::SP_ComputerIcon},
    {"emblem-shared", QStyle::SP_CustomBase},
    {"emblem-symbolic-link", QStyle::SP_CustomBase},
};

bool LoadIcon(SystemIcon which, std::uint32_t* pixels) {
  const IconNames& names = kIcons[which];
  if (QIcon::themeName().isEmpty()) QIcon::setThemeName("Adwaita");
  QIcon icon = QIcon::fromTheme(names.theme);
  if (icon.isNull() && names.fallback != QStyle::SP_CustomBase && qApp != nullptr &&
      qobject_cast<QApplication*>(qApp) != nullptr) {
    icon = QApplication::style()->standardIcon(names.fallback);
  }
  if (icon.isNull()) return false;
  QImage image = icon.pixmap(16, 16).toImage();
  if (image.isNull()) return false;
  if (image.size() != QSize(16, 16))
    image = image.scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  image = image.convertToFormat(QImage::Format_ARGB32);  // straight alpha, 0xAARRGGBB
  std::fill(pixels, pixels + 256, 0u);
  const int left = (16 - image.width()) / 2;
  const int top = (16 - image.height()) / 2;
  for (int y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) pixels[(top + y) * 16 + left + x] = row[x];
  }
  return true;
}

}  // namespace

void InstallSystemIcons() {
  SetSystemIconSource(LoadIcon);
}

}  // namespace win
