// Reduces the username as the member typed it to the bare network username.
#pragma once

#include "mount/organisation.h"
#include "mount/text.h"

namespace brisvane {

// Removes, in this order and ignoring ASCII letter case, the first of the organisation's logon
// domain and "/" ("CAMPUS/"), then the first logon domain and "\", then the first mail domain
// suffix, wherever each stands. Each removal is a single pass: an occurrence that a removal forms
// from its neighbours stays.
Text CleanUsername(TextView username, const Organisation& organisation);

}  // namespace brisvane
