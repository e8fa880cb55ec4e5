#include "win32/error.h"

#include <winhttp.h>

#include <string>

#include "mount/member_texts.h"
#include "win32/owners.h"
#include "win32/text.h"

namespace brisvane {

namespace {

constexpr DWORD kFirstInternetError = 12000;
constexpr DWORD kLastInternetError = 12999;

// The message-table text of `code` in `module` (null: the system's table), or empty.
std::wstring MessageText(HMODULE module, DWORD code) {
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS;
    flags |= module != nullptr ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM;
    wchar_t* buffer = nullptr;
    // With FORMAT_MESSAGE_ALLOCATE_BUFFER the buffer argument receives the address of the text.
    const DWORD length =
        FormatMessageW(flags, module, code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    const UniqueLocalText owner(buffer);
    if (length == 0 || owner == nullptr) {
        return {};
    }
    std::wstring text(owner.get(), length);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
        text.pop_back();
    }
    return text;
}

std::wstring InternetMessageText(DWORD code) {
    for (const wchar_t* library : {L"winhttp.dll", L"wininet.dll"}) {
        // Only its message table is read; from System32, like every DLL the program loads.
        const UniqueLibrary module(LoadLibraryExW(
            library, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_SEARCH_SYSTEM32));
        if (module != nullptr) {
            if (std::wstring text = MessageText(module.get(), code); !text.empty()) {
                return text;
            }
        }
    }
    return {};
}

// The program's own text for a common WinHTTP error; empty for any other code.
TextView OwnDescription(DWORD code) noexcept {
    switch (code) {
        case ERROR_WINHTTP_NAME_NOT_RESOLVED:
            return texts::kServerNameNotFound;
        case ERROR_WINHTTP_CANNOT_CONNECT:
            return texts::kServerUnreachable;
        case ERROR_WINHTTP_TIMEOUT:
            return texts::kServerTooSlow;
        case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
            return texts::kNoSecureConnection;
        case ERROR_WINHTTP_SECURE_FAILURE:
        case ERROR_WINHTTP_SECURE_INVALID_CA:
        case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
        case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
        case ERROR_WINHTTP_SECURE_INVALID_CERT:
        case ERROR_WINHTTP_SECURE_CERT_REVOKED:
        case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
        case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
            return texts::kCertificateRefused;
        default:
            return {};
    }
}

}  // namespace

std::int32_t HresultFromWin32(DWORD code) noexcept {
    if (code == 0) {
        return 0;
    }
    const DWORD hresult =
        (code & 0x0000FFFFU) | (static_cast<DWORD>(FACILITY_WIN32) << 16) | 0x80000000U;
    return static_cast<std::int32_t>(hresult);
}

Text DescribeError(DWORD code, std::wstring_view systemText) {
    if (!systemText.empty()) {
        return FromWide(systemText);
    }
    if (const TextView own = OwnDescription(code); !own.empty()) {
        return Text(own);
    }
    return texts::UnknownError(WidenAscii(std::to_string(code)));
}

Text ErrorDescription(DWORD code) {
    return DescribeError(code, code >= kFirstInternetError && code <= kLastInternetError
                                   ? InternetMessageText(code)
                                   : MessageText(nullptr, code));
}

WorkflowError WindowsError(DWORD code) {
    return {HresultFromWin32(code), ErrorDescription(code)};
}

WorkflowError CallError(TextView call, DWORD code) {
    return {HresultFromWin32(code), texts::CallFailed(call, ErrorDescription(code))};
}

void ThrowLastError(TextView call) {
    const DWORD code = ::GetLastError();
    throw CallError(call, code);
}

}  // namespace brisvane
