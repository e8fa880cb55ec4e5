// A network provider for the tests and the demo: it records every connection request in its
// journal and answers with the code its settings give (see test_provider_settings.h). It
// keeps no state: each call reads the settings of the registration it serves afresh, so a test
// may change the answer between calls, also from another process.
#include <windows.h>
#include <winnetwk.h>
// npapi.h declares the provider entry points with LPTSTR (wide, as UNICODE is defined here)
// and, in mingw-w64, without C linkage of its own.
extern "C" {
#include <npapi.h>
}

#include <exception>
#include <optional>
#include <string>

#include "standins/provider_journal.h"
#include "standins/smb_bridge_client.h"
#include "standins/test_provider_settings.h"
#include "standins/wine_drive.h"
#include "win32/module_path.h"

namespace {

using brisvane::standins::ProviderCall;
using brisvane::standins::ReadTestProviderSettings;
using brisvane::standins::TestProviderSettings;

std::optional<std::wstring> TextOrNull(const wchar_t* text) {
    return text != nullptr ? std::optional<std::wstring>(text) : std::nullopt;
}

// The letter of a local name of the form "X:"; 0 for any other.
wchar_t DriveLetterOf(const wchar_t* localName) {
    if (localName == nullptr || localName[0] == L'\0' || localName[1] != L':' ||
        localName[2] != L'\0') {
        return 0;
    }
    return localName[0];
}

// This DLL's own path.
std::wstring OwnPath() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&OwnPath), &self)) {
        return {};
    }
    return brisvane::ModulePath(self);
}

// The name of the registration that this copy of the DLL serves, which names its settings.
std::wstring OwnRegistration() {
    return brisvane::standins::TestProviderRegisteredAt(OwnPath());
}

// The SMB mode: the real file server decides, through the SMB bridge, and a drive shows the share
// as the server serves it.
DWORD AnswerFromTheFileServer(const std::wstring& bridge, const NETRESOURCEW& resource,
                              const wchar_t* password, const wchar_t* userName) {
    if (resource.lpRemoteName == nullptr) {
        return WN_BAD_NETNAME;
    }
    const wchar_t letter = DriveLetterOf(resource.lpLocalName);
    const brisvane::standins::SmbBridgeAnswer answer = brisvane::standins::AskSmbBridge(
        bridge, userName != nullptr ? userName : L"", password != nullptr ? password : L"",
        resource.lpRemoteName, letter);
    if (answer.code != WN_SUCCESS || letter == 0) {
        return answer.code;
    }
    return brisvane::standins::DefineWineDriveAtUnixPath(letter, answer.unixFolder);
}

DWORD AnswerConnection(const wchar_t* entryPoint, const NETRESOURCEW* resource,
                       const wchar_t* password, const wchar_t* userName, DWORD flags) noexcept {
    if (resource == nullptr) {
        return WN_BAD_POINTER;
    }
    try {
        const TestProviderSettings settings = ReadTestProviderSettings(OwnRegistration());
        if (!settings.journalPath.empty()) {
            const ProviderCall call{entryPoint,
                                    resource->dwScope,
                                    resource->dwType,
                                    resource->dwDisplayType,
                                    resource->dwUsage,
                                    TextOrNull(resource->lpLocalName),
                                    TextOrNull(resource->lpRemoteName),
                                    TextOrNull(resource->lpComment),
                                    TextOrNull(resource->lpProvider),
                                    TextOrNull(password),
                                    TextOrNull(userName),
                                    flags};
            if (const DWORD error = AppendToJournal(settings.journalPath, call);
                error != ERROR_SUCCESS) {
                return error;
            }
        }
        if (!settings.smbBridge.empty()) {
            return AnswerFromTheFileServer(settings.smbBridge, *resource, password, userName);
        }
        if (!brisvane::standins::AcceptsCredentials(settings, userName, password)) {
            return ERROR_LOGON_FAILURE;
        }
        const wchar_t letter = DriveLetterOf(resource->lpLocalName);
        if (settings.answer == WN_SUCCESS && !settings.driveFolder.empty() && letter != 0) {
            return brisvane::standins::DefineWineDrive(letter, settings.driveFolder);
        }
        return settings.answer;
    } catch (const std::exception&) {
        return WN_OUT_OF_MEMORY;
    }
}

}  // namespace

extern "C" {

DWORD APIENTRY NPGetCaps(DWORD index) {
    switch (index) {
        case WNNC_SPEC_VERSION:
            return WNNC_SPEC_VERSION51;
        case WNNC_NET_TYPE:
            try {
                return brisvane::standins::ReadTestProviderNetType(OwnRegistration());
            } catch (const std::exception&) {
                return 0;
            }
        case WNNC_DRIVER_VERSION:
            return 1;
        case WNNC_CONNECTION:
            return WNNC_CON_ADDCONNECTION | WNNC_CON_ADDCONNECTION3 | WNNC_CON_CANCELCONNECTION |
                   WNNC_CON_GETCONNECTIONS;
        case WNNC_START:
            return 1;  // started
        default:
            return 0;
    }
}

DWORD APIENTRY NPAddConnection3(HWND /*owner*/, LPNETRESOURCEW resource, LPWSTR password,
                                LPWSTR userName, DWORD flags) {
    return AnswerConnection(L"NPAddConnection3", resource, password, userName, flags);
}

DWORD APIENTRY NPAddConnection(LPNETRESOURCEW resource, LPWSTR password, LPWSTR userName) {
    return AnswerConnection(L"NPAddConnection", resource, password, userName, 0);
}

// Removes a drive that a successful answer made (in the SMB mode the bridge unmounts the share
// too); the provider remembers no other connection.
DWORD APIENTRY NPCancelConnection(LPWSTR name, BOOL /*force*/) {
    try {
        const wchar_t letter = DriveLetterOf(name);
        const TestProviderSettings settings = ReadTestProviderSettings(OwnRegistration());
        if (letter == 0 || (settings.driveFolder.empty() && settings.smbBridge.empty())) {
            return WN_NOT_CONNECTED;
        }
        if (brisvane::standins::RemoveWineDrive(letter) != ERROR_SUCCESS) {
            return WN_NOT_CONNECTED;
        }
        if (!settings.smbBridge.empty()) {
            return brisvane::standins::TellSmbBridgeDriveRemoved(settings.smbBridge, letter);
        }
        return WN_SUCCESS;
    } catch (const std::exception&) {
        return WN_OUT_OF_MEMORY;
    }
}

DWORD APIENTRY NPGetConnection(LPWSTR /*localName*/, LPWSTR /*remoteName*/,
                               LPDWORD /*bufferLength*/) {
    return WN_NOT_CONNECTED;
}

// "regsvr32 brisvane-test-provider.dll" adds this DLL to the network providers with default
// settings (answer 0, no journal, no drive); "regsvr32 /u" takes it out again.
HRESULT WINAPI DllRegisterServer() {
    try {
        const std::wstring path = OwnPath();
        if (path.empty()) {
            return E_FAIL;
        }
        return HRESULT_FROM_WIN32(brisvane::standins::RegisterTestProvider(path));
    } catch (const std::exception&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WINAPI DllUnregisterServer() {
    return HRESULT_FROM_WIN32(brisvane::standins::UnregisterTestProvider());
}

}  // extern "C"
