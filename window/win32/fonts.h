// The two fonts of the main window, at a given DPI.
#pragma once

#include <windows.h>

#include "win32/owners.h"

namespace brisvane::window {

// The platform's default dialog font, "MS Shell Dlg 2" at 8 points: every control but the log.
UniqueFont CreateDialogFont(UINT dpi);

// The activity log's font: "Terminal" at 6 points, bold, OEM character set. Where no face of that
// name is installed (Wine has none), the font mapper's fixed-pitch face of the same size.
UniqueFont CreateLogFont(UINT dpi);

}  // namespace brisvane::window
