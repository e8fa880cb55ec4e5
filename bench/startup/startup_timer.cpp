// Times each program from its process start to its first visible window, alternating between
// the programs so that a busy machine hurts all alike, and prints the medians with their ranges,
// and each program's time over the last program's, round by round: the median of those ratios
// and their range.
//   brisvane-startup-timer.exe <runs> <program.exe>...

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "standins/owners.h"

namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;

struct WindowOf {
    DWORD process;
    HWND found = nullptr;
};

BOOL CALLBACK MatchVisibleWindow(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<WindowOf*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == search.process && IsWindowVisible(window)) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

// Starts `program`, waits for its first visible top-level window and closes it again. The time
// to the window; a negative value when it never appeared.
double TimeToWindow(const std::wstring& program) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    std::wstring commandLine = L"\"" + program + L"\"";
    const auto begin = Clock::now();
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &started)) {
        return -1;
    }
    const brisvane::UniqueHandle process(started.hProcess);
    const brisvane::UniqueHandle thread(started.hThread);

    WindowOf search{started.dwProcessId};
    while (search.found == nullptr && Clock::now() - begin < std::chrono::seconds(30)) {
        EnumWindows(&MatchVisibleWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found == nullptr) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    const Milliseconds elapsed = Clock::now() - begin;
    if (search.found != nullptr) {
        PostMessageW(search.found, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process.get(), 10'000) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 1);
    }
    return search.found != nullptr ? elapsed.count() : -1;
}

// Fewer runs give a median that one disturbed run can move.
constexpr int kLeastRuns = 5;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fputs("usage: brisvane-startup-timer <runs> <program.exe>...\n", stderr);
        return 2;
    }
    const int runs = std::max(kLeastRuns, _wtoi(argv[1]));
    const std::vector<std::wstring> programs(argv + 2, argv + argc);
    std::vector<std::vector<double>> times(programs.size());
    // One unmeasured start each first: the first start in a prefix loads every DLL from disk.
    for (const auto& program : programs) {
        TimeToWindow(program);
    }
    for (int run = 0; run < runs; ++run) {
        // Each round starts with the next program, so that none always follows the same one.
        for (std::size_t turn = 0; turn < programs.size(); ++turn) {
            const std::size_t i = (static_cast<std::size_t>(run) + turn) % programs.size();
            const double ms = TimeToWindow(programs[i]);
            if (ms < 0) {
                std::fwprintf(stderr, L"%ls showed no window\n", programs[i].c_str());
                return 1;
            }
            times[i].push_back(ms);
        }
    }
    for (std::size_t i = 0; i < programs.size(); ++i) {
        std::vector<double> ratios;
        for (std::size_t run = 0; run < times[i].size(); ++run) {
            ratios.push_back(times[i][run] / times.back()[run]);
        }
        std::wprintf(L"%-34ls median %7.1f ms (min %6.1f, max %6.1f)  ratio %.2f (%.2f - %.2f)\n",
                     programs[i].substr(programs[i].find_last_of(L"\\/") + 1).c_str(),
                     Median(times[i]), *std::min_element(times[i].begin(), times[i].end()),
                     *std::max_element(times[i].begin(), times[i].end()), Median(ratios),
                     *std::min_element(ratios.begin(), ratios.end()),
                     *std::max_element(ratios.begin(), ratios.end()));
    }
    return 0;
}
