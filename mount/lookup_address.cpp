#include "mount/lookup_address.h"

#include <algorithm>
#include <cstddef>
#include <optional>

namespace brisvane {

namespace {

bool IsAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// A scheme, a letter followed by letters, digits, '+', '-' and '.', and then a colon.
bool StartsWithScheme(TextView reference) {
    const std::size_t colon = reference.find(u':');
    if (colon == TextView::npos || colon == 0 || !IsAsciiLetter(reference[0])) {
        return false;
    }
    return std::all_of(reference.begin() + 1,
                       reference.begin() + static_cast<std::ptrdiff_t>(colon), [](char16_t c) {
                           return IsAsciiLetter(c) || IsDigit(c) || c == u'+' || c == u'-' ||
                                  c == u'.';
                       });
}

// A port in decimal, 1 to 65535; nullopt for anything else.
std::optional<std::uint16_t> PortNumber(TextView digits) {
    if (digits.empty() || digits.size() > 5 || !std::ranges::all_of(digits, IsDigit)) {
        return std::nullopt;
    }
    std::uint32_t port = 0;
    for (const char16_t c : digits) {
        port = port * 10 + static_cast<std::uint32_t>(c - u'0');
    }
    if (port == 0 || port > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(port);
}

}  // namespace

std::variant<LookupAddress, AddressFault> ReadLookupAddress(TextView address) {
    address = address.substr(0, address.find(u'#'));
    const std::size_t colon = address.find(u':');
    if (colon == TextView::npos) {
        return AddressFault::kUnrecognisedScheme;
    }
    LookupAddress read;
    const TextView scheme = address.substr(0, colon);
    std::uint16_t defaultPort = 0;
    if (EqualIgnoringAsciiCase(scheme, u"http")) {
        read.scheme = AddressScheme::kHttp;
        defaultPort = 80;
    } else if (EqualIgnoringAsciiCase(scheme, u"https")) {
        read.scheme = AddressScheme::kHttps;
        defaultPort = 443;
    } else {
        return AddressFault::kUnrecognisedScheme;
    }
    if (address.substr(colon + 1, 2) != u"//") {
        return AddressFault::kMalformed;
    }
    const std::size_t authorityStart = colon + 3;
    const std::size_t authorityEnd =
        std::min(address.find_first_of(u"/?", authorityStart), address.size());
    TextView authority = address.substr(authorityStart, authorityEnd - authorityStart);
    // User information goes to no server: the request carries no credentials of the address.
    if (const std::size_t at = authority.rfind(u'@'); at != TextView::npos) {
        authority.remove_prefix(at + 1);
    }
    // An IPv6 host is bracketed; a colon after it, or in any other host, starts the port.
    const std::size_t hostEnd = authority.starts_with(u'[')
                                    ? authority.find(u']') + 1  // npos + 1: no closing bracket
                                    : std::min(authority.find(u':'), authority.size());
    if (hostEnd == 0) {
        return AddressFault::kMalformed;
    }
    read.host = Text(authority.substr(0, hostEnd));
    const TextView afterHost = authority.substr(hostEnd);
    if (afterHost.empty() || afterHost == u":") {
        read.port = defaultPort;
    } else if (const std::optional<std::uint16_t> port =
                   afterHost.starts_with(u':') ? PortNumber(afterHost.substr(1)) : std::nullopt) {
        read.port = *port;
    } else {
        return AddressFault::kMalformed;
    }
    read.target = Text(address.substr(authorityEnd));
    if (!read.target.starts_with(u'/')) {
        read.target.insert(0, u"/");
    }
    return read;
}

Text ResolveRedirect(TextView base, TextView location) {
    location = location.substr(0, location.find(u'#'));
    base = base.substr(0, base.find(u'#'));
    if (StartsWithScheme(location)) {
        return Text(location);
    }
    const std::size_t schemeEnd = base.find(u':');
    const std::size_t authorityStart =
        base.compare(schemeEnd + 1, 2, u"//") == 0 ? schemeEnd + 3 : schemeEnd + 1;
    const std::size_t authorityEnd =
        std::min(base.find_first_of(u"/?", authorityStart), base.size());
    const std::size_t pathEnd = std::min(base.find(u'?', authorityEnd), base.size());
    const TextView origin = base.substr(0, authorityEnd);
    const TextView path = base.substr(authorityEnd, pathEnd - authorityEnd);

    Text resolved;
    if (location.starts_with(u"//")) {
        resolved = base.substr(0, schemeEnd + 1);
    } else if (location.starts_with(u'/')) {
        resolved = origin;
    } else if (location.empty()) {
        resolved = base;
    } else if (location.starts_with(u'?')) {
        resolved = Join({origin, path});
    } else {
        const std::size_t lastSlash = path.rfind(u'/');
        resolved = Join(
            {origin, lastSlash == TextView::npos ? TextView(u"/") : path.substr(0, lastSlash + 1)});
    }
    return resolved.append(location);
}

bool SameServer(const LookupAddress& a, const LookupAddress& b) {
    return a.scheme == b.scheme && a.port == b.port && EqualIgnoringAsciiCase(a.host, b.host);
}

}  // namespace brisvane
