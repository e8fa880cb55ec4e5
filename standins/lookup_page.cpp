#include "standins/lookup_page.h"

#include "lookup_path.h"

#include <algorithm>
#include <utility>

#include "mount/lookup_body.h"
#include "mount/text.h"

namespace brisvane::standins {

namespace {

constexpr std::string_view kLookupPath = BRISVANE_LOOKUP_PATH;

std::string HtmlEscaped(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '&':
                escaped += "&amp;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

// The path of a request target, whether a path or a whole address (through a proxy).
std::string_view PathOf(std::string_view target) {
    if (const std::size_t scheme = target.find("://"); scheme != std::string_view::npos) {
        const std::size_t path = target.find('/', scheme + 3);
        target = path == std::string_view::npos ? std::string_view("/") : target.substr(path);
    }
    return target.substr(0, target.find('?'));
}

PageReply HtmlReply(int status, std::string reason, std::string body) {
    PageReply reply;
    reply.status = status;
    reply.reason = std::move(reason);
    reply.body = std::move(body);
    return reply;
}

std::string Page(std::string_view username, const std::vector<std::string>& locators) {
    std::string page =
        "<html><head><title>Server search</title></head><body>\r\n"
        "<h1>Home share search</h1>\r\n";
    if (locators.empty()) {
        return page + "<p>No home share is registered for " + HtmlEscaped(username) +
               ".</p>\r\n</body></html>\r\n";
    }
    page += "<table>\r\n";
    for (const std::string& locator : locators) {
        page += "<tr><td>" + HtmlEscaped(username) + "</td><td>" + locator + "</td></tr>\r\n";
    }
    return page + "</table>\r\n</body></html>\r\n";
}

}  // namespace

std::vector<DemoMember> DemoMembers() {
    return {
        {"user1", {"smb://srv1/user1"}, "password1"},
        {"alice", {"smb://files1/alice"}, "wonderland"},
        {"bob", {"smb://files2/homes/bob"}, "builder"},
        {"j\xC3\xBCrgen", {"smb://files1/juergen"}, "bratwurst"},
    };
}

std::optional<std::string> FormField(std::string_view body, std::string_view name) {
    std::optional<std::vector<std::string>> values = FormValues(body, name);
    if (!values || values->empty()) {
        return std::nullopt;
    }
    return std::move(values->front());
}

PageReply AnswerLookup(const ReceivedRequest& request, const std::vector<DemoMember>& members) {
    if (PathOf(request.target) != kLookupPath) {
        return HtmlReply(404, "Not Found", "<html><body><h1>404 Not Found</h1></body></html>\r\n");
    }
    if (request.method != "POST") {
        return HtmlReply(405, "Method Not Allowed",
                         "<html><body><h1>405 Method Not Allowed</h1></body></html>\r\n");
    }
    const std::string username = FormField(request.body, "user").value_or("");
    const auto member = std::find_if(members.begin(), members.end(), [&](const DemoMember& m) {
        return EqualIgnoringAsciiCase(m.username, username);
    });
    const std::vector<std::string> none;
    return HtmlReply(200, "OK", Page(username, member != members.end() ? member->locators : none));
}

}  // namespace brisvane::standins
