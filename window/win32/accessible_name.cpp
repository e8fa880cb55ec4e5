#include "window/win32/accessible_name.h"

// The GUIDs that oleacc.h declares are defined here, so that the program needs no import
// library of oleacc: COM loads oleacc.dll itself, from where the system registered it, and
// only when the window is made.
#include <initguid.h>
#include <oleacc.h>

#include <string>

#include "win32/com_owners.h"
#include "win32/window_text.h"

namespace brisvane::window {

void SetAccessibleName(HWND control, TextView name) noexcept {
    try {
        const std::wstring text = ToWide(name);
        IAccPropServices* created = nullptr;
        if (FAILED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IAccPropServices, reinterpret_cast<void**>(&created)))) {
            return;
        }
        const UniqueCom<IAccPropServices> services(created);
        // Stays with the window until it is destroyed; a failure leaves the system's name.
        static_cast<void>(services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT),
                                                   CHILDID_SELF, PROPID_ACC_NAME, text.c_str()));
    } catch (...) {
        // No memory for the text: the log keeps the system's name.
    }
}

}  // namespace brisvane::window
