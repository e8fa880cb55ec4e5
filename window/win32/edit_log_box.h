// The activity log txtInfo: a read-only multi-line edit control that only the program writes.
#pragma once

#include <windows.h>

#include "mount/activity_log.h"

namespace brisvane::window {

class EditLogBox final : public LogBox {
  public:
    explicit EditLogBox(HWND edit) : edit_(edit) {}

    Text GetText() const override;
    void SetEmptySelection(std::size_t position) override;
    // Read-only stops the member's typing, not the program's replacements.
    void ReplaceSelection(TextView text) override;
    void SetEmpty() override;

  private:
    HWND edit_;
};

}  // namespace brisvane::window
