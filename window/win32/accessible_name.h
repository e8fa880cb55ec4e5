// Names a control for screen readers and other assistive technology where neither its own text
// nor a label gives it a name, by dynamic annotation (the system's AccPropServices, reached
// through COM).
#pragma once

#include <windows.h>

#include "mount/text.h"

namespace brisvane::window {

// Gives `control` the accessible name `name`, on a thread with COM initialised. Where the system
// offers no annotation, the control keeps the name the system gives it: nothing is reported and
// nothing fails.
void SetAccessibleName(HWND control, TextView name) noexcept;

}  // namespace brisvane::window
