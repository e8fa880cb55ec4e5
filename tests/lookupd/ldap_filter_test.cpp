#include "lookupd/ldap_filter.h"

#include <gtest/gtest.h>

#include <string>

namespace brisvane::lookupd {
namespace {

using namespace std::string_literals;

TEST(LdapFilterTest, MetacharactersOfTheNameCannotChangeTheFilter) {
    struct Case {
        std::string username;
        std::string filter;
    };
    const Case cases[] = {
        {"alice", "(uid=alice)"},
        {"*", "(uid=\\2a)"},
        {"al*", "(uid=al\\2a)"},
        {"alice)(uid=*", "(uid=alice\\29\\28uid=\\2a)"},
        {"*)(|(objectClass=*", "(uid=\\2a\\29\\28|\\28objectClass=\\2a)"},
        {"back\\slash", "(uid=back\\5cslash)"},
        {"\\2a", "(uid=\\5c2a)"},  // an escape typed by the member stays literal
        {"nul\0x"s, "(uid=nul\\00x)"},
        {"j\xC3\xBCrgen", "(uid=j\xC3\xBCrgen)"},  // UTF-8 goes as it is
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FilterForUser("(uid=%s)", c.username), c.filter) << c.username;
    }
}

TEST(LdapFilterTest, FillsEveryPlaceOfTheTemplate) {
    EXPECT_EQ(FilterForUser("(&(objectCategory=person)(sAMAccountName=%s))", "a*"),
              "(&(objectCategory=person)(sAMAccountName=a\\2a))");
    EXPECT_EQ(FilterForUser("(|(uid=%s)(mail=%s@campus.example))", "bob("),
              "(|(uid=bob\\28)(mail=bob\\28@campus.example))");
}

}  // namespace
}  // namespace brisvane::lookupd
