#include "mount/username.h"

#include <array>

namespace brisvane {

namespace {

void RemoveFirst(Text& text, TextView piece) {
    const auto at = FindIgnoringAsciiCase(text, piece);
    if (at != TextView::npos) {
        text.erase(at, piece.size());
    }
}

}  // namespace

Text CleanUsername(TextView username, const Organisation& organisation) {
    const Text domainSlash = Join({organisation.logonDomain, u"/"});
    const Text domainBackslash = Join({organisation.logonDomain, u"\\"});
    const std::array<TextView, 3> pieces{domainSlash, domainBackslash,
                                         organisation.mailDomainSuffix};
    Text cleaned(username);
    for (const TextView piece : pieces) {
        RemoveFirst(cleaned, piece);
    }
    return cleaned;
}

}  // namespace brisvane
