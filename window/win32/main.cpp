// brisvane.exe: maps the member's home share to a drive letter from one small window.

#include <windows.h>

#include "services/drive_mapping.h"
#include "services/drive_probe.h"
#include "services/http_share_lookup.h"
#include "window/win32/program.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int /*show*/) {
    brisvane::HttpShareLookup lookup;
    brisvane::VolumeDriveProbe probe;
    brisvane::NetworkDriveMapping mapping;
    return brisvane::win32::RunProgram(instance, {lookup, probe, mapping});
}
