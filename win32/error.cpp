#include "win32/error.h"

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

}  // namespace

std::int32_t HresultFromWin32(DWORD code) noexcept {
    if (code == 0) {
        return 0;
    }
    const DWORD hresult =
        (code & 0x0000FFFFu) | (static_cast<DWORD>(FACILITY_WIN32) << 16) | 0x80000000u;
    return static_cast<std::int32_t>(hresult);
}

Text ErrorDescription(DWORD code) {
    std::wstring text = code >= kFirstInternetError && code <= kLastInternetError
                            ? InternetMessageText(code)
                            : MessageText(nullptr, code);
    if (text.empty()) {
        return texts::UnknownError(WidenAscii(std::to_string(code)));
    }
    return FromWide(text);
}

WorkflowError WindowsError(DWORD code) {
    return WorkflowError(HresultFromWin32(code), ErrorDescription(code));
}

void ThrowLastError(TextView call) {
    const DWORD code = ::GetLastError();
    throw WorkflowError(HresultFromWin32(code), texts::CallFailed(call, ErrorDescription(code)));
}

}  // namespace brisvane
