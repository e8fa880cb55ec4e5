#include "services/drive_probe.h"

#include <windows.h>

#include <string>

#include "win32/text.h"

namespace brisvane {

namespace {

constexpr bool IsAsciiLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// While it lives, the calling thread gets failures instead of the system's critical-error
// boxes ("There is no disk in the drive") and file-open error boxes; the thread's previous
// mode comes back when it ends.
class QuietCriticalErrors {
  public:
    QuietCriticalErrors() noexcept
        : changed_(SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX,
                                      &previous_) != FALSE) {}
    ~QuietCriticalErrors() {
        if (changed_) {
            SetThreadErrorMode(previous_, nullptr);
        }
    }
    QuietCriticalErrors(const QuietCriticalErrors&) = delete;
    QuietCriticalErrors& operator=(const QuietCriticalErrors&) = delete;

  private:
    DWORD previous_ = 0;
    bool changed_;
};

}  // namespace

TextView DriveNameOf(TextView path) {
    if (path.size() >= 2 && path[1] == u':' && IsAsciiLetter(path[0])) {
        return path.substr(0, 2);
    }
    if (path.substr(0, 2) != u"\\\\") {
        return {};
    }
    const std::size_t serverEnd = path.find(u'\\', 2);
    if (serverEnd == TextView::npos || serverEnd == 2 || serverEnd + 1 == path.size() ||
        path[serverEnd + 1] == u'\\') {
        return {};
    }
    return path.substr(0, path.find(u'\\', serverEnd + 1));
}

bool VolumeDriveProbe::DriveInUse(TextView driveLetter) noexcept {
    try {
        const TextView drive = DriveNameOf(driveLetter);
        if (drive.empty()) {
            return false;
        }
        const std::wstring root = ToWide(drive) + L'\\';
        const QuietCriticalErrors quiet;
        // Only a drive that exists and is ready (with a medium in it, if removable) gives its
        // volume information.
        return GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, nullptr,
                                     0) != FALSE;
    } catch (...) {
        // Only an allocation can fail here; a probe that cannot answer says "free".
        return false;
    }
}

}  // namespace brisvane
