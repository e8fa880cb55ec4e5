// The control table of another organisation's window: the credential frame, the domain box and
// the web-site box show that organisation's texts.
#include "window/control_table.h"

#include <gtest/gtest.h>

namespace brisvane {
namespace {

TEST(ControlTableTest, TheWindowShowsTheOrganisationsCaptionDomainAndLookupPage) {
    constexpr Organisation kAcme{
        .lookupPageUrl = u"https://intranet.acme.example/cs/servers/serversearch.asp",
        .mailDomainSuffix = u"@acme.example",
        .logonDomain = u"ACME-HQ",
        .credentialsCaption = u"Acme Staff Sign-in",
        .accountName = u"Acme Staff",
        .contact = u"the Acme IT Service Desk",
        .fileServers = {},
    };
    EXPECT_EQ(EntryOf(ControlId::frameCred, kAcme).text, u"Acme Staff Sign-in");
    EXPECT_EQ(EntryOf(ControlId::txtDomain, kAcme).text, u"ACME-HQ");
    EXPECT_EQ(EntryOf(ControlId::txtWebSite, kAcme).text,
              u"https://intranet.acme.example/cs/servers/serversearch.asp");
}

}  // namespace
}  // namespace brisvane
