#include "lookupd/network_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brisvane::lookupd {
namespace {

TEST(NetworkListTest, HoldsTheAddressesOfItsNetworks) {
    const auto list =
        NetworkList::Parse({"10.0.0.0/8", "192.0.2.7", "198.51.100.64/27", "2001:db8::/32", "::1"});
    ASSERT_TRUE(list);
    struct Case {
        std::string_view address;
        bool in;
    };
    const Case cases[] = {
        {"10.1.2.3", true},
        {"11.0.0.1", false},
        {"192.0.2.7", true},
        {"192.0.2.8", false},
        {"198.51.100.64", true},
        {"198.51.100.95", true},
        {"198.51.100.96", false},
        {"198.51.100.63", false},
        {"::ffff:10.9.9.9", true},
        {"::ffff:11.9.9.9", false},  // IPv4 on an IPv6 socket
        {"2001:db8:1::5", true},
        {"2001:db9::5", false},
        {"::1", true},
        {"::2", false},
        {"0a00::", false},  // 10.x as the first bytes of an IPv6 address
        {"-", false},
        {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(list->Contains(c.address), c.in) << c.address;
    }
    EXPECT_TRUE(NetworkList().Contains("203.0.113.1"));  // no list: every network
    EXPECT_TRUE(NetworkList::Parse({"0.0.0.0/0"})->Contains("203.0.113.1"));
    EXPECT_FALSE(NetworkList::Parse({"0.0.0.0/0"})->Contains("2001:db8::1"));
}

TEST(NetworkListTest, RefusesWhatIsNotANetwork) {
    for (const std::string entry : {"10.0.0.0/33", "10.0.0/8", "10.0.0.0/", "10.0.0.0/8x",
                                    "2001:db8::/129", "campus.example", "10.0.0.0/-1", ""}) {
        std::string bad;
        EXPECT_FALSE(NetworkList::Parse({"10.0.0.0/8", entry}, &bad)) << entry;
        EXPECT_EQ(bad, entry);
    }
}

}  // namespace
}  // namespace brisvane::lookupd
