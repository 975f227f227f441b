// dialog.h - what the tests may ask of the simulated PC's dialog engine
// (dialog.cpp) while a dialog is open.
#pragma once

#include "platform.h"

namespace sim {

// The check state of a button of an open dialog: 0 or 1 (2 for an
// indeterminate three-state box); -1 when there is no such dialog or
// control.
int DialogButtonState(HWND dialog, int id);

} // namespace sim
