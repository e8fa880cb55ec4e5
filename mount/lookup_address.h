// The addresses of the share lookup: reading an http or https address into the server it names
// and the request target sent there, resolving a redirect's Location against the address that
// answered with it, and whether two addresses name the same server.
#pragma once

#include <cstdint>
#include <variant>

#include "mount/text.h"

namespace brisvane {

enum class AddressScheme { kHttp, kHttps };

// What an address leads to: the server the request connects to and the target it sends there.
struct LookupAddress {
    AddressScheme scheme = AddressScheme::kHttp;
    Text host;               // as written, without user information or port; [..] for IPv6
    std::uint16_t port = 0;  // the scheme's own (80, 443) when the address names none
    Text target;             // path and query, "/" when the address has no path; no fragment

    bool operator==(const LookupAddress&) const = default;
};

// Why an address cannot be used: its scheme is missing or not http or https, or it is not a
// well-formed address of that scheme (no "//", no host, a port that is not 1 to 65535).
enum class AddressFault { kUnrecognisedScheme, kMalformed };

// `address` read as "scheme://[user@]host[:port][/path][?query][#fragment]". The scheme is
// matched without regard to ASCII case; the host is kept as written.
std::variant<LookupAddress, AddressFault> ReadLookupAddress(TextView address);

// The address that a redirect's `location` names, read against `base`, the address that
// answered with it: a reference with a scheme stands alone, "//" takes base's scheme, "/" its
// scheme and server, "?" its path too, an empty one is base itself, and anything else replaces
// the last segment of base's path. Dot segments are left to the server, and fragments, which
// never go to a server, are dropped. `base` must read as a LookupAddress.
Text ResolveRedirect(TextView base, TextView location);

// The same scheme, port and host (host compared without regard to ASCII case): an address on
// the same server.
bool SameServer(const LookupAddress& a, const LookupAddress& b);

}  // namespace brisvane
