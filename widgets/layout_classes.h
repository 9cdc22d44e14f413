// The styled widgets' classes and published properties for the stored-layout reader.
#pragma once

namespace widgets {
// TRzPanel, TRzButton, TRzBmpButton, TRzURLLabel, TRzListBox, TRzStatusBar and TRzStatusPane
// with every property they publish; the window layer's standard classes first. Once per
// process.
void RegisterLayoutClasses();
}  // namespace widgets
