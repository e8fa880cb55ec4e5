#include "standins/lookup_page.h"

#include "lookup_path.h"

#include <algorithm>
#include <utility>

#include "mount/text.h"

namespace brisvane::standins {

namespace {

constexpr std::string_view kLookupPath = BRISVANE_LOOKUP_PATH;

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char lower = FoldAscii(c);
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

std::string FormDecoded(std::string_view text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            decoded += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            decoded += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

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
    while (!body.empty()) {
        const std::size_t end = body.find('&');
        const std::string_view field = body.substr(0, end);
        const std::size_t equals = field.find('=');
        if (FormDecoded(field.substr(0, equals)) == name) {
            return equals == std::string_view::npos ? std::string()
                                                    : FormDecoded(field.substr(equals + 1));
        }
        body = end == std::string_view::npos ? std::string_view() : body.substr(end + 1);
    }
    return std::nullopt;
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
