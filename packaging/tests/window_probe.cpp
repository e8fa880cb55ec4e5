// brisvane_window_probe.exe: starts an installed brisvane.exe, waits for its window ("Brisvane
// Utility"), prints the lookup address its "Web Site" box shows and the version label, then
// presses the close box and waits for the program to end. Exits 0 only if all of that happened.
//   brisvane_window_probe.exe <path of brisvane.exe>
#include <windows.h>

#include <cstdio>
#include <exception>
#include <optional>

#include "testing/program_driver.h"
#include "win32/text.h"

namespace {

using namespace brisvane;

int Probe(const wchar_t* program) {
    test_support::ProgramDriver driver(program);
    std::printf("window shown; web site: %s; version label: %s\n",
                Utf8(driver.Text(ControlId::txtWebSite)).c_str(),
                Utf8(driver.Text(ControlId::lblVer)).c_str());
    driver.PressCloseBox();
    const std::optional<DWORD> exitCode = driver.WaitForExit();
    if (!exitCode) {
        std::printf("the program did not end after its close box was pressed\n");
        return 1;
    }
    std::printf("closed with exit code %lu\n", *exitCode);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: brisvane_window_probe <path of brisvane.exe>\n");
        return 2;
    }
    try {
        return Probe(argv[1]);
    } catch (const std::exception& failure) {
        std::printf("the probe failed: %s\n", failure.what());
        return 1;
    }
}
