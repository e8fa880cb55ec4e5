#include "mount/username.h"

#include <gtest/gtest.h>

#include "testing/test_organisation.h"

namespace brisvane {
namespace {

TEST(CleanUsernameTest, RemovesTheDomainPrefixesAndTheMailSuffixOnce) {
    struct Case {
        TextView typed;
        TextView cleaned;
    };
    const Case cases[] = {
        {u"user1", u"user1"},
        {u"CAMPUS\\user1", u"user1"},
        {u"campus/user1", u"user1"},
        {u"Campus\\User1", u"User1"},
        {u"user1@campus.example", u"user1"},
        {u"user1@CAMPUS.Example", u"user1"},
        {u"CAMPUS\\user1@campus.example", u"user1"},
        {u"CAMPUS\\CAMPUS\\user1", u"CAMPUS\\user1"},
        {u"CAMPUS\\CAMPUS/user1", u"user1"},
        {u"user1CAMPUS/", u"user1"},
        {u"CAMPUSCAMPUS//user1", u"CAMPUS/user1"},
        {u"OTHER\\user1", u"OTHER\\user1"},
        {u"CAMPUS\\", u""},
        {u"@campus.example", u""},
        {u"", u""},
        {u"user1@campus.example.org", u"user1.org"},
        {u"CAMPUS user1", u"CAMPUS user1"},
        {u"\u0130CAMPUS/x", u"\u0130x"},  // only ASCII letters fold
        {u"C\u0041MPUS/x", u"x"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CleanUsername(c.typed, test_support::kTestOrganisation), c.cleaned)
            << std::string(c.typed.begin(), c.typed.end());
    }
}

}  // namespace
}  // namespace brisvane
