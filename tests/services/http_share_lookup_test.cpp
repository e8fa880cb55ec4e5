// The share lookup request over the real WinHTTP, against the stand-in lookup page server on
// 127.0.0.1 in this process.
#include "services/http_share_lookup.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <winhttp.h>
#include <winsock2.h>

#include <chrono>
#include <string>
#include <vector>

#include "mount/lookup_body.h"
#include "mount/workflow_error.h"
#include "standins/lookup_page_server.h"
#include "testing/fakes.h"
#include "testing/registry_value.h"
#include "win32/error.h"
#include "win32/text.h"

namespace brisvane {
namespace {

using namespace std::chrono_literals;
using standins::LookupPageServer;
using standins::PageReply;
using standins::ReceivedRequest;

constexpr char kPage[] =
    "<html><body><table>\r\n<tr><td>user1</td><td>smb://srv1/user1</td></tr>"
    "\r\n</table></body></html>";
// A proxy configuration script that sends every request straight to its server.
constexpr char kDirectScript[] = "function FindProxyForURL(url, host) { return \"DIRECT\"; }";
constexpr wchar_t kUnresolvableHost[] = L"http://nohost.invalid/cs/servers/serversearch.asp";

// Short time-outs and a small body limit, so that the failing cases end quickly.
LookupLimits TestLimits() {
    LookupLimits limits;
    limits.resolveTimeout = 2000ms;
    limits.connectTimeout = 2000ms;
    limits.sendTimeout = 2000ms;
    limits.responseTimeout = 500ms;
    limits.maxResponseBytes = 4096;
    return limits;
}

PageReply Reply(std::string body, std::string contentType = "text/html; charset=utf-8") {
    PageReply reply;
    reply.body = std::move(body);
    reply.contentType = std::move(contentType);
    return reply;
}

// Posts as one attempt of the workflow does: a fresh request object, one Send.
Text Post(const std::wstring& url, const std::string& body,
          const LookupLimits& limits = TestLimits()) {
    HttpShareLookup lookup(limits);
    return lookup.CreateRequest()->Send(FromWide(url), body);
}

// The page that posting returns; a test failure when it raises an error.
Text PageAt(const std::wstring& url, const std::string& body = "user=user1") {
    try {
        return Post(url, body);
    } catch (const WorkflowError& error) {
        ADD_FAILURE() << "WorkflowError " << error.Number() << ": " << ToWide(error.Description());
        return {};
    }
}

// The error that posting raises; a test failure when it raises none.
WorkflowError PostFailure(const std::wstring& url, const LookupLimits& limits = TestLimits()) {
    try {
        Post(url, "user=user1", limits);
    } catch (const WorkflowError& error) {
        return error;
    }
    ADD_FAILURE() << "no WorkflowError for " << url;
    return WorkflowError(0, u"");
}

// A port of 127.0.0.1 where nothing listens: one that was free a moment ago.
std::uint16_t ClosedPort() {
    const LookupPageServer server([](const ReceivedRequest&) { return PageReply{}; });
    return server.Port();
}

// Whether a request target is the whole lookup address, as a client writes it to a proxy
// (Wine adds the default port, Windows does not).
bool ViaProxy(const std::string& target) {
    return target.starts_with("http://lookup.invalid") &&
           target.ends_with("/cs/servers/serversearch.asp");
}

// The member's Internet settings as WinINet keeps them (the DefaultConnectionSettings value),
// replaced for one test and put back after it.
class MemberInternetSettings {
  public:
    static constexpr DWORD kManualProxy = 0x2;          // PROXY_TYPE_PROXY
    static constexpr DWORD kConfigurationScript = 0x4;  // PROXY_USE_PAC_SCRIPT

    MemberInternetSettings(DWORD flags, const std::string& proxy, const std::string& scriptUrl)
        : value_(HKEY_CURRENT_USER,
                 L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections",
                 L"DefaultConnectionSettings", REG_BINARY, Encoded(flags, proxy, scriptUrl)) {}

  private:
    static std::vector<BYTE> Encoded(DWORD flags, const std::string& proxy,
                                     const std::string& scriptUrl) {
        std::vector<BYTE> settings;
        Append(settings, 0x46);  // the format's signature
        Append(settings, 0);     // change counter
        Append(settings, flags);
        AppendText(settings, proxy);
        AppendText(settings, "");  // no bypass list
        AppendText(settings, scriptUrl);
        return settings;
    }
    static void Append(std::vector<BYTE>& bytes, DWORD number) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<BYTE>(number >> shift));
        }
    }
    static void AppendText(std::vector<BYTE>& bytes, const std::string& text) {
        Append(bytes, static_cast<DWORD>(text.size()));
        bytes.insert(bytes.end(), text.begin(), text.end());
    }

    test_support::ScopedRegistryValue value_;
};

TEST(HttpShareLookupTest, PostsTheFormBodyWithTheFormContentType) {
    const LookupPageServer server([](const ReceivedRequest&) { return Reply(kPage); });
    const std::string body = LookupRequestBody(u"a&b=c+d%e f j\u00FCrgen");

    EXPECT_EQ(PageAt(server.Url(), body), WidenAscii(kPage));

    const std::vector<ReceivedRequest> requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].target, "/cs/servers/serversearch.asp");
    EXPECT_EQ(requests[0].Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[0].body, "user=a%26b%3Dc%2Bd%25e+f+j%C3%BCrgen");
}

TEST(HttpShareLookupTest, ReturnsTheBodyWhateverTheStatus) {
    struct Case {
        int status;
        const char* reason;
        std::string body;
    };
    const Case cases[] = {
        {404, "Not Found", "<html><body>No such page</body></html>"},
        {500, "Internal Server Error", "<html><body>Server fault</body></html>"},
        {200, "OK", ""},
    };
    for (const Case& c : cases) {
        const LookupPageServer server([&c](const ReceivedRequest&) {
            PageReply reply = Reply(c.body);
            reply.status = c.status;
            reply.reason = c.reason;
            return reply;
        });
        EXPECT_EQ(PageAt(server.Url()), WidenAscii(c.body)) << c.status;
    }
}

TEST(HttpShareLookupTest, DecodesTheBodyByTheCharsetItDeclares) {
    struct Case {
        std::string contentType;
        std::string body;
        Text text;
    };
    const Case cases[] = {
        {"text/html; charset=ISO-8859-1", "J\xFCrgen \xA3", u"J\u00FCrgen \u00A3"},
        {"text/html; charset=\"windows-1252\"", "\x80", u"\u20AC"},
        {"text/html; charset=UTF-8", "J\xC3\xBCrgen", u"J\u00FCrgen"},
        {"text/html", "J\xC3\xBCrgen \xF0\x9D\x84\x9E", u"J\u00FCrgen \U0001D11E"},
        {"", "J\xC3\xBCrgen", u"J\u00FCrgen"},
        {"text/html; charset=x-no-such-charset", "J\xC3\xBCrgen", u"J\u00FCrgen"},
    };
    for (const Case& c : cases) {
        const LookupPageServer server(
            [&c](const ReceivedRequest&) { return Reply(c.body, c.contentType); });
        EXPECT_EQ(PageAt(server.Url()), c.text) << c.contentType;
    }
}

TEST(HttpShareLookupTest, ReplacesInvalidUtf8AndKeepsWhatFollows) {
    const LookupPageServer server([](const ReceivedRequest&) {
        return Reply(
            "<td>a\xFF"
            "b\xC3(c</td>");
    });
    EXPECT_EQ(PageAt(server.Url()), u"<td>a\uFFFDb\uFFFD(c</td>");
}

TEST(HttpShareLookupTest, RaisesResourceNotFoundWhenTheServerCannotBeFoundOrReached) {
    const std::wstring closedPort =
        L"http://127.0.0.1:" + std::to_wstring(ClosedPort()) + L"/cs/servers/serversearch.asp";
    for (const std::wstring& url : {closedPort, std::wstring(kUnresolvableHost)}) {
        const WorkflowError error = PostFailure(url);
        EXPECT_EQ(error.Number(), kResourceNotFound) << url;
        EXPECT_FALSE(error.Description().empty()) << url;
    }
}

TEST(HttpShareLookupTest, EndsTheAttemptWhenTheServerNeverAnswers) {
    const LookupPageServer server([](const ReceivedRequest&) {
        PageReply silence;
        silence.neverAnswer = true;
        return silence;
    });
    const WorkflowError error = PostFailure(server.Url());
    EXPECT_EQ(error.Number(), HresultFromWin32(ERROR_WINHTTP_TIMEOUT));
    EXPECT_FALSE(error.Description().empty());
    EXPECT_EQ(server.Requests().size(), 1u);  // it was heard, not refused
}

TEST(HttpShareLookupTest, RefusesABodyOverTheLimit) {
    for (const bool declareLength : {true, false}) {
        const LookupPageServer server([declareLength](const ReceivedRequest&) {
            PageReply reply = Reply(std::string(4097, 'x'));
            reply.declareLength = declareLength;
            return reply;
        });
        const WorkflowError error = PostFailure(server.Url());
        EXPECT_EQ(error.Number(), HresultFromWin32(ERROR_FILE_TOO_LARGE)) << declareLength;
        EXPECT_NE(error.Description().find(u"4096"), Text::npos) << declareLength;
    }
}

TEST(HttpShareLookupTest, AcceptsABodyOfExactlyTheLimit) {
    const LookupPageServer server(
        [](const ReceivedRequest&) { return Reply(std::string(4096, 'x')); });
    EXPECT_EQ(PageAt(server.Url()).size(), 4096u);
}

TEST(HttpShareLookupTest, GoesThroughTheMembersManualProxy) {
    const LookupPageServer proxy([](const ReceivedRequest&) { return Reply(kPage); });
    const MemberInternetSettings settings(MemberInternetSettings::kManualProxy,
                                          "127.0.0.1:" + std::to_string(proxy.Port()), "");

    EXPECT_EQ(PageAt(L"http://lookup.invalid/cs/servers/serversearch.asp"), WidenAscii(kPage));

    const std::vector<ReceivedRequest> requests = proxy.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_TRUE(ViaProxy(requests[0].target)) << requests[0].target;
    EXPECT_EQ(requests[0].body, "user=user1");
}

TEST(HttpShareLookupTest, GoesThroughTheProxyOfTheMembersConfigurationScript) {
    std::uint16_t port = 0;
    const LookupPageServer server([&port](const ReceivedRequest& request) {
        if (request.target == "/proxy.pac") {
            return Reply("function FindProxyForURL(url, host) { return \"PROXY 127.0.0.1:" +
                             std::to_string(port) + "\"; }",
                         "application/x-ns-proxy-autoconfig");
        }
        return Reply(kPage);
    });
    port = server.Port();
    const MemberInternetSettings settings(
        MemberInternetSettings::kConfigurationScript, "",
        "http://127.0.0.1:" + std::to_string(port) + "/proxy.pac");

    EXPECT_EQ(PageAt(L"http://lookup.invalid/cs/servers/serversearch.asp"), WidenAscii(kPage));

    const std::vector<ReceivedRequest> requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, "/proxy.pac");
    EXPECT_EQ(requests[1].method, "POST");
    EXPECT_TRUE(ViaProxy(requests[1].target)) << requests[1].target;
}

TEST(HttpShareLookupTest, GoesStraightToTheServerWhenTheScriptAsksForALogOn) {
    // Wine's WinHTTP answers a script behind a log-on with ERROR_WINHTTP_UNABLE_TO_DOWNLOAD_SCRIPT,
    // whether or not it may log on, so the second ask (ProxyLogOnTest) cannot be seen here.
    const LookupPageServer server([](const ReceivedRequest& request) {
        if (request.target == "/proxy.pac") {
            PageReply reply = Reply("<html><body>Log on first</body></html>");
            reply.status = 401;
            reply.reason = "Unauthorized";
            reply.headers = {{"WWW-Authenticate", "Negotiate"}, {"WWW-Authenticate", "NTLM"}};
            return reply;
        }
        return Reply(kPage);
    });
    const MemberInternetSettings settings(
        MemberInternetSettings::kConfigurationScript, "",
        "http://127.0.0.1:" + std::to_string(server.Port()) + "/proxy.pac");

    EXPECT_EQ(PageAt(server.Url()), WidenAscii(kPage));

    const std::vector<ReceivedRequest> requests = server.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().target, "/cs/servers/serversearch.asp");
    EXPECT_EQ(requests.back().body, "user=user1");
}

TEST(HttpShareLookupTest, RaisesResourceNotFoundWhenTheProxyCannotBeReached) {
    const MemberInternetSettings settings(MemberInternetSettings::kManualProxy,
                                          "127.0.0.1:" + std::to_string(ClosedPort()), "");
    EXPECT_EQ(PostFailure(L"http://lookup.invalid/cs/servers/serversearch.asp").Number(),
              kResourceNotFound);
}

TEST(HttpShareLookupTest, RaisesWinHttpsErrorForAnAddressItCannotUse) {
    const WorkflowError error = PostFailure(L"lookup.campus.example/cs/servers/serversearch.asp");
    EXPECT_EQ(error.Number(), HresultFromWin32(ERROR_WINHTTP_UNRECOGNIZED_SCHEME));
    EXPECT_FALSE(error.Description().empty());
}

// The lookup page's server answers its address with a redirect, and any other target with
// the page.
PageReply RedirectFromTheLookupAddress(const ReceivedRequest& request, int status,
                                       const std::string& location) {
    if (request.target != "/cs/servers/serversearch.asp") {
        return Reply(kPage);
    }
    PageReply reply = Reply("<html><body>Moved</body></html>");
    reply.status = status;
    reply.reason = "Redirect";
    reply.headers = {{"Location", location}};
    return reply;
}

// `text` with every "PORT" replaced by `port`.
std::string WithPort(std::string text, std::uint16_t port) {
    for (std::size_t at = text.find("PORT"); at != std::string::npos; at = text.find("PORT", at)) {
        text.replace(at, 4, std::to_string(port));
    }
    return text;
}

TEST(HttpShareLookupTest, FollowsARedirectWithinTheLookupPagesServer) {
    struct Case {
        int status;
        std::string location;  // "PORT": the lookup page's port
        std::string target;    // where the second request arrives
        bool post;             // with the form, or a GET without it
    };
    const Case cases[] = {
        {307, "/moved/serversearch.asp", "/moved/serversearch.asp", true},
        {308, "http://127.0.0.1:PORT/moved/serversearch.asp?v=2", "/moved/serversearch.asp?v=2",
         true},
        {307, "search.asp", "/cs/servers/search.asp", true},
        {303, "/moved/serversearch.asp", "/moved/serversearch.asp", false},
        {302, "/moved/serversearch.asp", "/moved/serversearch.asp", false},
        {301, "/moved/serversearch.asp", "/moved/serversearch.asp", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.status) + " " + c.location);
        std::uint16_t port = 0;
        const LookupPageServer server([&](const ReceivedRequest& request) {
            return RedirectFromTheLookupAddress(request, c.status, WithPort(c.location, port));
        });
        port = server.Port();

        EXPECT_EQ(PageAt(server.Url()), WidenAscii(kPage));

        const std::vector<ReceivedRequest> requests = server.Requests();
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[1].target, c.target);
        if (c.post) {
            EXPECT_EQ(requests[1].method, "POST");
            EXPECT_EQ(requests[1].Header("Content-Type"), "application/x-www-form-urlencoded");
            EXPECT_EQ(requests[1].body, "user=user1");
        } else {
            EXPECT_EQ(requests[1].method, "GET");
            EXPECT_EQ(requests[1].body, "");
        }
    }
}

TEST(HttpShareLookupTest, RefusesARedirectToAnyOtherServerAndSendsItNothing) {
    const LookupPageServer other([](const ReceivedRequest&) { return Reply(kPage); });
    const std::string otherPage = Utf8(other.Url());
    const std::string otherPort = std::to_string(other.Port());
    struct Case {
        int status;
        std::string location;  // "PORT": the lookup page's port
        std::string named;     // the address the error names
    };
    const Case cases[] = {
        {307, otherPage, otherPage},
        {308, otherPage, otherPage},
        {302, otherPage, otherPage},
        {307, "//127.0.0.1:" + otherPort + "/x", "http://127.0.0.1:" + otherPort + "/x"},
        // The same server under another scheme, or one this lookup cannot use, is another
        // server.
        {307, "https://127.0.0.1:PORT/moved", "https://127.0.0.1:PORT/moved"},
        {307, "ftp://127.0.0.1:PORT/moved", "ftp://127.0.0.1:PORT/moved"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.status) + " " + c.location);
        std::uint16_t port = 0;
        const LookupPageServer server([&](const ReceivedRequest& request) {
            return RedirectFromTheLookupAddress(request, c.status, WithPort(c.location, port));
        });
        port = server.Port();

        const WorkflowError error = PostFailure(server.Url());
        EXPECT_EQ(error.Number(), -2147024891);  // E_ACCESSDENIED
        EXPECT_EQ(error.Description(), u"The lookup page redirected to \"" +
                                           FromWide(FromUtf8(WithPort(c.named, port))) +
                                           u"\", which is not on its own server.");
        EXPECT_EQ(server.Requests().size(), 1u);
    }
    EXPECT_TRUE(other.Requests().empty());
}

TEST(HttpShareLookupTest, GivesUpAfterTenRedirects) {
    const LookupPageServer server([](const ReceivedRequest& request) {
        return RedirectFromTheLookupAddress(request, 307, request.target);
    });
    const WorkflowError error = PostFailure(server.Url());
    EXPECT_EQ(error.Number(), HresultFromWin32(ERROR_WINHTTP_REDIRECT_FAILED));
    EXPECT_EQ(error.Description(), u"The lookup page redirected more than 10 times.");
    EXPECT_EQ(server.Requests().size(), 11u);
}

TEST(HttpShareLookupTest, EndsAnExchangeThatOutlastsTheDeadline) {
    // Every byte arrives well within each read's own limit; the whole would take 20 s. Before
    // the request has gone out, the deadline ends the attempt as an unreachable server does.
    struct Case {
        const char* trickling;
        std::int32_t number;
    };
    const Case cases[] = {
        {"/cs/servers/serversearch.asp", HresultFromWin32(ERROR_WINHTTP_TIMEOUT)},
        {"/proxy.pac", kResourceNotFound},
    };
    for (const Case& c : cases) {
        const LookupPageServer server([&c](const ReceivedRequest& request) {
            if (request.target != c.trickling) {
                return Reply(request.target == "/proxy.pac" ? kDirectScript : kPage);
            }
            PageReply reply = Reply(std::string(100, ' '));
            reply.trickle = 200ms;
            return reply;
        });
        const MemberInternetSettings settings(
            MemberInternetSettings::kConfigurationScript, "",
            "http://127.0.0.1:" + std::to_string(server.Port()) + "/proxy.pac");
        LookupLimits limits = TestLimits();
        limits.responseTimeout = 5000ms;
        limits.deadline = 2000ms;
        EXPECT_EQ(PostFailure(server.Url(), limits).Number(), c.number) << c.trickling;
        // It gave up while the trickle was still running: every reply but that one is whole.
        EXPECT_EQ(server.WholeReplies(), server.Requests().size() - 1) << c.trickling;
    }
}

TEST(HttpShareLookupTest, EndsAtTheDeadlineWhateverTheServerDoes) {
    // Each server would hold the attempt for a minute, every wait within its stage's own limit:
    // one never answers the TLS handshake, one sends its status line a byte at a time.
    const LookupPageServer mute(standins::HoldEveryConnection{});
    const LookupPageServer trickling([](const ReceivedRequest&) {
        PageReply reply = Reply(kPage);
        reply.trickle = 500ms;
        reply.trickleHead = true;
        return reply;
    });
    const LookupPageServer answering([](const ReceivedRequest&) { return Reply(kPage); });
    struct Case {
        std::wstring url;
        WorkflowError error;  // the deadline's: before the request went out, and after
    };
    const Case cases[] = {
        // Wine's TLS needs a host name, not an address.
        {L"https://localhost:" + std::to_wstring(mute.Port()) + L"/cs/servers/serversearch.asp",
         WorkflowError(kResourceNotFound, ErrorDescription(ERROR_WINHTTP_TIMEOUT))},
        {trickling.Url(), WindowsError(ERROR_WINHTTP_TIMEOUT)},
    };
    LookupLimits limits;
    limits.responseTimeout = 60s;
    limits.deadline = 2s;
    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        const WorkflowError error = PostFailure(c.url, limits);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s) << c.url;
        EXPECT_EQ(error.Number(), c.error.Number()) << c.url;
        EXPECT_EQ(error.Description(), c.error.Description()) << c.url;
        // The call has come back for good: the next lookup on this thread gets its page.
        EXPECT_EQ(PageAt(answering.Url()), WidenAscii(kPage)) << c.url;
    }
    EXPECT_GE(mute.Connections(), 1u);  // reached, and held
    EXPECT_EQ(trickling.Requests().size(), 1u);
    EXPECT_EQ(trickling.WholeReplies(), 0u);
}

TEST(HttpShareLookupTest, AnUnfindableServerGetsTheWorkflowsNetworkAdvice) {
    test_support::FakeWorld world;
    world.form.webSite = FromWide(kUnresolvableHost);
    HttpShareLookup lookup(TestLimits());
    btnOK_Click({world.form, world.boxes, world.clock, lookup, world.probe, world.mapping,
                 world.organisation});

    ASSERT_EQ(world.boxes.shown.size(), 1u);
    const Text& prompt = world.boxes.shown[0].prompt;
    const Text description = prompt.substr(0, prompt.find(u"\r\n"));
    EXPECT_FALSE(description.empty());
    EXPECT_NE(prompt.find(u"\r\nPlease ensure that:\r\n\r\n a. The laptop is connected."),
              Text::npos);
    const Text lastEntry = u"\r\nHandled Error: " + description + u" -2146697211";
    EXPECT_EQ(world.form.log.text.substr(world.form.log.text.size() - lastEntry.size()), lastEntry);
    EXPECT_TRUE(world.mapping.calls.empty());
}

}  // namespace
}  // namespace brisvane
