// The organisation that the tests' members sign in to unless a test says otherwise: the texts of
// a build that sets none of its own (logon domain CAMPUS, "@campus.example", "University
// Credentials", Varnholt, Tamsk), a lookup page of the tests' own and no list of file servers.
#pragma once

#include "mount/organisation.h"

namespace brisvane::test_support {

inline constexpr Organisation kTestOrganisation{
    .lookupPageUrl = u"http://lookup.test/cs/servers/serversearch.asp",
    .mailDomainSuffix = u"@campus.example",
    .logonDomain = u"CAMPUS",
    .credentialsCaption = u"University Credentials",
    .accountName = u"Varnholt",
    .contact = u"Tamsk",
    .fileServers = {},
};

// Another organisation, every text of which differs from the tests' own: what a program built
// for it shows and says must come from its value, never from the defaults.
inline constexpr Organisation kAcmeOrganisation{
    .lookupPageUrl = u"https://intranet.acme.example/cs/servers/serversearch.asp",
    .mailDomainSuffix = u"@acme.example",
    .logonDomain = u"ACME-HQ",
    .credentialsCaption = u"Acme Staff Sign-in",
    .accountName = u"Acme Staff",
    .contact = u"the Acme IT Service Desk",
    .fileServers = {},
};

}  // namespace brisvane::test_support
