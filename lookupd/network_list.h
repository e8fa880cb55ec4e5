// A list of IP networks ("10.0.0.0/8", "192.0.2.7", "2001:db8::/32") and whether an address is
// in one of them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisvane::lookupd {

class NetworkList {
  public:
    // Every network: each address is in it.
    NetworkList() = default;

    // The networks of `entries`; nothing when one is not an address or CIDR range (`bad`
    // then names it). An empty list holds every address.
    static std::optional<NetworkList> Parse(const std::vector<std::string>& entries,
                                            std::string* bad = nullptr);

    // Whether `address` (as the server writes a client's: "192.0.2.7", "2001:db8::1", or an
    // IPv4-mapped IPv6 address) is in one of the networks. An address that cannot be read is
    // in none, unless the list is empty.
    bool Contains(std::string_view address) const;

    bool Everything() const { return networks_.empty(); }

  private:
    struct Network {
        std::array<std::uint8_t, 16> bytes{};  // IPv4 as an IPv4-mapped IPv6 address
        unsigned prefix = 0;                   // bits that must match, of the 128
    };
    std::vector<Network> networks_;
};

}  // namespace brisvane::lookupd
