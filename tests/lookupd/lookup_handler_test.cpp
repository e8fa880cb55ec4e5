#include "lookupd/lookup_handler.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "answer_now.h"

namespace brisvane::lookupd {
namespace {

using Kind = MemberAnswer::Kind;

// Answers from a table and remembers every name it was asked for.
class TableSource final : public MemberSource {
  public:
    void Find(std::string_view username, AnswerCallback done) override {
        asked.emplace_back(username);
        const auto found = answers.find(std::string(username));
        done(found != answers.end() ? found->second : MemberAnswer{Kind::kUnknown, {}, {}});
    }
    std::map<std::string, MemberAnswer> answers = {
        {"alice", {Kind::kFound, "\\\\files1.campus.example\\homes\\alice", {}}},
        {"j\xC3\xBCrgen", {Kind::kFound, "\\\\files1.campus.example\\juergen", {}}},
        {"mallory", {Kind::kFound, "\\\\files.evil.example\\loot", {}}},
        {"broken", {Kind::kFound, "\\\\files1.campus.example\\a<b", {}}},
        {"posix", {Kind::kFound, "/home/posix", {}}},
        {"nohome", {Kind::kNoHomeShare, {}, {}}},
        {"twin", {Kind::kAmbiguous, {}, "two entries"}},
        {"down", {Kind::kUnavailable, {}, "directory: Can't contact LDAP server"}},
    };
    std::vector<std::string> asked;
};

constexpr std::string_view kPath = "/cs/servers/serversearch.asp";
constexpr std::string_view kForm = "application/x-www-form-urlencoded";

LookupSettings Settings() {
    LookupSettings settings;
    settings.path = std::string(kPath);
    settings.fileServers = FileServerList({".campus.example"});
    settings.retryAfter = std::chrono::seconds(7);
    return settings;
}

std::optional<std::string> HeaderOf(const HttpResponse& response, std::string_view name) {
    for (const auto& [key, value] : response.headers) {
        if (key == name) {
            return value;
        }
    }
    return std::nullopt;
}

TEST(LookupHandlerTest, AnswersEveryRequestWithAClearStatus) {
    const std::string longest(kMaxUsernameCharacters, 'a');
    const std::string tooLong(kMaxUsernameCharacters + 1, 'a');
    // 256 two-byte characters are 512 bytes, still 256 characters.
    std::string longestUmlauts;
    for (std::size_t i = 0; i < kMaxUsernameCharacters; ++i) {
        longestUmlauts += "%C3%BC";
    }
    const std::string bigBody = "user=" + std::string(kMaxBodyBytes, 'a');
    struct Case {
        std::string_view method;
        std::string_view path;
        std::string_view contentType;
        std::string body;
        unsigned status;
        Outcome outcome;
        bool locator;
    };
    const Case cases[] = {
        {"POST", kPath, kForm, "user=alice", 200, Outcome::kFound, true},
        {"POST", kPath, "Application/X-WWW-Form-URLEncoded; charset=UTF-8", "user=alice", 200,
         Outcome::kFound, true},
        {"POST", kPath, kForm, "user=j%C3%BCrgen", 200, Outcome::kFound, true},
        {"POST", kPath, kForm, "user=nobody", 200, Outcome::kUnknown, false},
        {"POST", kPath, kForm, "user=nohome", 200, Outcome::kNoHomeShare, false},
        {"POST", kPath, kForm, "user=twin", 200, Outcome::kNoHomeShare, false},
        {"POST", kPath, kForm, "user=mallory", 200, Outcome::kRefusedServer, false},
        {"POST", kPath, kForm, "user=broken", 200, Outcome::kNoHomeShare, false},
        {"POST", kPath, kForm, "user=posix", 200, Outcome::kNoHomeShare, false},
        {"POST", kPath, kForm, "user=down", 503, Outcome::kUnavailable, false},
        // Names that are never looked up.
        {"POST", kPath, kForm, "user=", 200, Outcome::kRefusedUsername, false},
        {"POST", kPath, kForm, "user=al%00ice", 200, Outcome::kRefusedUsername, false},
        {"POST", kPath, kForm, "user=%FF", 200, Outcome::kRefusedUsername, false},
        {"POST", kPath, kForm, "user=" + tooLong, 200, Outcome::kRefusedUsername, false},
        {"POST", kPath, kForm, "user=" + longest, 200, Outcome::kUnknown, false},
        {"POST", kPath, kForm, "user=" + longestUmlauts, 200, Outcome::kUnknown, false},
        // Hostile or mistaken requests.
        {"POST", kPath, kForm, bigBody, 413, Outcome::kBadRequest, false},
        {"GET", kPath, "", "", 405, Outcome::kBadRequest, false},
        {"PUT", kPath, kForm, "user=alice", 405, Outcome::kBadRequest, false},
        {"POST", kPath, "text/plain", "user=alice", 415, Outcome::kBadRequest, false},
        {"POST", kPath, "", "user=alice", 415, Outcome::kBadRequest, false},
        {"POST", kPath, "multipart/form-data; boundary=x", "user=alice", 415, Outcome::kBadRequest,
         false},
        {"POST", kPath, kForm, "name=alice", 400, Outcome::kBadRequest, false},
        {"POST", kPath, kForm, "user=a%zz", 400, Outcome::kBadRequest, false},
        {"POST", "/other", kForm, "user=alice", 404, Outcome::kBadRequest, false},
        {"POST", "/cs/servers/serversearch.asp/", kForm, "user=alice", 404, Outcome::kBadRequest,
         false},
    };
    for (const Case& c : cases) {
        TableSource source;
        const HttpRequest request{c.method, c.path, c.contentType, c.body, false};
        const HttpResponse response = HandleNow(request, Settings(), source);
        const std::string label = std::string(c.method) + " " + std::string(c.path) + " " +
                                  std::string(c.contentType) + " " +
                                  std::string(c.body.substr(0, 40));
        EXPECT_EQ(response.status, c.status) << label;
        EXPECT_EQ(response.outcome, c.outcome) << label;
        EXPECT_EQ(response.body.find("smb://") != std::string::npos, c.locator) << label;
        // A name is looked up only when the request and the name are acceptable.
        const bool lookedUp =
            c.status == 503 || (c.status == 200 && c.outcome != Outcome::kRefusedUsername);
        EXPECT_EQ(source.asked.size(), lookedUp ? 1U : 0U) << label;
    }
}

TEST(LookupHandlerTest, ARefusalsHeadersTellTheClientWhatToDo) {
    TableSource source;
    const HttpResponse notAllowed =
        HandleNow(HttpRequest{"GET", kPath, "", "", false}, Settings(), source);
    EXPECT_EQ(HeaderOf(notAllowed, "Allow"), "POST");
    const HttpResponse unavailable =
        HandleNow(HttpRequest{"POST", kPath, kForm, "user=down", false}, Settings(), source);
    EXPECT_EQ(HeaderOf(unavailable, "Retry-After"), "7");
    EXPECT_EQ(HeaderOf(RateLimitedResponse(), "Retry-After"), "1");
    EXPECT_EQ(RateLimitedResponse().status, 429U);
}

TEST(LookupHandlerTest, ABodyCutOffAsTooLargeIsRefusedWhateverArrived) {
    TableSource source;
    const HttpResponse response =
        HandleNow(HttpRequest{"POST", kPath, kForm, "user=alice", true}, Settings(), source);
    EXPECT_EQ(response.status, 413U);
    EXPECT_TRUE(source.asked.empty());
}

TEST(LookupHandlerTest, ThePageNeverEchoesTheNameButTheLogMayHaveIt) {
    TableSource source;
    source.answers["zebedee"] = {Kind::kFound, "\\\\files1.campus.example\\homes\\z", {}};
    for (const std::string_view name : {"zebedee", "quentin"}) {
        const HttpResponse response =
            HandleNow(HttpRequest{"POST", kPath, kForm, "user=" + std::string(name), false},
                      Settings(), source);
        EXPECT_EQ(response.body.find(name), std::string::npos) << name;
        EXPECT_EQ(response.username, name);
    }
}

TEST(LookupHandlerTest, RefusalsOfTheSourcesValueAreLoggedAsWarnings) {
    TableSource source;
    for (const std::string_view name : {"mallory", "broken", "twin", "down"}) {
        const HttpResponse response =
            HandleNow(HttpRequest{"POST", kPath, kForm, "user=" + std::string(name), false},
                      Settings(), source);
        EXPECT_FALSE(response.warning.empty()) << name;
    }
    const HttpResponse offList =
        HandleNow(HttpRequest{"POST", kPath, kForm, "user=mallory", false}, Settings(), source);
    EXPECT_NE(offList.warning.find("files.evil.example"), std::string::npos);
}

}  // namespace
}  // namespace brisvane::lookupd
