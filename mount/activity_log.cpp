#include "mount/activity_log.h"

namespace brisvane {

void LogLine(LogBox& log, TextView entry) {
    log.SetEmptySelection(log.GetText().size());
    Text line(kCrLf);
    line += entry;
    log.ReplaceSelection(line);
}

}  // namespace brisvane
