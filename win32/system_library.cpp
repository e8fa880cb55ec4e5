#include "services/system_library.h"

#include "services/windows_error.h"

namespace brisvane {

SystemLibrary::SystemLibrary(const wchar_t* name)
    : module_(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    if (module_ == nullptr) {
        throw WindowsError(GetLastError());
    }
}

void SystemLibrary::KeepLoaded() const {
    // The module's handle is its base address, an address inside it.
    HMODULE pinned = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                            reinterpret_cast<LPCWSTR>(module_.get()), &pinned)) {
        throw WindowsError(GetLastError());
    }
}

FARPROC SystemLibrary::FindAddress(const char* name) const {
    const FARPROC address = GetProcAddress(module_.get(), name);
    if (address == nullptr) {
        throw WindowsError(GetLastError());
    }
    return address;
}

}  // namespace brisvane
