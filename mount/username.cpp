#include "mount/username.h"

#include <array>

#include "mount/build_settings.h"

namespace brisvane {

namespace {

void RemoveFirst(Text& text, TextView piece) {
    const auto at = FindIgnoringAsciiCase(text, piece);
    if (at != TextView::npos) {
        text.erase(at, piece.size());
    }
}

}  // namespace

Text CleanUsername(TextView username) {
    const Text domainSlash = Join({LogonDomain, u"/"});
    const Text domainBackslash = Join({LogonDomain, u"\\"});
    const std::array<TextView, 3> pieces{domainSlash, domainBackslash, MailDomainSuffix};
    Text cleaned(username);
    for (const TextView piece : pieces) {
        RemoveFirst(cleaned, piece);
    }
    return cleaned;
}

}  // namespace brisvane
