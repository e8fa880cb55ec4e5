// The window's own texts and the texts made from values that no workflow test reaches; the
// window and end-to-end tests compare with these constants.
#include "mount/member_texts.h"

#include <gtest/gtest.h>

namespace brisvane::texts {
namespace {

TEST(MemberTextsTest, TheWindowsCaptionsLabelsAndTooltips) {
    struct Case {
        TextView text;
        TextView expected;
    };
    const Case cases[] = {
        {kWindowCaption, u"Brisvane Utility"},
        {kAdvancedOptions, u"Advanced Options"},
        {kOK, u"OK"},
        {kCancel, u"Cancel"},
        {kUsernameLabel, u"Username:"},
        {kPasswordLabel, u"Password:"},
        {kDriveLetterLabel, u"Drive Letter:"},
        {kDomainLabel, u"Domain:"},
        {kWebSiteLabel, u"Web Site:"},
        {kUsernameTooltip, u"Please enter your username"},
        {kPasswordTooltip, u"Please enter your password"},
        {kActivityLogName, u"Activity log"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.text, c.expected);
    }
}

TEST(VersionCaptionTest, PlainDecimalNumbersAfterAV) {
    EXPECT_EQ(VersionCaption(0, 9, 0), u"v0.9.0");
    EXPECT_EQ(VersionCaption(1, 10, 200), u"v1.10.200");
}

TEST(FatalErrorTest, TheHeadThenTheNumberIfAnyAndTheDescription) {
    EXPECT_EQ(FatalError(FatalErrorDetail(u"-2147467259", u"Broken pipe")),
              u"Brisvane met an error it cannot handle and has to close.\r\n\r\n"
              u" Error: -2147467259\r\n Description: Broken pipe");
    EXPECT_EQ(FatalError(FatalErrorDetail(u"disk on fire")),
              u"Brisvane met an error it cannot handle and has to close.\r\n\r\n"
              u" Description: disk on fire");
    EXPECT_EQ(kUnknownKindOfError, u"an error of unknown kind");
    EXPECT_EQ(kOutOfMemory, u"Out of memory");
    EXPECT_EQ(kOverflow, u"Overflow");
}

TEST(PageTooLargeTest, NamesTheLimitInBytes) {
    EXPECT_EQ(PageTooLarge(u"16777216"), u"The lookup page sent more than 16777216 bytes.");
}

}  // namespace
}  // namespace brisvane::texts
