// Screenshots of the dialogs for reviewing their look.
//
// When the environment variable PELMORA_SCREENSHOT_DIR names a folder, each
// view calls MaybeGrab once it is shown (and again after a state change
// worth looking at); the widget is then saved there as "<name>.png". Without
// the variable this does nothing.
#pragma once

class QWidget;

namespace pelmora::app {

// Saves `widget` as PELMORA_SCREENSHOT_DIR/<name>.png when the variable is
// set. The grab happens after pending events are processed, so a call
// right after show() captures the laid-out window.
void MaybeGrab(QWidget* widget, const char* name);

}  // namespace pelmora::app
