#include "standins/wine_drive.h"

#include <winioctl.h>

#include <cstring>
#include <memory>
#include <vector>

#include "mount/text.h"
#include "standins/owners.h"

namespace brisvane::standins {

namespace {

// Wine's request to define a drive (struct mountmgr_unix_drive since Wine 7); the Unix path of
// the mount point follows it in the same buffer, at mountPointOffset.
struct WineUnixDrive {
    ULONG size;
    ULONG type;
    ULONG fileSystemType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};

// IOCTL_MOUNTMGR_DEFINE_UNIX_DRIVE, a Wine extension of the mount manager.
constexpr DWORD kDefineUnixDrive =
    CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

// wine_get_unix_file_name: Wine's kernel32 export that maps a Windows path to the Unix one.
using UnixFileName = char*(CDECL*)(LPCWSTR);

DWORD SendDefinition(wchar_t letter, ULONG type, const std::string& unixPath) {
    WineUnixDrive request{};
    request.type = type;
    request.letter = FoldAscii(letter);
    std::vector<char> buffer(sizeof(request));
    if (!unixPath.empty()) {
        request.mountPointOffset = static_cast<USHORT>(buffer.size());
        buffer.insert(buffer.end(), unixPath.begin(), unixPath.end());
        buffer.push_back('\0');
    }
    request.size = static_cast<ULONG>(buffer.size());
    std::memcpy(buffer.data(), &request, sizeof(request));

    const UniqueHandle manager = OwnFileHandle(
        CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (manager == nullptr) {
        return GetLastError();
    }
    DWORD returned = 0;
    if (!DeviceIoControl(manager.get(), kDefineUnixDrive, buffer.data(),
                         static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr)) {
        return GetLastError();
    }
    return ERROR_SUCCESS;
}

bool IsLetter(wchar_t letter) {
    return (letter >= L'A' && letter <= L'Z') || (letter >= L'a' && letter <= L'z');
}

}  // namespace

DWORD DefineWineDrive(wchar_t letter, const std::wstring& folder) {
    if (!IsLetter(letter)) {
        return ERROR_INVALID_DRIVE;
    }
    const FARPROC entry =
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
    if (entry == nullptr) {
        return ERROR_NOT_SUPPORTED;
    }
    const auto unixFileName = reinterpret_cast<UnixFileName>(reinterpret_cast<void (*)()>(entry));
    const UniqueProcessHeapText unixPath(unixFileName(folder.c_str()));
    if (unixPath == nullptr) {
        return ERROR_PATH_NOT_FOUND;
    }
    return SendDefinition(letter, DRIVE_REMOTE, unixPath.get());
}

DWORD DefineWineDriveAtUnixPath(wchar_t letter, const std::string& unixFolder) {
    if (!IsLetter(letter)) {
        return ERROR_INVALID_DRIVE;
    }
    if (unixFolder.empty() || unixFolder.front() != '/') {
        return ERROR_PATH_NOT_FOUND;
    }
    return SendDefinition(letter, DRIVE_REMOTE, unixFolder);
}

DWORD RemoveWineDrive(wchar_t letter) {
    if (!IsLetter(letter)) {
        return ERROR_INVALID_DRIVE;
    }
    // A definition without a mount point, of type "no root directory", deletes the drive.
    return SendDefinition(letter, DRIVE_NO_ROOT_DIR, {});
}

}  // namespace brisvane::standins
