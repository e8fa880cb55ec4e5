// The box that reports an error no handler caught, just before the program ends.
#pragma once

#include <windows.h>

#include <exception>

namespace brisvane::window {

// Shows the report of `failure` (not null) in a modal error box owned by `owner` (may be null),
// even when the program's message loop has already been told to quit.
void ShowFatalError(HWND owner, const std::exception_ptr& failure) noexcept;

}  // namespace brisvane::window
