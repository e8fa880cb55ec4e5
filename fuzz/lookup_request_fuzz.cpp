// The lookup service's request handling, fed a content type, the home-share value the source
// answers with and a body (three fields, the first two ending at a line feed), checked against
// the client: a page with a locator must give the client exactly the stored share path (its "/"
// read as "\"), one the client would map; a page without one must give the client nothing. The
// username decoded from the body must reach the filter escaped, so that unescaping gives it back
// whole. Its log line shows every character that would hide or break a line escaped.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_input.h"
#include "lookupd/form.h"
#include "lookupd/ldap_filter.h"
#include "lookupd/lookup_handler.h"
#include "lookupd/request_log.h"
#include "mount/file_server_guard.h"
#include "mount/share_locator.h"
#include "mount/text.h"
#include "mount/utf8.h"

namespace brisvane::fuzzing {
namespace {

using lookupd::MemberAnswer;

// Answers every name with the one stored value (none when it is empty).
class OneValueSource final : public lookupd::MemberSource {
  public:
    explicit OneValueSource(std::string_view value) : value_(value) {}
    void Find(std::string_view /*username*/, lookupd::AnswerCallback done) override {
        if (value_.empty()) {
            done({MemberAnswer::Kind::kUnknown, {}, {}});
            return;
        }
        done({MemberAnswer::Kind::kFound, std::string(value_), {}});
    }

  private:
    std::string_view value_;
};

std::string_view NextField(std::string_view& rest) {
    const std::size_t end = rest.find('\n');
    const std::string_view field = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    return field;
}

void CheckEscaping(const std::string& username) {
    const std::string escaped = lookupd::EscapeFilterValue(username);
    std::string unescaped;
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        const char c = escaped[i];
        Check(c != '*' && c != '(' && c != ')' && c != '\0',
              "a filter metacharacter left unescaped");
        if (c == '\\') {
            Check(i + 2 < escaped.size() && HexDigitValue(escaped[i + 1]) >= 0 &&
                      HexDigitValue(escaped[i + 2]) >= 0,
                  "a backslash in the filter value not followed by two hexadecimal digits");
            unescaped.push_back(static_cast<char>(HexDigitValue(escaped[i + 1]) * 16 +
                                                  HexDigitValue(escaped[i + 2])));
            i += 2;
        } else {
            unescaped.push_back(c);
        }
    }
    Check(unescaped == username, "the escaped filter value does not give back the username");
}

}  // namespace
}  // namespace brisvane::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace brisvane;
    using namespace brisvane::fuzzing;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    const std::string_view contentType = NextField(rest);
    const std::string_view value = NextField(rest);
    const std::string_view body = rest;

    if (const std::optional<std::string> username = lookupd::UserFromForm(body)) {
        CheckEscaping(*username);
    }

    static const std::vector<std::string> kServers = {"files1.campus.example", ".campus.example"};
    lookupd::LookupSettings settings;
    settings.path = "/cs/servers/serversearch.asp";
    settings.retryAfter = std::chrono::seconds(5);
    settings.fileServers = lookupd::FileServerList(kServers);
    OneValueSource source(value);
    const lookupd::HttpRequest request{"POST", settings.path, contentType, body, false};
    std::optional<lookupd::HttpResponse> answered;
    lookupd::HandleLookup(request, settings, source, [&answered](lookupd::HttpResponse given) {
        answered = std::move(given);
    });
    Check(answered.has_value(), "a request to a source in memory is not answered at once");
    const lookupd::HttpResponse& response = *answered;
    // Its log line, name included, shows nothing raw that would hide or break a line.
    const std::string logLine = lookupd::FormatRequestLine(response, {}, "127.0.0.1", true);
    const std::optional<Text> shownLine = Utf8ToText(logLine);
    Check(shownLine && !HoldsHiddenCharacter(*shownLine),
          [&] { return "the log line is not escaped: " + Printable(WidenAscii(logLine)); });
    if (response.status != 200) {
        Check(response.body.find("smb://") == std::string::npos, "a refusal holds a locator");
        return 0;
    }
    const std::optional<Text> page = Utf8ToText(response.body);
    Check(page.has_value(), "the page is not UTF-8");
    const ShareSearchResult found = SearchShareLocator(*page);
    if (response.outcome != lookupd::Outcome::kFound) {
        Check(found.outcome == ShareSearchResult::Outcome::kNone,
              [&] { return "a page without locator gives the client one: " + response.body; });
        return 0;
    }
    // The locator carries "\" and "/" alike as "/": the client maps the path with "\" only.
    std::optional<Text> stored = Utf8ToText(value);
    if (stored) {
        std::ranges::replace(*stored, u'/', u'\\');
    }
    Check(found.outcome == ShareSearchResult::Outcome::kOne && stored && found.sharePath == *stored,
          [&] {
              return "the client reads \"" + Printable(found.sharePath) +
                     "\" from the page for \"" + std::string(value) + "\"";
          });
    Check(CheckSharePath(found.sharePath, settings.fileServers.Entries()) == ShareRefusal::kNone,
          [&] { return "the page serves a share the client refuses: " + std::string(value); });
    return 0;
}
