// Stand-ins for the styled widgets and the folder tree until their own classes are
// registered: each is the nearest standard control and keeps the layout's extra properties
// so the layout reads the same either way. Registered only under names nobody else has.
#pragma once

namespace app {
void RegisterStandInClasses();
}  // namespace app
