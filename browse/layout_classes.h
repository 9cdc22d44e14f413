// The folder tree's class and published properties for the stored-layout reader.
#pragma once

namespace browse {
// TRzShellTree with its frame and options, over the window layer's TTreeView. Once per
// process.
void RegisterLayoutClasses();
}  // namespace browse
