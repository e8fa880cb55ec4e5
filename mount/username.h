// Reduces the username as the member typed it to the bare network username.
#pragma once

#include "mount/text.h"

namespace brisvane {

// Removes, in this order and ignoring ASCII letter case, the first LogonDomain and "/" ("CAMPUS/"),
// then the first LogonDomain and "\", then the first MailDomainSuffix, wherever each stands. Each
// removal is a single pass: an occurrence that a removal forms from its neighbours stays.
Text CleanUsername(TextView username);

}  // namespace brisvane
