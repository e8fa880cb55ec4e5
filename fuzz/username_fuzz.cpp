// CleanUsername against a second, deliberately plain reading of its contract: fold a copy of the
// text to lower case, find each piece there with an exact search, and cut the original at the
// same place. The two must agree on every text, non-ASCII letters and lone surrogates included.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/fuzz_input.h"
#include "mount/username.h"
#include "testing/test_organisation.h"

namespace brisvane::fuzzing {
namespace {

// The organisation whose texts the usernames lose.
constexpr const Organisation& kOrganisation = test_support::kTestOrganisation;

Text ExpectedCleanUsername(TextView username) {
    const Text domainSlash = Text(kOrganisation.logonDomain) + u"/";
    const Text domainBackslash = Text(kOrganisation.logonDomain) + u"\\";
    const std::array<TextView, 3> pieces{domainSlash, domainBackslash,
                                         kOrganisation.mailDomainSuffix};
    Text text(username);
    for (const TextView piece : pieces) {
        const auto at = FoldedAscii(text).find(FoldedAscii(piece));
        if (at != Text::npos) {
            text.erase(at, piece.size());
        }
    }
    return text;
}

}  // namespace
}  // namespace brisvane::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace brisvane;
    using namespace brisvane::fuzzing;
    const Text username = DecodeText(std::span(data, size));
    const Text cleaned = CleanUsername(username, kOrganisation);
    const Text expected = ExpectedCleanUsername(username);
    if (cleaned != expected) {
        Fail("CleanUsername gave \"" + Printable(cleaned) + "\", expected \"" +
             Printable(expected) + "\" for \"" + Printable(username) + "\"");
    }
    return 0;
}
