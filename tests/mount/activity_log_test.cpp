#include "mount/activity_log.h"

#include <gtest/gtest.h>

#include "testing/fakes.h"

namespace brisvane::test_support {
namespace {

TEST(LogLineTest, PutsALineBreakBeforeEveryEntry) {
    FakeLogBox log;
    LogLine(log, u"A");
    LogLine(log, u"");
    LogLine(log, u"B\r\n");
    EXPECT_EQ(log.text, u"\r\nA\r\n\r\nB\r\n");
}

TEST(LogLineTest, AppendsAtTheEndWhateverTheMemberSelected) {
    FakeLogBox log;
    log.text = u"\r\nfirst\r\nsecond";
    log.selectionStart = 3;
    log.selectionEnd = 8;
    LogLine(log, u"third");
    EXPECT_EQ(log.text, u"\r\nfirst\r\nsecond\r\nthird");
    EXPECT_EQ(log.selectionStart, log.text.size());
    EXPECT_EQ(log.selectionEnd, log.text.size());
}

}  // namespace
}  // namespace brisvane::test_support
