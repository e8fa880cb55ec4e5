// Where the test network provider is registered and what it is told to do. The settings are
// registry values under the provider's own service key, so that a test or the demo can script
// a provider that runs inside another process, such as brisvane.exe.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace brisvane::standins {

// The provider's name in the network provider order, and the name of its service key:
// HKLM\System\CurrentControlSet\Services\BrisvaneTestProvider\NetworkProvider.
inline constexpr wchar_t kTestProviderName[] = L"BrisvaneTestProvider";

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
};

// Adds the provider DLL at `dllPath` to the network providers, last in the order, with
// default settings. mpr.dll reads the providers when a process loads it, so only processes
// that load mpr.dll after this see the provider. Returns a Win32 error code.
LSTATUS RegisterTestProvider(const std::wstring& dllPath);

// Takes the provider out of the order and deletes its service key.
LSTATUS UnregisterTestProvider();

// Replaces the provider's settings; the next connection request follows them.
LSTATUS WriteTestProviderSettings(const TestProviderSettings& settings);

// The settings as they stand; the default for every value that is missing.
TestProviderSettings ReadTestProviderSettings();

// Whether the accounts let this user name and password through (always, when there are none).
bool AcceptsCredentials(const TestProviderSettings& settings, const wchar_t* userName,
                        const wchar_t* password);

}  // namespace brisvane::standins
