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

}  // namespace brisvane::test_support
