// Owners of the Windows handles and memory that only the tests use: one move-only owner per kind,
// as in win32/owners.h (the program's) and standins/owners.h (the stand-ins').
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

#include "win32/owners.h"

namespace brisvane {

namespace detail {

// Ends the process if it still runs, waits a while for it to go, and closes the handle.
struct ProcessEnder {
    void operator()(HANDLE process) const noexcept {
        if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 10'000);
        }
        CloseHandle(process);
    }
};
struct VirtualMemoryReleaser {
    void operator()(void* memory) const noexcept { VirtualFree(memory, 0, MEM_RELEASE); }
};

}  // namespace detail

// A process this one started, ended with it when it still runs (see ProcessEnder).
using UniqueChildProcess = std::unique_ptr<void, detail::ProcessEnder>;
// Address space reserved or committed with VirtualAlloc, released whole.
using UniqueVirtualMemory = std::unique_ptr<void, detail::VirtualMemoryReleaser>;

// A memory device context, from CreateCompatibleDC.
using UniqueMemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, FunctionDeleter<&::DeleteDC>>;
// A bitmap from CreateDIBSection; destroy the DC it is selected into first.
using UniqueBitmap =
    std::unique_ptr<std::remove_pointer_t<HBITMAP>, FunctionDeleter<&::DeleteObject>>;
// A brush from CreateSolidBrush.
using UniqueBrush =
    std::unique_ptr<std::remove_pointer_t<HBRUSH>, FunctionDeleter<&::DeleteObject>>;

}  // namespace brisvane
