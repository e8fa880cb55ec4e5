// Failed Windows calls as the mount workflow receives them: a WorkflowError carrying the
// platform's number and the platform's own description, named after the failing call where the
// failure is the program's own rather than one the member acts on.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "mount/text.h"
#include "mount/workflow_error.h"

namespace brisvane {

// The HRESULT that a COM object raises for a Win32, Winsock or WinHTTP error code (the
// HRESULT_FROM_WIN32 rule); 0 stays 0.
std::int32_t HresultFromWin32(DWORD code) noexcept;

// The description of `code` when the system's text for it is `systemText` (empty: none): that
// text; else, for the common WinHTTP errors (name not resolved, cannot connect, timed out,
// secure channel, certificate refused), the program's own short one; else "Error " and the
// number.
Text DescribeError(DWORD code, std::wstring_view systemText);

// DescribeError with the system's text for the code, without its trailing line break. WinHTTP's
// codes (12000-12999) are looked up in winhttp.dll, then in wininet.dll, which shares their
// numbers and meanings and is where Wine keeps the texts it has.
Text ErrorDescription(DWORD code);

// A failed call: number HresultFromWin32(code), description ErrorDescription(code).
WorkflowError WindowsError(DWORD code);

// The Win32 call (or window message) `call` that failed with `code`: number
// HresultFromWin32(code), description "<call> failed: " and ErrorDescription(code). For calls
// that report failure by their answer rather than by the thread's last error.
WorkflowError CallError(TextView call, DWORD code);

// Raises CallError(call, the thread's last error) for the Win32 call `call` that has just failed.
// Call it straight after the failing call, before anything else can overwrite the last error.
[[noreturn]] void ThrowLastError(TextView call);

}  // namespace brisvane
