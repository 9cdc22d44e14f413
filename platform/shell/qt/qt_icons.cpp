#include "platform/shell/qt/qt_icons.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QImage>
#include <QStandardPaths>
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

// Without a desktop's platform theme Qt searches its resources only; the installed themes
// live in the data folders' "icons", and Adwaita is the one the setup installs.
void FindInstalledThemes() {
  static const bool done = [] {
    QStringList paths = QIcon::themeSearchPaths();
    const QStringList found = QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
                                                        "icons", QStandardPaths::LocateDirectory);
    for (const QString& dir : found)
      if (!paths.contains(dir)) paths.append(dir);
    QIcon::setThemeSearchPaths(paths);
    // The generic desktop answers the bare "hicolor", which has neither folders nor emblems.
    const auto bare = [](const QString& name) { return name.isEmpty() || name == "hicolor"; };
    if (bare(QIcon::themeName())) QIcon::setThemeName("Adwaita");
    if (bare(QIcon::fallbackThemeName())) QIcon::setFallbackThemeName("Adwaita");
    return true;
  }();
  (void)done;
}

// The overlays are emblems drawn over the icon's bottom-left quarter.
constexpr int kOverlaySize = 8;

bool LoadIcon(SystemIcon which, std::uint32_t* pixels) {
  const IconNames& names = kIcons[which];
  FindInstalledThemes();
  const bool overlay = which == siSharedOverlay || which == siShortcutOverlay;
  const int size = overlay ? kOverlaySize : 16;
  QIcon icon = QIcon::fromTheme(names.theme);
  if (icon.isNull() && names.fallback != QStyle::SP_CustomBase && qApp != nullptr &&
      qobject_cast<QApplication*>(qApp) != nullptr) {
    icon = QApplication::style()->standardIcon(names.fallback);
  }
  if (icon.isNull()) return false;
  QImage image = icon.pixmap(size, size).toImage();
  if (image.isNull()) return false;
  if (image.size() != QSize(size, size))
    image = image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  image = image.convertToFormat(QImage::Format_ARGB32);  // straight alpha, 0xAARRGGBB
  std::fill(pixels, pixels + 256, 0u);
  const int left = overlay ? 0 : (16 - image.width()) / 2;
  const int top = overlay ? 16 - image.height() : (16 - image.height()) / 2;
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
