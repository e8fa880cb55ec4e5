// Where the test network provider is registered and what it is told to do. The settings are
// registry values under the provider's own service key, so that a test or the demo can script
// a provider that runs inside another process, such as brisvane.exe. One DLL can be registered
// more than once, under different names and network types (a decoy that plays another network
// beside the one that plays the file servers); each registration has settings of its own.
#pragma once

#include <windows.h>
#include <winnetwk.h>

#include <string>
#include <utility>
#include <vector>

namespace brisvane::standins {

// The name of the provider's usual registration, as regsvr32 makes it.
inline constexpr const wchar_t* kTestProviderName = L"BrisvaneTestProvider";

// One registration of the provider DLL among the network providers.
struct TestProviderRegistration {
    // Its name in the network provider order, and the name of its service key:
    // HKLM\System\CurrentControlSet\Services\<name>\NetworkProvider.
    std::wstring name = kTestProviderName;
    // Value "Name" (REG_SZ): the provider name that mpr.dll reports for it and that a connection
    // request names in lpProvider. Each registration needs a name of its own.
    std::wstring providerName = L"Brisvane test provider";
    // Value "NetType" (REG_DWORD): the network type it reports; by default that of Windows' own
    // file sharing (SMB).
    DWORD netType = WNNC_NET_LANMAN;
};

struct TestProviderSettings {
    // Value "Answer" (REG_DWORD): what a connection request returns.
    DWORD answer = 0;
    // Value "Journal" (REG_SZ): the file that records every connection request; empty: none.
    std::wstring journalPath;
    // Value "DriveFolder" (REG_SZ): when the answer is 0, the requested drive letter becomes a
    // real drive of the Wine prefix showing this folder; empty: no drive is made.
    std::wstring driveFolder;
    // Subkey "Accounts", one REG_SZ value per account: its name the user name as the provider
    // receives it ("CAMPUS\alice", compared without regard to case), its data the password.
    // With accounts, a request whose user name and password match none of them is answered
    // ERROR_LOGON_FAILURE (1326) instead of `answer`; with none, the credentials are not looked at.
    // Read back in the registry's order, which need not be the order written.
    std::vector<std::pair<std::wstring, std::wstring>> accounts;
    // Value "SmbBridge" (REG_SZ): the SMB mode. "127.0.0.1:PORT" of the SMB bridge
    // (smb_bridge_client.h), which asks the real file server with the request's credentials:
    // the answer is what Windows' SMB client would return, and on success the requested letter
    // becomes a drive showing the share as the server serves it. `answer`, `driveFolder` and
    // `accounts` are then not used. Empty: the table mode above.
    std::wstring smbBridge;
};

// Adds the provider DLL at `dllPath` to the network providers, last in the order, with
// default settings. A process loads a DLL file only once, and the provider tells its
// registrations apart by their files: every registration but kTestProviderName gets a copy of
// the DLL of its own, "<name>.dll" in the temporary folder. mpr.dll reads the providers when a
// process loads it, so only processes that load mpr.dll after this see the provider. Returns a
// Win32 error code.
LSTATUS RegisterTestProvider(const std::wstring& dllPath,
                             const TestProviderRegistration& registration = {});

// Takes the registration `name` out of the order and deletes its service key (and its copy of
// the DLL, unless a process still has it loaded).
LSTATUS UnregisterTestProvider(const std::wstring& name = kTestProviderName);

// Replaces the settings of the registration `name`; its next connection request follows them.
LSTATUS WriteTestProviderSettings(const TestProviderSettings& settings,
                                  const std::wstring& name = kTestProviderName);

// The settings of the registration `name` as they stand; the default for every value that is
// missing.
TestProviderSettings ReadTestProviderSettings(const std::wstring& name = kTestProviderName);

// The name of the registration in the provider order whose DLL is the file `dllPath`; the usual
// name when there is none.
std::wstring TestProviderRegisteredAt(const std::wstring& dllPath);

// The network type that the registration `name` reports; WNNC_NET_LANMAN when none is set.
DWORD ReadTestProviderNetType(const std::wstring& name);

// Whether the accounts let this user name and password through (always, when there are none).
bool AcceptsCredentials(const TestProviderSettings& settings, const wchar_t* userName,
                        const wchar_t* password);

}  // namespace brisvane::standins
