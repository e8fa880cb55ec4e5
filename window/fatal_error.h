// What the member is told when an error escapes every handler and the program has to end.
#pragma once

#include <exception>

#include "mount/text.h"

namespace brisvane {

// The prompt of the box that reports `failure` (not null) before the program ends.
Text FatalErrorMessage(const std::exception_ptr& failure);

// The exit code of a program that ended after such an error.
inline constexpr int kFatalErrorExitCode = 1;

}  // namespace brisvane
