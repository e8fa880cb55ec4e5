// Folders and letters of the test's Wine prefix (and of the demo's).
#pragma once

#include <windows.h>

#include <string>

namespace brisvane::test_support {

// A letter from D: to Y: that names no drive at the moment; 0 when all are taken.
inline wchar_t UnusedDriveLetter() {
    const DWORD drives = GetLogicalDrives();
    for (wchar_t letter = L'Y'; letter >= L'D'; --letter) {
        if ((drives & (1u << (letter - L'A'))) == 0) {
            return letter;
        }
    }
    return 0;
}

// The path of `name` in the temporary folder.
inline std::wstring TempPath(const std::wstring& name) {
    std::wstring path(MAX_PATH + 1, L'\0');
    path.resize(GetTempPathW(static_cast<DWORD>(path.size()), path.data()));
    return path + name;
}

// A folder `name` in the temporary folder, created if missing.
inline std::wstring TempFolder(const std::wstring& name) {
    std::wstring path = TempPath(name);
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

}  // namespace brisvane::test_support
