// A DLL that someone has left beside brisvane.exe under the name of a system DLL, as a
// Downloads folder may hold one. When a process loads it, it leaves a file named after itself
// with ".loaded" appended; it exports nothing, so a program that imports the real DLL does not
// even start with it.
#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        std::wstring marker(MAX_PATH, L'\0');
        marker.resize(GetModuleFileNameW(instance, marker.data(), MAX_PATH));
        marker += L".loaded";
        const HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
        }
    }
    return TRUE;
}
