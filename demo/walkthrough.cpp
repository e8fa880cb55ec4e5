// brisvane-demo-walkthrough.exe: signs in to the demo organisation once, as a member would,
// with the demo's brisvane.exe beside it, and lets whoever runs it take pictures on the way:
// for each it prints "picture <name> <left> <top> <width> <height>" (screen pixels) and waits
// for a line on its input. Exits 0 once brisvane.exe has mapped the drive and ended.
//   brisvane-demo-walkthrough.exe <username> <password>
#include <windows.h>

#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>
#include <string>

#include "testing/program_driver.h"
#include "win32/module_path.h"
#include "win32/text.h"

namespace {

using namespace brisvane;
using test_support::ProgramDriver;

RECT AreaOf(HWND window) {
    RECT area{};
    GetWindowRect(window, &area);
    return area;
}

// Asks for a picture of `area` once the windows have painted, and waits until it is taken.
void Picture(const char* name, HWND window, const RECT& area) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    std::printf("picture %s %ld %ld %ld %ld\n", name, area.left, area.top, area.right - area.left,
                area.bottom - area.top);
    std::fflush(stdout);
    std::string taken;
    std::getline(std::cin, taken);
}

int WalkThrough(const std::wstring& username, const std::wstring& password) {
    ProgramDriver program(ProgramFolder() + L"brisvane.exe");
    program.SignIn(username, password);
    Picture("1-sign-in", program.Window(), AreaOf(program.Window()));

    program.Click(ControlId::chkAdvanced);
    if (!test_support::WaitUntil([&] { return program.Visible(ControlId::frameHidden); })) {
        std::printf("the advanced options did not show\n");
        return 1;
    }
    Picture("2-advanced-options", program.Window(), AreaOf(program.Window()));

    program.Click(ControlId::btnOK);
    const std::optional<test_support::SeenMessageBox> box = program.WaitForMessageBox();
    if (!box) {
        std::printf("no message box showed\n");
        return 1;
    }
    std::printf("brisvane.exe says: %s\n", Utf8(box->text).c_str());
    // The box stands in front of the window; the picture takes in both.
    const RECT window = AreaOf(program.Window());
    const RECT shown = AreaOf(box->handle);
    RECT both{};
    UnionRect(&both, &window, &shown);
    Picture("3-mounted", box->handle, both);

    ProgramDriver::Acknowledge(*box);
    const std::optional<DWORD> exitCode = program.WaitForExit();
    if (exitCode != 0U) {
        std::printf("brisvane.exe did not end with exit code 0\n");
        return 1;
    }
    std::printf("brisvane.exe mapped the drive and ended\n");
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: brisvane-demo-walkthrough <username> <password>\n");
        return 2;
    }
    try {
        return WalkThrough(argv[1], argv[2]);
    } catch (const std::exception& failure) {
        std::printf("the walk-through failed: %s\n", failure.what());
        return 1;
    }
}
