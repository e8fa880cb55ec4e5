// The demo organisation's share lookup page: which smb locators it lists for each member.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "standins/lookup_page_server.h"

namespace brisvane::standins {

struct DemoMember {
    std::string username;               // as the member types it, UTF-8
    std::vector<std::string> locators;  // the smb locators the page lists, usually one
    std::string password;               // what the demo's file servers accept, UTF-8
};

// The demo organisation's members: "user1", "alice", "bob" (a share below a folder) and
// "jürgen" (a non-ASCII name), one home share each on the demo's file servers (srv1, files1,
// files2). Their demo passwords are in the project's README. The demo's lookup service serves
// them from a members file that the demo organisation writes (demo/demo_organisation.cpp).
std::vector<DemoMember> DemoMembers();

// The value of the first field named `name` in an application/x-www-form-urlencoded body, as
// FormValues (mount/lookup_body.h) decodes it: UTF-8 bytes; nullopt when the field is absent or
// the body is not well-formed.
std::optional<std::string> FormField(std::string_view body, std::string_view name);

// The page as the organisation's web server serves it: for a POST to
// the build's lookup path (BRISVANE_LOOKUP_PATH), a page listing the locators of the member named
// by the form field "user" (none for an unknown member, compared without regard to ASCII case); 405
// for another method on that page, 404 for any other path.
PageReply AnswerLookup(const ReceivedRequest& request, const std::vector<DemoMember>& members);

}  // namespace brisvane::standins
