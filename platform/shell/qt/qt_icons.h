// The system image list's pixels over Qt: 16-pixel icons of the installed icon theme, Qt's
// standard icons where the theme has none.
#pragma once

namespace win {

// Installs the icon source; needs a QGuiApplication (a QApplication for the fallback icons).
void InstallSystemIcons();

}  // namespace win
