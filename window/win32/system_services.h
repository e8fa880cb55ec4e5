// The platform's message boxes and clock, as the mount core uses them.
#pragma once

#include <windows.h>

#include "mount/message_box.h"
#include "mount/mount_workflow.h"

namespace brisvane::window {

// The system's own modal boxes, owned by the main window, so that the window is disabled while
// one is open.
class SystemMessageBoxes final : public MessageBoxFacility {
  public:
    explicit SystemMessageBoxes(HWND owner) : owner_(owner) {}
    void MsgBox(TextView prompt, BoxStyle style, TextView title) override;

  private:
    HWND owner_;
};

// The local time of day in the user's regional time format, seconds included.
class SystemClock final : public Clock {
  public:
    Text TimeOfDay() override;
};

}  // namespace brisvane::window
