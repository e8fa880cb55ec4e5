// The demo organisation's lookup page, served by the stand-in server on 127.0.0.1 in this
// process and asked as the program asks it: through the share lookup request over WinHTTP.
#include "standins/lookup_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mount/lookup_body.h"
#include "mount/share_locator.h"
#include "mount/workflow_error.h"
#include "services/http_share_lookup.h"
#include "standins/lookup_page_server.h"
#include "win32/text.h"

namespace brisvane {
namespace {

using standins::LookupPageServer;
using standins::ReceivedRequest;

// The page that the lookup request gets for `username`; a test failure when it raises an error.
Text PageFor(const LookupPageServer& server, TextView username) {
    try {
        HttpShareLookup lookup;
        return lookup.CreateRequest()->Send(FromWide(server.Url()), LookupRequestBody(username));
    } catch (const WorkflowError& error) {
        ADD_FAILURE() << "WorkflowError " << error.Number() << ": " << ToUtf8(error.Description());
        return {};
    }
}

TEST(LookupPageTest, TheDemoPageListsTheSharesOfItsMembers) {
    std::vector<standins::DemoMember> members = standins::DemoMembers();
    members.push_back({"twoshares", {"smb://files1/twoshares", "smb://files2/twoshares"}, ""});
    const LookupPageServer server(
        [&members](const ReceivedRequest& request) { return AnswerLookup(request, members); });
    const auto search = [&server](TextView username) {
        return SearchShareLocator(PageFor(server, username));
    };

    const ShareSearchResult known = search(u"J\u00FCrgen");
    EXPECT_EQ(known.outcome, ShareSearchResult::Outcome::kOne);
    EXPECT_EQ(known.sharePath, u"\\\\files1\\juergen");
    EXPECT_EQ(search(u"bob").sharePath, u"\\\\files2\\homes\\bob");
    EXPECT_EQ(search(u"nobody").outcome, ShareSearchResult::Outcome::kNone);
    EXPECT_EQ(search(u"twoshares").outcome, ShareSearchResult::Outcome::kSeveral);
}

}  // namespace
}  // namespace brisvane
