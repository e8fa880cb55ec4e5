// Window classes of the program's own windows, registered once per module.
#pragma once

#include <windows.h>

namespace brisvane {

// A window class named `name` in `instance`, handled by `procedure`, with the arrow cursor and
// the dialogs' button-face background, ready for RegisterWindowClassOnce.
WNDCLASSEXW DialogWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure);

// Registers `windowClass` unless its module has a class of that name already: every window of
// a class can register it, the first one does. Raises a WorkflowError naming the class when the
// system refuses it.
void RegisterWindowClassOnce(const WNDCLASSEXW& windowClass);

}  // namespace brisvane
