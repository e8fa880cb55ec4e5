// The organisation a program is built for: where it looks members' shares up, how their
// usernames and accounts are spelt, whom they ask, and which servers may receive their
// credentials. The core and the window take it as a value; each program's value is written by
// the build (cmake/BrisvaneOrganisation.cmake) from the organisation's settings.
#pragma once

#include <span>

#include "mount/text.h"

namespace brisvane {

struct Organisation {
    // The share lookup page, shown read-only in the window and posted to by every attempt.
    TextView lookupPageUrl;
    // "@" and the organisation's e-mail domain, removed from typed usernames.
    TextView mailDomainSuffix;
    // The logon domain: shown read-only in the window, put before the username in the user name
    // the drive is mapped with, and removed from usernames typed with it.
    TextView logonDomain;
    // The caption of the frame around the username and password boxes.
    TextView credentialsCaption;
    // Whose accounts the home shares belong to, as the message for a page without the member's
    // share names them.
    TextView accountName;
    // Whom members ask to update the program when the lookup page no longer reads as it should.
    TextView contact;
    // The organisation's file servers, the only servers a share may be on (see IsFileServer);
    // empty: no list.
    std::span<const TextView> fileServers;
};

// The organisation of the running program. Each program links exactly one definition, the one
// the build wrote for it; the core and the window never call this: they are given the value.
const Organisation& ThisOrganisation();

}  // namespace brisvane
