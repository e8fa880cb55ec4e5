// Owners of the Windows handles that the stand-ins use, and the tests and tools beside them: one
// move-only owner per kind, as in win32/owners.h, where the program's own are. A function that
// reports failure with INVALID_HANDLE_VALUE goes through OwnFileHandle, so that value never
// reaches an owner.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

#include "win32/owners.h"

namespace brisvane {

namespace detail {

struct ProcessHeapFreer {
    void operator()(void* memory) const noexcept { HeapFree(GetProcessHeap(), 0, memory); }
};

}  // namespace detail

// A kernel object handle (file, device, event, process, thread).
using UniqueHandle = std::unique_ptr<void, FunctionDeleter<&::CloseHandle>>;
// An open registry key.
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, FunctionDeleter<&::RegCloseKey>>;
// Narrow text that a function allocated on the process heap (Wine's wine_get_unix_file_name).
using UniqueProcessHeapText = std::unique_ptr<char, detail::ProcessHeapFreer>;

// Takes a handle from a function that reports failure as INVALID_HANDLE_VALUE (CreateFileW).
inline UniqueHandle OwnFileHandle(HANDLE handle) noexcept {
    return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

}  // namespace brisvane
