// brisvane.exe: maps the member's home share to a drive letter from one small window.

#include <windows.h>

#include "mount/mount_workflow.h"
#include "mount/workflow_error.h"
#include "window/win32/program.h"

namespace {

using brisvane::SecretText;
using brisvane::TextView;

// ---------------------------------------------------------------------------------------------
// Stand-ins for the Windows services until they are connected: the window and the whole mount
// request run, and every attempt ends at the lookup with an explanation. To connect the real
// services, construct them in wWinMain in place of these three.

// E_NOTIMPL: what the member sees as the error number.
constexpr std::int32_t kNotConnected = -2147467263;

class LookupNotConnected final : public brisvane::ShareLookup {
  public:
    std::unique_ptr<brisvane::ShareLookupRequest> CreateRequest() override {
        throw brisvane::WorkflowError(
            kNotConnected, u"The share lookup is not connected in this build of Brisvane.");
    }
};

class NoDriveInUse final : public brisvane::DriveProbe {
  public:
    bool DriveInUse(TextView /*driveLetter*/) noexcept override { return false; }
};

class NoNetwork final : public brisvane::DriveMapping {
  public:
    std::int32_t AddConnection(TextView /*remoteName*/, TextView /*localName*/,
                               const SecretText& /*password*/, TextView /*userName*/) override {
        return ERROR_NO_NETWORK;
    }
};
// ---------------------------------------------------------------------------------------------

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int /*show*/) {
    LookupNotConnected lookup;
    NoDriveInUse probe;
    NoNetwork mapping;
    return brisvane::win32::RunProgram(instance, {lookup, probe, mapping});
}
