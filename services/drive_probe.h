// Whether a drive letter is taken: the drive availability probe over the volume API.
#pragma once

#include "mount/mount_workflow.h"
#include "mount/text.h"

namespace brisvane {

// The drive that `path` names: the letter and colon at its start ("M:" of "M:\folder"), or the
// \\server\share of a UNC path; empty when the text names no drive.
TextView DriveNameOf(TextView path);

class VolumeDriveProbe final : public DriveProbe {
  public:
    // In use only when the drive exists and its volume answers (a removable drive without a
    // medium does not). Never shows the system's "insert a disk" box; never raises.
    bool DriveInUse(TextView driveLetter) noexcept override;
};

}  // namespace brisvane
