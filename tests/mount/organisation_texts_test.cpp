// The core given another organisation (logon domain ACME-HQ, account name "Acme Staff", contact
// "the Acme IT Service Desk"): its members read its own texts wherever the test organisation's
// show CAMPUS, Varnholt and Tamsk.
#include <gtest/gtest.h>

#include "mount/username.h"
#include "testing/fakes.h"

namespace brisvane::test_support {
namespace {

constexpr const Organisation& kAcme = kAcmeOrganisation;

class OrganisationTextsTest : public ::testing::Test {
  protected:
    // The window's domain box holds the organisation's logon domain.
    OrganisationTextsTest() {
        world.organisation = kAcme;
        world.form.domain = Text(kAcme.logonDomain);
    }
    FakeWorld world;
};

TEST_F(OrganisationTextsTest, MapsAsTheOrganisationsDomainAndRemovesItFromTypedUsernames) {
    world.form.username = u"acme-hq\\user1";
    world.lookup.page = u"<td>smb://srv1/user1</td>\n";
    world.PressOK();

    ASSERT_EQ(world.mapping.calls.size(), 1u);
    EXPECT_EQ(world.mapping.calls[0].userName, u"ACME-HQ\\user1");
    EXPECT_EQ(CleanUsername(u"ACME-HQ/user1@acme.example", kAcme), u"user1");
    EXPECT_EQ(CleanUsername(u"CAMPUS\\user1@campus.example", kAcme),
              u"CAMPUS\\user1@campus.example");
}

TEST_F(OrganisationTextsTest, PagesWithoutTheShareOrWithTwoNameTheOrganisationsPeople) {
    world.lookup.page = u"<td>smb://srv1/user1</td>\n<td>smb://srv2/user1</td>\n";
    world.PressOK();
    world.lookup.page = u"<html>no such user</html>";
    world.PressOK();

    ASSERT_EQ(world.boxes.shown.size(), 2u);
    EXPECT_EQ(world.boxes.shown[0].prompt,
              u"The wepage containing the M: drive info has changed,\r\n"
              u"Please contact the Acme IT Service Desk to update this program.\r\n");
    EXPECT_EQ(world.boxes.shown[1].prompt,
              u"There was a problem retrieving your share information from the Network\r\n"
              u"Please ensure that:\r\n"
              u" a. You typed your Username Correctly\r\n"
              u" b. The share you are trying to use belongs to a valid\r\n"
              u"    and active Acme Staff account.");
}

}  // namespace
}  // namespace brisvane::test_support
