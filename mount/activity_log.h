// The activity log: the read-only text box in which the workflow reports every step.
#pragma once

#include "mount/text.h"

namespace brisvane {

// The operations of the log box that the core needs. Positions count UTF-16 code units.
class LogBox {
  public:
    virtual ~LogBox() = default;
    // The whole current text of the box.
    virtual Text GetText() const = 0;
    // Places an empty selection (the caret) before the code unit at `position`; the text's
    // length puts it at the end.
    virtual void SetEmptySelection(std::size_t position) = 0;
    // Replaces the selected code units by `text`, leaving the caret after it.
    virtual void ReplaceSelection(TextView text) = 0;
    // Empties the box.
    virtual void SetEmpty() = 0;
};

// Appends a line break and `entry` at the end of the log, whatever the member selected there.
void LogLine(LogBox& log, TextView entry);

}  // namespace brisvane
