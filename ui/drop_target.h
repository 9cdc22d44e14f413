// Drops onto controls (internal to the control layer): Qt's drag events for a control's widget
// become the calls of the drop target registered for the control's window, whether the drag
// comes from another program or from this one (our own drags are Qt drags too).
//
// The drop site is the widget that receives the events: the viewport of a wrapped scroll area
// (the tree view), the widget itself otherwise. It takes drops while a target is registered
// (RegisterDragDrop and RevokeDragDrop tell the layer, and a new window looks for itself).
// Between a drag's entering and its leaving or dropping the target keeps one data object made
// from the drag's MIME data; points are on the screen, keys and buttons MK_* bits, effects go
// in as the actions the drag allows and come out as the one Qt is told. Calls of the target pass
// the guard.
#pragma once

class QEvent;
class QWidget;
class TWinControl;

namespace ui::detail {

// True when the event was a drag event for control's registered target and was answered;
// false leaves it to Qt (a control without a target: a line edit takes text drops itself).
bool RouteDragEvent(TWinControl* control, QWidget* site, QEvent* event);
// Lets the control's drop site take drops exactly while a target is registered for its window
// (a site that took drops of its own keeps them).
void UpdateDropSite(TWinControl* control);

}  // namespace ui::detail
