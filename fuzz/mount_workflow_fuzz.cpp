// The whole mount request over the in-memory fakes, with the window's inputs, the page and the
// mapping's answer taken from the fuzzer. Input, one a line: the drive letter, the username, the
// password, then the mapping result in decimal optionally followed by letters that make a fake
// fail (below) and by "|" and the organisation's file servers, separated by ";"; the rest is the
// page. Whatever comes in, the run ends tidily: the request is released, the password is never
// shown or logged and reaches the mapping call as typed, the share mapped is the one the page
// names, a share that a plain reading of the file-server rules refuses never reaches the mapping
// call, nothing the page holds shows hidden characters in the log or a box, and the program
// closes only after a successful mapping.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "mount/lookup_body.h"
#include "mount/mount_error_report.h"
#include "mount/share_locator.h"
#include "mount/shown_text.h"
#include "mount/username.h"
#include "testing/fakes.h"

namespace brisvane::fuzzing {
namespace {

using test_support::FakeWorld;

// Placed inside the password so that it can be told apart from any other text in the log or a
// box; removed from every other input.
constexpr char16_t kPasswordMarker = u'\uE000';

// Failures the control line can ask for, one letter each.
struct Failures {
    bool driveInUse = false;         // u
    bool serverNotFound = false;     // n: the lookup raises INET_E_RESOURCE_NOT_FOUND
    bool lookupError = false;        // e: the lookup raises another workflow error
    bool lookupOutOfMemory = false;  // o
    bool requestRefused = false;     // c: the request object cannot be created
    bool mappingRaises = false;      // m
    bool firstBoxRaises = false;     // b
    bool closeRaises = false;        // k

    bool LookupFails() const {
        return serverNotFound || lookupError || lookupOutOfMemory || requestRefused;
    }
};

// The control line up to its "|": the result and the failure letters.
TextView ResultAndFailures(TextView control) {
    return control.substr(0, control.find(u'|'));
}

// The entries after the control line's "|", empty ones left out; none without a "|".
std::vector<Text> ReadFileServers(TextView control) {
    std::vector<Text> servers;
    const auto bar = control.find(u'|');
    if (bar == TextView::npos) {
        return servers;
    }
    TextView list = control.substr(bar + 1);
    while (!list.empty()) {
        const TextView entry = list.substr(0, list.find(u';'));
        if (!entry.empty()) {
            servers.emplace_back(entry);
        }
        list.remove_prefix(std::min(list.size(), entry.size() + 1));
    }
    return servers;
}

Failures ReadFailures(TextView control) {
    control = ResultAndFailures(control);
    const auto asks = [control](char16_t letter) { return control.find(letter) != TextView::npos; };
    return {.driveInUse = asks(u'u'),
            .serverNotFound = asks(u'n'),
            .lookupError = asks(u'e'),
            .lookupOutOfMemory = asks(u'o'),
            .requestRefused = asks(u'c'),
            .mappingRaises = asks(u'm'),
            .firstBoxRaises = asks(u'b'),
            .closeRaises = asks(u'k')};
}

// The text without its CR LF line breaks, the one control that the program's own texts hold.
Text WithoutLineBreaks(TextView text) {
    Text kept;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.substr(i, 2) == kCrLf) {
            ++i;
        } else {
            kept += text[i];
        }
    }
    return kept;
}

Text WithoutMarker(Text text) {
    std::erase(text, kPasswordMarker);
    return text;
}

// The marker goes after the first character that is not a space, so that the password is blank
// exactly when the typed one is.
Text MarkedPassword(TextView typed) {
    Text password = WithoutMarker(Text(typed));
    const auto first = password.find_first_not_of(u' ');
    if (first != Text::npos) {
        password.insert(first + 1, 1, kPasswordMarker);
    }
    return password;
}

void Arrange(FakeWorld& world, const Failures& failures) {
    const WorkflowError timedOut(-2147012894, u"The operation timed out");
    if (failures.driveInUse) {
        world.probe.drivesInUse = {Trim(world.form.driveLetter)};
    }
    if (failures.serverNotFound) {
        world.lookup.failure = std::make_exception_ptr(
            WorkflowError(kResourceNotFound, u"The server name or address could not be resolved"));
    } else if (failures.lookupError) {
        world.lookup.failure = std::make_exception_ptr(timedOut);
    } else if (failures.lookupOutOfMemory) {
        world.lookup.failure = std::make_exception_ptr(std::bad_alloc());
    }
    if (failures.requestRefused) {
        world.lookup.creationFailure = timedOut;
    }
    if (failures.mappingRaises) {
        world.mapping.failure = WorkflowError(453, u"Can't find DLL entry point");
    }
    if (failures.firstBoxRaises) {
        world.boxes.failure = timedOut;
    }
    if (failures.closeRaises) {
        world.form.closeFailure = timedOut;
    }
}

// With a list, a server must be labels of ASCII letters, digits, "-" and "_" joined by single
// dots, at most 253 characters in all.
bool IsPlainName(TextView server) {
    if (server.size() > 253) {
        return false;
    }
    std::vector<Text> labels(1);
    for (const char16_t c : server) {
        if (c == u'.') {
            labels.emplace_back();
        } else {
            labels.back() += c;
        }
    }
    return std::ranges::all_of(labels, [](const Text& label) {
        return !label.empty() && std::ranges::all_of(label, [](char16_t c) {
            return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') ||
                   (c >= u'A' && c <= u'Z') || c == u'-' || c == u'_';
        });
    });
}

// A plain second reading of the file-server rules: may the mapping call get this share path?
// The path's steps are what stands between its backslashes after the leading two characters;
// the first is the server.
bool MayReceiveCredentials(TextView sharePath, const std::vector<Text>& fileServers) {
    for (const char16_t c : sharePath) {
        if (c < 0x20 || c == 0x7F) {
            return false;
        }
    }
    std::vector<Text> steps(1);
    for (const char16_t c : sharePath.substr(std::min<std::size_t>(2, sharePath.size()))) {
        if (c == u'\\') {
            steps.emplace_back();
        } else {
            steps.back() += c;
        }
    }
    const Text server = FoldedAscii(steps.front());
    if (server == u"?" || server == u"." || server.find(u'@') != Text::npos) {
        return false;  // a device path, or a web server
    }
    // Windows drops a step's trailing dots and spaces: ". ." and ".. " climb like "." and "..".
    for (const Text& step : steps) {
        if (step.find(u'.') != Text::npos &&
            std::ranges::all_of(step, [](char16_t c) { return c == u'.' || c == u' '; })) {
            return false;
        }
    }
    if (fileServers.empty()) {
        return true;
    }
    if (!IsPlainName(server)) {
        return false;
    }
    for (const Text& entry : fileServers) {
        const Text folded = FoldedAscii(entry);
        if (folded.front() == u'.' ? server.size() > folded.size() && server.ends_with(folded)
                                   : server == folded) {
            return true;
        }
    }
    return false;
}

// The form-encoded body decoded again: it must be "user=" and the username's UTF-8 bytes, each
// either unreserved, a "+" for a space, or "%" and two upper-case hex digits.
void CheckBody(const std::string& body, TextView username) {
    constexpr std::string_view kField = "user=";
    Check(body.starts_with(kField), "the lookup body does not start with user=");
    const auto hexValue = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    std::string decoded;
    for (std::size_t i = kField.size(); i < body.size(); ++i) {
        const char c = body[i];
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '*' || c == '-' || c == '.' || c == '_') {
            decoded += c;
        } else if (c == '+') {
            decoded += ' ';
        } else {
            Check(c == '%' && i + 2 < body.size() && hexValue(body[i + 1]) >= 0 &&
                      hexValue(body[i + 2]) >= 0,
                  [&] { return "the lookup body holds a raw or badly escaped byte: " + body; });
            decoded += static_cast<char>(hexValue(body[i + 1]) * 16 + hexValue(body[i + 2]));
            i += 2;
        }
    }
    Check(decoded == ToUtf8(username),
          [&] { return "the lookup body does not carry the username: " + body; });
}

// A share that the page named but the rules refuse: the handler's report, nothing mapped.
void CheckRefusedShare(const FakeWorld& world, TextView sharePath, bool firstBoxRaises) {
    Check(world.mapping.calls.empty(), [&] {
        return "the refused share \"" + Printable(sharePath) + "\" reached the mapping call";
    });
    const Text& prompt = world.boxes.shown.front().prompt;
    Check(prompt.starts_with(u" Unhandled Error: -2147024891\r\n Description: The lookup page "
                             u"named "),
          [&] { return "a refused share was reported as \"" + Printable(prompt) + "\""; });
    // Refused for the list alone: the description names the server.
    if (MayReceiveCredentials(sharePath, {})) {
        const TextView server = sharePath.substr(2, sharePath.find(u'\\', 2) - 2);
        Check(
            prompt.ends_with(u"the file server \"" + ShownText(server) +
                             u"\", which is not one of the organisation's file servers."),
            [&] { return "the refusal does not name the server: \"" + Printable(prompt) + "\""; });
    }
    if (!firstBoxRaises) {
        Check(world.form.log.text.ends_with(u"\r\n Share: " + ShownText(sharePath) +
                                            u"\r\n***\r\n" + prompt),
              "the log does not go from the share to the refusal");
    }
}

}  // namespace
}  // namespace brisvane::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace brisvane;
    using namespace brisvane::fuzzing;
    const auto fields = SplitFields(DecodeText(std::span(data, size)), 5);
    const Failures failures = ReadFailures(fields[3]);
    const std::int32_t mappingResult = ParseInt32(fields[3]);
    const std::vector<Text> fileServers = ReadFileServers(fields[3]);
    const std::vector<TextView> fileServerViews(fileServers.begin(), fileServers.end());

    FakeWorld world;
    world.form.driveLetter = WithoutMarker(fields[0]);
    world.form.username = WithoutMarker(fields[1]);
    world.form.password = MarkedPassword(fields[2]);
    world.lookup.page = WithoutMarker(fields[4]);
    world.mapping.result = mappingResult;
    world.organisation.fileServers = fileServerViews;
    Arrange(world, failures);

    // Read before the run: a successful one empties the credential boxes.
    const Text driveLetter = Trim(world.form.driveLetter);
    const Text username = CleanUsername(Trim(world.form.username), world.organisation);
    const Text password = world.form.password;
    const bool credentialsGiven = !username.empty() && !Trim(password).empty();
    // What the member typed and may see again; the rest of what is shown is the program's own
    // text and what the page sent.
    const bool typedNothingHidden =
        !HoldsHiddenCharacter(world.form.driveLetter) && !HoldsHiddenCharacter(world.form.username);

    bool escaped = false;
    try {
        world.PressOK();
    } catch (const WorkflowError&) {
        escaped = true;
    }

    const Text& log = world.form.log.text;
    const auto& boxes = world.boxes.shown;

    // Only a failing box may let its failure through to the caller, and only one shown before
    // the lookup or by the error handler itself: every other failure ends in the handler.
    Check(!escaped ||
              (failures.firstBoxRaises &&
               (world.lookup.created == 0 || boxes.front().logWhenShown.ends_with(u"\r\n***"))),
          "a failure escaped the mount request");
    Check(log.starts_with(u"\r\n---14:03:27---\r\nStarting Up!"), "the log lost its opening");
    Check(world.lookup.live == 0, "the lookup request was never released");
    Check(!boxes.empty(), "the run ended without a word to the member");
    Check(failures.firstBoxRaises || failures.closeRaises || boxes.size() == 1,
          [&] { return "the run showed " + std::to_string(boxes.size()) + " boxes"; });
    Check(log.find(kPasswordMarker) == Text::npos, "the password reached the log");
    for (const test_support::ShownBox& box : boxes) {
        Check(box.prompt.find(kPasswordMarker) == Text::npos &&
                  box.title.find(kPasswordMarker) == Text::npos,
              "the password reached a box");
    }
    if (typedNothingHidden) {
        Check(!HoldsHiddenCharacter(WithoutLineBreaks(log)),
              [&] { return "the log shows a hidden character: " + Printable(log); });
        for (const test_support::ShownBox& box : boxes) {
            Check(!HoldsHiddenCharacter(WithoutLineBreaks(box.prompt)),
                  [&] { return "a box shows a hidden character: " + Printable(box.prompt); });
        }
    }

    if (!credentialsGiven) {
        Check(boxes.front().prompt == u"Both Username and Password need to be filled" &&
                  world.probe.asked.empty() && world.lookup.created == 0,
              "missing credentials were not refused before anything else");
        return 0;
    }
    if (failures.driveInUse) {
        Check(world.lookup.created == 0 && boxes.front().title == u"Generic Error",
              "a drive in use was not refused");
        return 0;
    }
    // Every attempt that gets this far posts the username once, unless the request object
    // could not be made.
    Check(world.lookup.bodies.size() == (failures.requestRefused ? 0U : 1U), [&] {
        return "the username was posted " + std::to_string(world.lookup.bodies.size()) + " times";
    });
    if (!world.lookup.bodies.empty()) {
        CheckBody(world.lookup.bodies.front(), username);
    }

    const ShareSearchResult search = SearchShareLocator(world.lookup.page);
    const bool found =
        !failures.LookupFails() && search.outcome == ShareSearchResult::Outcome::kOne;
    const bool allowed = found && MayReceiveCredentials(search.sharePath, fileServers);
    if (found && !allowed) {
        CheckRefusedShare(world, search.sharePath, failures.firstBoxRaises);
    }
    Check(world.mapping.calls.size() == (allowed ? 1U : 0U), [&] {
        return "the share \"" + Printable(search.sharePath) + "\" was mapped " +
               std::to_string(world.mapping.calls.size()) + " times";
    });
    const bool closes =
        allowed && mappingResult == 0 && !failures.mappingRaises && !failures.firstBoxRaises;
    Check(world.form.closed == (closes ? 1 : 0), "the program closed at the wrong moment");
    if (!allowed) {
        return 0;
    }

    const test_support::MappingCall& call = world.mapping.calls.front();
    const Text userName = u"CAMPUS\\" + username;
    Check(call.remoteName == search.sharePath && call.localName == driveLetter &&
              call.password == password && call.userName == userName,
          "the mapping call was not given the share, the letter and the credentials");
    if (mappingResult != 0 && !failures.mappingRaises) {
        Check(boxes.front().prompt ==
                  MountErrorMessage(mappingResult, driveLetter, search.sharePath, userName),
              "a refused mapping was not explained by the failure report");
    }
    return 0;
}
