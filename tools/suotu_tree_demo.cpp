// Shows the folder tree over a small drive table of its own, twice side by side in the main
// window's frame colours (the left one without the focus, the right one focused with its hot
// frame), so icons, overlays, ghosting, lines, buttons and frames can be checked by eye and in
// a screenshot under Xvfb. Not part of the program.
//   suotu-tree-demo [--quit-after MS]
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "browse/shell_tree.h"
#include "platform/kernel/kernel.h"
#include "platform/shell/qt/qt_icons.h"
#include "ui/forms.h"

namespace {

std::string A(const char* utf8) {
  return win::Utf8ToAnsi(utf8).value_or("?");
}

TRzShellTree* PlaceTree(TForm* form, int left, const char* folder) {
  auto* tree = new TRzShellTree(form);
  tree->SetBounds(left, 8, 165, 509);
  tree->SetParent(form);
  tree->SetFrameVisible(true);
  tree->SetFrameColor(TColor(12638925));
  tree->SetFrameHotColor(TColor(12638925));
  tree->SetFrameHotTrack(true);
  tree->Refill();
  win::LPITEMIDLIST list = win::ILCreateFromPathA(folder);
  tree->NavigateTo(list);
  win::ILFree(list);
  return tree;
}

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/suotu-tree-demo-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 2;
  const std::filesystem::path root = pattern;
  const std::filesystem::path c = root / "c";
  for (const char* dir : {"desk", "home", "Photos/2006/spring", "Photos/.hidden", "Photos/img2",
                          "Photos/img10", "Program Files", "Windows"})
    std::filesystem::create_directories(c / dir);
  std::filesystem::create_directories(root / "usb");
  std::filesystem::create_directories(root / "cd");
  std::filesystem::create_directories(c / "desk" / "旅行照片");
  std::filesystem::create_directory_symlink(c / "Photos" / "2006", c / "Photos" / "link");
  win::SetDriveTable({{'C', c.string(), win::DRIVE_FIXED},
                      {'D', (root / "usb").string(), win::DRIVE_REMOVABLE},
                      {'E', (root / "cd").string(), win::DRIVE_CDROM}});
  win::SetShellFolderLocations((c / "desk").string(), (c / "home").string());

  int result = 0;
  {
    ApplicationSession session(argc, argv);
    Application->Initialize();
    win::InstallSystemIcons();
    auto* form = new TForm(Application);
    form->SetCaption(A("文件夹树"));
    form->SetPosition(TPosition::poDesktopCenter);
    form->SetClientWidth(354);
    form->SetClientHeight(525);
    form->SetColor(TColor(0x00F4EEE8));
    PlaceTree(form, 8, "C:\\Photos\\img2");
    TRzShellTree* focused = PlaceTree(form, 181, "C:\\Photos\\2006\\spring");
    if (argc > 2 && std::strcmp(argv[1], "--quit-after") == 0)
      QTimer::singleShot(std::atoi(argv[2]), [] { Application->Terminate(); });
    QTimer::singleShot(0, [focused] { focused->SetFocus(); });
    Application->Run();
  }
  win::SetShellFolderLocations("", "");
  win::SetDriveTable({});
  std::filesystem::remove_all(root);
  return result;
}
