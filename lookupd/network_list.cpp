#include "lookupd/network_list.h"

#include <arpa/inet.h>

#include <charconv>
#include <cstring>

namespace brisvane::lookupd {

namespace {

constexpr unsigned kMappedPrefix = 96;  // ::ffff:0:0/96 holds IPv4

// `text` as 16 bytes, IPv4 mapped into IPv6; whether it was IPv4 goes to `ipv4`.
std::optional<std::array<std::uint8_t, 16>> ReadAddress(std::string_view text, bool& ipv4) {
    const std::string copy(text);
    std::array<std::uint8_t, 16> bytes{};
    in_addr v4{};
    if (inet_pton(AF_INET, copy.c_str(), &v4) == 1) {
        ipv4 = true;
        bytes[10] = 0xFF;
        bytes[11] = 0xFF;
        std::memcpy(&bytes[12], &v4, sizeof v4);
        return bytes;
    }
    in6_addr v6{};
    if (inet_pton(AF_INET6, copy.c_str(), &v6) == 1) {
        ipv4 = false;
        std::memcpy(bytes.data(), &v6, sizeof v6);
        return bytes;
    }
    return std::nullopt;
}

}  // namespace

std::optional<NetworkList> NetworkList::Parse(const std::vector<std::string>& entries,
                                              std::string* bad) {
    NetworkList list;
    for (const std::string& entry : entries) {
        const std::size_t slash = entry.find('/');
        bool ipv4 = false;
        const auto address = ReadAddress(std::string_view(entry).substr(0, slash), ipv4);
        unsigned length = ipv4 ? 32 : 128;
        bool ok = address.has_value();
        if (ok && slash != std::string::npos) {
            const std::string_view digits = std::string_view(entry).substr(slash + 1);
            const auto [end, error] =
                std::from_chars(digits.data(), digits.data() + digits.size(), length);
            ok = !digits.empty() && error == std::errc{} && end == digits.data() + digits.size() &&
                 length <= (ipv4 ? 32U : 128U);
        }
        if (!ok) {
            if (bad != nullptr) {
                *bad = entry;
            }
            return std::nullopt;
        }
        list.networks_.push_back({*address, ipv4 ? kMappedPrefix + length : length});
    }
    return list;
}

bool NetworkList::Contains(std::string_view address) const {
    if (networks_.empty()) {
        return true;
    }
    bool ipv4 = false;
    const auto bytes = ReadAddress(address, ipv4);
    if (!bytes) {
        return false;
    }
    for (const Network& network : networks_) {
        unsigned bits = network.prefix;
        std::size_t i = 0;
        for (; bits >= 8; bits -= 8, ++i) {
            if (network.bytes.at(i) != bytes->at(i)) {
                break;
            }
        }
        if (bits >= 8) {
            continue;  // a whole byte differed
        }
        const auto mask = static_cast<std::uint8_t>(0xFFU << (8 - bits));
        if (bits == 0 || (network.bytes.at(i) & mask) == (bytes->at(i) & mask)) {
            return true;
        }
    }
    return false;
}

}  // namespace brisvane::lookupd
