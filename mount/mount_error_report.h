// Explains a refused drive mapping to the member: a box first, then the same text in the log.
#pragma once

#include <cstdint>

#include "mount/activity_log.h"
#include "mount/message_box.h"

namespace brisvane {

// The message for a non-zero result of the mapping call. The share path, which the lookup page
// chose, stands in it as ShownText shows it.
Text MountErrorMessage(std::int32_t code, TextView driveLetter, TextView sharePath,
                       TextView userName);

// The box style for that result: no icon for ERROR_BAD_PROFILE (1206), the exclamation icon
// for every other code.
BoxStyle MountErrorStyle(std::int32_t code);

// Shows the message in a box titled "Brisvane" and, once the box is closed, logs it unchanged.
void ReportMountError(std::int32_t code, TextView driveLetter, TextView sharePath,
                      TextView userName, MessageBoxFacility& boxes, LogBox& log);

}  // namespace brisvane
