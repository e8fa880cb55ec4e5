// The modal message box of the platform, as the workflow and the failure report use it.
#pragma once

#include "mount/text.h"

namespace brisvane {

// Box styles, as the platform numbers them.
enum class BoxStyle : int {
    kPlain = 0,         // OK button only, no icon
    kExclamation = 48,  // OK button and the exclamation icon
    kInformation = 64,  // OK button and the information icon
};

class MessageBoxFacility {
  public:
    virtual ~MessageBoxFacility() = default;
    // Shows a modal box with one OK button; returns once the member has closed it.
    virtual void MsgBox(TextView prompt, BoxStyle style, TextView title) = 0;
};

}  // namespace brisvane
