// The Qt host of the platform's windows and messages: posted messages become Qt events on the
// GUI thread, timers are QTimers, the cursor and the screens are Qt's, message boxes are modal
// Qt dialogs, drags are Qt's system drags (qt_ole.h).
#pragma once

namespace win {

// Needs a QApplication; call RemoveQtUserHost before that is destroyed.
void InstallQtUserHost();
// Puts the headless host back and stops the Qt timers.
void RemoveQtUserHost();

}  // namespace win
