// Where the program's own files are: the path of a loaded module and the folder of the program.
#pragma once

#include <windows.h>

#include <string>

namespace brisvane {

// The full path of `module` (null: the program's own file), however long; empty when the system
// cannot tell.
std::wstring ModulePath(HMODULE module);

// The folder that holds the program's own file, with its trailing backslash.
std::wstring ProgramFolder();

}  // namespace brisvane
