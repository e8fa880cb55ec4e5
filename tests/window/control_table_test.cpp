// The control table of another organisation's window: the credential frame, the domain box and
// the web-site box show that organisation's texts.
#include "window/control_table.h"

#include <gtest/gtest.h>

#include "testing/test_organisation.h"

namespace brisvane {
namespace {

TEST(ControlTableTest, TheWindowShowsTheOrganisationsCaptionDomainAndLookupPage) {
    const Organisation& kAcme = test_support::kAcmeOrganisation;
    EXPECT_EQ(EntryOf(ControlId::frameCred, kAcme).text, u"Acme Staff Sign-in");
    EXPECT_EQ(EntryOf(ControlId::txtDomain, kAcme).text, u"ACME-HQ");
    EXPECT_EQ(EntryOf(ControlId::txtWebSite, kAcme).text,
              u"https://intranet.acme.example/cs/servers/serversearch.asp");
}

}  // namespace
}  // namespace brisvane
