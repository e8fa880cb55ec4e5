// Drive letters made real in a Wine prefix, the way winecfg makes them: through Wine's mount
// manager, so that every process of the prefix sees the drive until it is removed.
#pragma once

#include <windows.h>

#include <string>

namespace brisvane::standins {

// Makes `letter` (A-Z, either case) a ready network drive (DRIVE_REMOTE) showing `folder`, an
// existing Windows path. Returns a Win32 error code; ERROR_NOT_SUPPORTED outside Wine.
DWORD DefineWineDrive(wchar_t letter, const std::wstring& folder);

// The same for a folder given by its Linux path (UTF-8), such as a mount outside the prefix.
DWORD DefineWineDriveAtUnixPath(wchar_t letter, const std::string& unixFolder);

// Removes the drive `letter` from the prefix.
DWORD RemoveWineDrive(wchar_t letter);

}  // namespace brisvane::standins
