#pragma once

// The Windows backend of the window's controls (toolkit/ControlPeer.h): each
// control is a window of the system's own classes, each form and group box a
// window of a class of ours. What the program and the tests may ask of it.

#include <windows.h>

#include "toolkit/Controls.h"

// The control's window; for a spin edit its edit part. Null once the window
// has gone (its form was closed).
HWND WindowOf(const TWinControl& Control);
// A spin edit's up-down part.
HWND SpinButtonOf(const TSpinEdit& Control);
// The form's one tooltip window, which shows every control's hint.
HWND TooltipOf(const TForm& Form);
// A form's window (the event loop hands it the dialog keys).
bool IsFormWindow(HWND Window);
