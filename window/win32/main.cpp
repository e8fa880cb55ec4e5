// brisvane.exe: maps the member's home share to a drive letter from one small window.

#include <windows.h>

#include "mount/organisation.h"
#include "services/drive_mapping.h"
#include "services/drive_probe.h"
#include "services/http_share_lookup.h"
#include "window/win32/program.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int /*show*/) {
    // Before anything else: every DLL loaded from now on (by the program, or by a system DLL on
    // its behalf) comes from System32, never from the program's folder, which may be a Downloads
    // folder holding anything. The program imports only Known DLLs and the common controls that
    // its manifest binds, which Windows never takes from there either. Should this fail, the
    // program still loads WinHTTP and mpr.dll from System32 by name.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

    brisvane::HttpShareLookup lookup;
    brisvane::VolumeDriveProbe probe;
    brisvane::NetworkDriveMapping mapping;
    // The organisation this program was built for (brisvane_add_organisation).
    return brisvane::window::RunProgram(instance,
                                        {brisvane::ThisOrganisation(), lookup, probe, mapping});
}
