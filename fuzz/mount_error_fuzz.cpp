// ReportMountError with any code and any texts. Input: the code in decimal on the first line,
// then the drive letter, the share path and the qualified user name, one a line (the user name
// takes the rest). Whatever they hold, the member sees one box titled "Brisvane" and the log
// then ends with exactly the box's text; the code and the inputs stand where they belong, the
// share path (the lookup page's choice) as ShownText shows it: with nothing hidden in it, at
// most 260 characters, and unchanged when it is an ordinary one.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "fuzz/fuzz_input.h"
#include "mount/mount_error_report.h"
#include "mount/shown_text.h"
#include "testing/fakes.h"

namespace brisvane::fuzzing {
namespace {

// The codes that have a message of their own; every other one gets the summary.
constexpr std::int32_t kCodesWithAMessage[] = {1219, 5,    85,   66,   67, 1206, 1204, 170,
                                               1205, 1202, 1208, 1326, 86, 1203, 1222};

bool EndsWith(TextView text, TextView tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

constexpr std::size_t kShownLimit = 260;

// ShownText's promises, read plainly: nothing hidden survives, the length is bounded, and a text
// without hidden characters keeps its characters: all of them when they fit, else as many as fit
// before the "…" (one fewer when the last would be half a surrogate pair).
void CheckShown(TextView text, TextView shown) {
    Check(!HoldsHiddenCharacter(shown) && shown.size() <= kShownLimit,
          [&] { return "ShownText left \"" + Printable(shown) + "\""; });
    if (HoldsHiddenCharacter(text)) {
        return;
    }
    if (text.size() <= kShownLimit) {
        Check(shown == text, [&] { return "ShownText changed \"" + Printable(text) + "\""; });
        return;
    }
    const TextView kept = shown.substr(0, shown.size() - 1);
    Check(shown.ends_with(u"\u2026") && text.starts_with(kept) && kept.size() >= kShownLimit - 2,
          [&] { return "ShownText cut \"" + Printable(text) + "\" wrongly"; });
}

void ExpectMessageShape(std::int32_t code, TextView driveLetter, TextView sharePath,
                        TextView userName, TextView message) {
    const Text number = Decimal(code);
    if (ParseInt32(number) != code) {
        Fail("Decimal(" + std::to_string(code) + ") reads back differently");
    }
    const bool hasOwnMessage =
        std::find(std::begin(kCodesWithAMessage), std::end(kCodesWithAMessage), code) !=
        std::end(kCodesWithAMessage);
    if (hasOwnMessage) {
        const Text head = u"Unable to mount drive. (" + number + u")\r\n\r\n";
        if (message.substr(0, head.size()) != head || message.size() == head.size() ||
            EndsWith(message, kCrLf)) {
            Fail("the message of code " + std::to_string(code) + " is \"" + Printable(message) +
                 "\"");
        }
        return;
    }
    const Text summary = u"Unable to mount drive.\r\n\r\nInformation used:\r\n  Drive Letter: " +
                         Text(driveLetter) + u"\r\n  Username: " + Text(userName) +
                         u"\r\n  Server: " + ShownText(sharePath) + u"\r\n  Error Number: " +
                         number + u"\r\n";
    if (message != summary) {
        Fail("the summary for code " + std::to_string(code) + " is \"" + Printable(message) + "\"");
    }
}

}  // namespace
}  // namespace brisvane::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace brisvane;
    using namespace brisvane::fuzzing;
    const auto fields = SplitFields(DecodeText(std::span(data, size)), 4);
    const std::int32_t code = ParseInt32(fields[0]);
    const TextView driveLetter = fields[1];
    const TextView sharePath = fields[2];
    const TextView userName = fields[3];

    const Text earlierLog = u"\r\nMounting Share:";
    test_support::FakeLogBox log;
    log.text = earlierLog;
    test_support::FakeBoxes boxes(log);
    ReportMountError(code, driveLetter, sharePath, userName, boxes, log);

    const Text message = MountErrorMessage(code, driveLetter, sharePath, userName);
    if (boxes.shown.size() != 1) {
        Fail("ReportMountError showed " + std::to_string(boxes.shown.size()) + " boxes");
    }
    const test_support::ShownBox& box = boxes.shown.front();
    const BoxStyle style = code == 1206 ? BoxStyle::kPlain : BoxStyle::kExclamation;
    if (box.prompt != message || box.title != u"Brisvane" || box.style != style) {
        Fail("the box for code " + std::to_string(code) + " is wrong");
    }
    if (box.logWhenShown != earlierLog || log.text != earlierLog + Text(kCrLf) + message) {
        Fail("the log does not end with the box's text, written after the box");
    }
    ExpectMessageShape(code, driveLetter, sharePath, userName, message);
    CheckShown(sharePath, ShownText(sharePath));
    return 0;
}
