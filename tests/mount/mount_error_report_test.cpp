#include "mount/mount_error_report.h"

#include <gtest/gtest.h>

#include "testing/fakes.h"

namespace brisvane::test_support {
namespace {

struct CodeCase {
    std::int32_t code;
    TextView message;
};

// Every code with a message of its own, as the member reads it.
const CodeCase kKnownCodes[] = {
    {1219,
     u"Unable to mount drive. (1219)\r\n\r\n"
     u"The credentials supplied conflict with an existing set of credentials\r\n"
     u"Please ensure that you typed your Username and Password correctly\r\n\r\n"
     u"If the error persists, please try logging off and on again."},
    {5, u"Unable to mount drive. (5)\r\n\r\nAccess to the network resource was denied."},
    {85,
     u"Unable to mount drive. (85)\r\n\r\n"
     u"There already is a M: on this system.\r\nPlease unmount it and retry."},
    {66, u"Unable to mount drive. (66)\r\n\r\nERROR_BAD_DEV_TYPE"},
    {67, u"Unable to mount drive. (67)\r\n\r\nERROR_BAD_NET_NAME"},
    {1206, u"Unable to mount drive. (1206)\r\n\r\nERROR_BAD_PROFILE"},
    {1204, u"Unable to mount drive. (1204)\r\n\r\nERROR_BAD_PROVIDER"},
    {170,
     u"Unable to mount drive. (170)\r\n\r\n"
     u"The router or provider is busy, possibly initializing.\r\nPlease try again later."},
    {1205, u"Unable to mount drive. (1205)\r\n\r\nERROR_CANNOT_OPEN_PROFILE"},
    {1202, u"Unable to mount drive. (1202)\r\n\r\nERROR_DEVICE_ALREADY_REMEMBERED"},
    {1208, u"Unable to mount drive. (1208)\r\n\r\nERROR_EXTENDED_ERROR"},
    {1326,
     u"Unable to mount drive. (1326)\r\n\r\n"
     u"The Username/ Password combination you provided is invalid.\r\nPlease try again."},
    {86,
     u"Unable to mount drive. (86)\r\n\r\n"
     u"The Username/ Password combination you provided is invalid.\r\nPlease try again."},
    {1203,
     u"Unable to mount drive. (1203)\r\n\r\n"
     u"No network available or the path to the share is invalid.\r\nPlease try again later."},
    {1222,
     u"Unable to mount drive. (1222)\r\n\r\n"
     u"No network available.\r\n"
     u"Please ensure that:\r\n"
     u" a. The laptop is connected.\r\n"
     u" b. The network connection is active.\r\n"
     u" c. You are able to access the internet"},
};

TEST(ReportMountErrorTest, ShowsThenLogsTheMessageOfEveryKnownCode) {
    for (const CodeCase& c : kKnownCodes) {
        SCOPED_TRACE(c.code);
        FakeLogBox log;
        log.text = u"\r\nbefore";
        FakeBoxes boxes(log);
        ReportMountError(c.code, u"M:", u"\\\\srv1\\user1", u"CAMPUS\\user1", boxes, log);

        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].prompt, c.message);
        EXPECT_EQ(boxes.shown[0].title, u"Brisvane");
        EXPECT_EQ(boxes.shown[0].style, c.code == 1206 ? BoxStyle::kPlain : BoxStyle::kExclamation);
        EXPECT_EQ(boxes.shown[0].logWhenShown, u"\r\nbefore");
        EXPECT_EQ(log.text, u"\r\nbefore\r\n" + Text(c.message));
    }
}

TEST(ReportMountErrorTest, SummarisesAnyOtherCode) {
    for (const std::int32_t code : {53, 0x7FFFFFFF, -1, 1207, 1221, 84}) {
        SCOPED_TRACE(code);
        FakeLogBox log;
        FakeBoxes boxes(log);
        ReportMountError(code, u"Q:", u"\\\\srv9\\share", u"CAMPUS\\someone", boxes, log);

        const Text expected =
            u"Unable to mount drive.\r\n\r\nInformation used:\r\n"
            u"  Drive Letter: Q:\r\n"
            u"  Username: CAMPUS\\someone\r\n"
            u"  Server: \\\\srv9\\share\r\n"
            u"  Error Number: " +
            Decimal(code) + u"\r\n";
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].prompt, expected);
        EXPECT_EQ(boxes.shown[0].style, BoxStyle::kExclamation);
        EXPECT_EQ(log.text, u"\r\n" + expected);
    }
    EXPECT_EQ(MountErrorMessage(-5, u"", u"", u"").substr(0, 24), u"Unable to mount drive.\r\n");
    EXPECT_NE(MountErrorMessage(-5, u"", u"", u"").find(u"Error Number: -5\r\n"), Text::npos);
}

}  // namespace
}  // namespace brisvane::test_support
