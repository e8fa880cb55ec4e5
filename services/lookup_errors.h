// The errors the share lookup raises for WinHTTP's failures and for a page it refuses.
#pragma once

#include <windows.h>

#include <cstddef>

namespace brisvane {

// Where the exchange stood when it failed: before its current request had gone out whole, or
// after, waiting for the answer.
enum class Stage { kReaching, kAnswering };

// Raises the lookup's error for WinHTTP's `code`: kResourceNotFound (with the code's
// description) when the server or proxy cannot be found or reached, which a time-out before the
// request went out also means; else WindowsError(code). Wine's Winsock time-out counts as
// ERROR_WINHTTP_TIMEOUT.
[[noreturn]] void ThrowExchangeFailure(DWORD code, Stage stage);

// Raises HresultFromWin32(ERROR_FILE_TOO_LARGE) for a response body over `limit` bytes.
[[noreturn]] void ThrowResponseTooLarge(std::size_t limit);

}  // namespace brisvane
