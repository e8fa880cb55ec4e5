#include "win32/system_library.h"

#include "win32/error.h"

namespace brisvane {

SystemLibrary::SystemLibrary(const wchar_t* name)
    : module_(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    if (module_ == nullptr) {
        ThrowLastError(u"LoadLibraryExW");
    }
}

void SystemLibrary::KeepLoaded() const {
    // The module's handle is its base address, an address inside it.
    HMODULE pinned = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                            reinterpret_cast<LPCWSTR>(module_.get()), &pinned)) {
        ThrowLastError(u"GetModuleHandleExW");
    }
}

FARPROC SystemLibrary::FindAddress(const char* name) const {
    const FARPROC address = GetProcAddress(module_.get(), name);
    if (address == nullptr) {
        ThrowLastError(u"GetProcAddress");
    }
    return address;
}

}  // namespace brisvane
