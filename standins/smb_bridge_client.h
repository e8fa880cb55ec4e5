// The test network provider's way to a real SMB file server: it asks the SMB bridge
// (standins/smb_bridge.py, a Linux program on a loopback TCP port, since Wine has no SMB client
// of its own) to log on to a share as the member and, on success, to mount it where the drive
// letter can show it. Each call makes one connection and one request.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace brisvane::standins {

struct SmbBridgeAnswer {
    // What Windows' SMB client returns for the file server's answer (0: connected).
    DWORD code = 0;
    // With code 0 and a drive letter: the Linux folder that shows the share over SMB.
    std::string unixFolder;
};

// Asks the bridge at `bridge` ("127.0.0.1:PORT") to connect `remoteName` (\\server\share) as
// `userName` (DOMAIN\user, or a user without a domain) with `password`, for the drive `letter`
// (0: no drive). A bridge that cannot be reached or that answers nonsense gives
// ERROR_NO_NETWORK (1222) or ERROR_UNEXP_NET_ERR (59). The request's copy of the password is
// wiped once it has been sent.
SmbBridgeAnswer AskSmbBridge(const std::wstring& bridge, std::wstring_view userName,
                             std::wstring_view password, std::wstring_view remoteName,
                             wchar_t letter);

// Tells the bridge that the drive `letter` is gone, so that it unmounts what the letter showed.
// Returns its answer: 0, or ERROR_NOT_CONNECTED (2250) when the letter showed nothing.
DWORD TellSmbBridgeDriveRemoved(const std::wstring& bridge, wchar_t letter);

}  // namespace brisvane::standins
