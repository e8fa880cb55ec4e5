// A DLL of Windows that the program loads when it first needs it, rather than importing it:
// loaded from System32 alone, so that a DLL of the same name in the program's folder (a
// Downloads folder, typically) or the current folder is never loaded in its place.
#pragma once

#include <windows.h>

#include "win32/owners.h"

namespace brisvane {

class SystemLibrary {
  public:
    // Loads `name` (for example L"mpr.dll") from System32; raises a WorkflowError naming the
    // failed call when it cannot.
    explicit SystemLibrary(const wchar_t* name);

    // The library's function `name`, as a pointer of type `Function`: declare it from the
    // system header with decltype(&::TheFunction), which checks the signature without importing
    // the function. Raises a WorkflowError when the library has no such function.
    template <typename Function>
    Function Find(const char* name) const {
        // Through the generic function pointer type, which every compiler accepts as a cast
        // source.
        return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(FindAddress(name)));
    }

    // Keeps the library loaded until the process ends, whatever becomes of this owner: for a
    // library that goes on running code of its own after its calls have returned. Raises a
    // WorkflowError when it cannot.
    void KeepLoaded() const;

  private:
    FARPROC FindAddress(const char* name) const;

    UniqueLibrary module_;
};

}  // namespace brisvane
