// The program: the runtime and modules, the application object, the main window from its
// stored layout, the message loop, the end.
#include <QGuiApplication>

#include "app/unit1.h"
#include "platform/shell/qt/qt_icons.h"

int main(int argc, char** argv) {
  // The runtime, the JPEG module (it registers "jpeg" and "jpg") and the Qt hosts.
  ApplicationSession session(argc, argv);
  // The desktop entry the windowing system matches the window with (its icon, its name).
  QGuiApplication::setDesktopFileName("suotu");
  // The folder tree's icons come from the installed icon theme.
  win::InstallSystemIcons();
  // The component object model and the application's window.
  Application->Initialize();
  // The first form created is the main form; it is owned by the application.
  new TForm1(Application);
  Application->Run();
  return 0;
}
