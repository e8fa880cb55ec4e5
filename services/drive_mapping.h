// The drive mapping call: one WNetAddConnection2W per attempt, to the SMB provider alone.
#pragma once

#include <cstdint>

#include "mount/mount_workflow.h"

namespace brisvane {

class NetworkDriveMapping final : public DriveMapping {
  public:
    // Connects with a fresh record (type RESOURCETYPE_ANY, scope, display type and usage 0, no
    // comment) that names the provider of Windows' own file sharing (SMB), as mpr.dll calls it
    // at the time, and flags 0, through the wide entry point so that every character of the
    // password and user name reaches the provider. No other provider sees the request; when
    // mpr.dll cannot name the SMB provider, its error code is the result and nothing is sent.
    // The call's copy of the password is zeroed before this returns. Loads mpr.dll for the call;
    // raises WorkflowError when mpr.dll or its entry points cannot be had.
    std::int32_t AddConnection(TextView remoteName, TextView localName, const SecretText& password,
                               TextView userName) override;
};

}  // namespace brisvane
