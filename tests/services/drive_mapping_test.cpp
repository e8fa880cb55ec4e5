// The drive mapping call through the real mpr.dll, with the stand-in network provider
// registered in the test's Wine prefix. mpr.dll reads the providers when it is loaded, and
// NetworkDriveMapping loads it for each call, so registering once before the first call is
// enough. (Nothing in this program may import mpr.dll: it would load before registration.)
#include "services/drive_mapping.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <winnetwk.h>

#include <algorithm>
#include <string>
#include <vector>

#include "mount/mount_error_report.h"
#include "services/drive_probe.h"
#include "standins/provider_journal.h"
#include "standins/test_provider_settings.h"
#include "standins/wine_drive.h"
#include "testing/fakes.h"
#include "testing/provider_fixture.h"
#include "testing/test_folders.h"
#include "win32/module_path.h"
#include "win32/text.h"

namespace brisvane {
namespace {

using standins::ProviderCall;
using test_support::CancelConnection;

constexpr TextView kShare = u"\\\\files1\\j\u00FCrgen";
constexpr TextView kUserName = u"CAMPUS\\j\u00FCrgen.\u0141\u00F3d\u017A";
constexpr TextView kPassword = u"p\u00E4ss \u20AC\u0416\U0001D11E\"'\\";

class DriveMappingTest : public test_support::ProviderFixture {
  protected:
    DriveMappingTest() : ProviderFixture(L"brisvane-mapping-test") {}
};

TEST_F(DriveMappingTest, HandsTheProviderAFreshRecordAndTheCredentialsWhole) {
    ProviderAnswers(0);
    NetworkDriveMapping mapping;
    EXPECT_EQ(mapping.AddConnection(kShare, u"M:", SecretText(kPassword), kUserName), 0);

    ProviderCall expected;
    expected.entryPoint = L"NPAddConnection3";
    expected.localName = L"M:";
    expected.remoteName = ToWide(kShare);
    expected.provider = L"Brisvane test provider";  // the SMB provider's name, as mpr.dll gives it
    expected.password = ToWide(kPassword);
    expected.userName = ToWide(kUserName);
    // scope, type, display type, usage and flags 0; comment a null pointer.
    const std::vector<ProviderCall> calls = ProviderCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], expected);
}

// The decoy, a WebDAV provider first in the order, would accept anything; it must never see the
// credentials, also when the SMB provider cannot reach the share.
TEST_F(DriveMappingTest, OffersTheCredentialsToTheSmbProviderAlone) {
    const DWORD refusals[] = {ERROR_BAD_NET_NAME, ERROR_BAD_NETPATH};
    NetworkDriveMapping mapping;
    for (const DWORD code : refusals) {
        SCOPED_TRACE(code);
        ProviderAnswers(code);
        EXPECT_EQ(mapping.AddConnection(kShare, u"M:", SecretText(kPassword), kUserName),
                  static_cast<std::int32_t>(code));
    }
    EXPECT_EQ(ProviderCalls().size(), 2u);
    EXPECT_EQ(DecoyCalls(), std::vector<ProviderCall>{});
}

TEST_F(DriveMappingTest, WithoutAnSmbProviderNoProviderIsAsked) {
    ASSERT_EQ(standins::UnregisterTestProvider(), ERROR_SUCCESS);
    NetworkDriveMapping mapping;
    const std::int32_t result =
        mapping.AddConnection(kShare, u"M:", SecretText(kPassword), kUserName);
    // Back in the order, behind the decoy, for the tests after this one.
    ASSERT_EQ(standins::RegisterTestProvider(ProgramFolder() + L"brisvane-test-provider.dll"),
              ERROR_SUCCESS);
    EXPECT_EQ(result, ERROR_NO_NETWORK);  // mpr.dll's answer when it knows no SMB provider
    EXPECT_EQ(DecoyCalls(), std::vector<ProviderCall>{});
}

TEST_F(DriveMappingTest, PassesTheLocalNameOnAsItIs) {
    ProviderAnswers(0);
    NetworkDriveMapping mapping;
    for (const TextView localName : {u"", u"M", u"m:"}) {
        mapping.AddConnection(kShare, localName, SecretText(kPassword), kUserName);
    }
    const std::vector<ProviderCall> calls = ProviderCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].localName, L"");  // empty, not a null pointer
    EXPECT_EQ(calls[1].localName, L"M");
    EXPECT_EQ(calls[2].localName, L"m:");
}

TEST_F(DriveMappingTest, ReportsEachResultOfTheCallToTheMember) {
    struct Case {
        DWORD code;
        Text promptStart;
        BoxStyle style;
    };
    const Case cases[] = {
        {0, u"Drive M: has been succesfully mounted for user j\u00FCrgen\r\n",
         BoxStyle::kInformation},
        {1326, u"Unable to mount drive. (1326)\r\n\r\nThe Username/ Password combination",
         BoxStyle::kExclamation},
        {1219, u"Unable to mount drive. (1219)\r\n\r\nThe credentials supplied conflict",
         BoxStyle::kExclamation},
        {85, u"Unable to mount drive. (85)\r\n\r\nThere already is a M: on this system.",
         BoxStyle::kExclamation},
        {1206, u"Unable to mount drive. (1206)\r\n\r\nERROR_BAD_PROFILE", BoxStyle::kPlain},
        {1222, u"Unable to mount drive. (1222)\r\n\r\nNo network available.",
         BoxStyle::kExclamation},
        {53, u"Unable to mount drive.\r\n\r\nInformation used:", BoxStyle::kExclamation},
    };
    const Text userName = u"CAMPUS\\j\u00FCrgen";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const std::size_t before = ProviderCalls().size();
        ProviderAnswers(c.code);
        test_support::FakeWorld world;
        world.form.username = u"j\u00FCrgen";
        world.form.password = u"p\u00E4ss\u20AC";
        world.lookup.page = u"<tr><td>j\u00FCrgen</td><td>smb://files1/juergen</td></tr>";
        NetworkDriveMapping mapping;
        btnOK_Click({world.form, world.boxes, world.clock, world.lookup, world.probe, mapping,
                     world.organisation});

        ASSERT_EQ(world.boxes.shown.size(), 1u);
        const test_support::ShownBox& box = world.boxes.shown[0];
        EXPECT_EQ(box.prompt.substr(0, c.promptStart.size()), c.promptStart);
        EXPECT_EQ(box.style, c.style);
        EXPECT_EQ(box.title, u"Brisvane");
        if (c.code != 0) {
            EXPECT_EQ(box.prompt, MountErrorMessage(static_cast<std::int32_t>(c.code), u"M:",
                                                    u"\\\\files1\\juergen", userName));
        }
        const Text& log = world.form.log.text;
        EXPECT_EQ(log.substr(log.size() - box.prompt.size() - 2), u"\r\n" + box.prompt);
        EXPECT_EQ(world.form.closed, c.code == 0 ? 1 : 0);

        const std::vector<ProviderCall> calls = ProviderCalls();
        ASSERT_EQ(calls.size(), before + 1);
        EXPECT_EQ(calls.back().password, L"p\u00E4ss\u20AC");
        EXPECT_EQ(calls.back().userName, ToWide(userName));
    }
}

TEST_F(DriveMappingTest, WithAccountsTheProviderLetsOnlyTheirPasswordsThrough) {
    standins::TestProviderSettings settings;
    settings.accounts = {{L"CAMPUS\\j\u00FCrgen", L"bratwurst"}, {L"CAMPUS\\bob", L"builder"}};
    ASSERT_EQ(standins::WriteTestProviderSettings(settings), ERROR_SUCCESS);
    // The registry keeps the accounts in an order of its own.
    auto read = standins::ReadTestProviderSettings().accounts;
    std::sort(read.begin(), read.end());
    std::sort(settings.accounts.begin(), settings.accounts.end());
    EXPECT_EQ(read, settings.accounts);

    struct Case {
        TextView userName;
        TextView password;
        std::int32_t result;
    };
    const Case cases[] = {
        {u"CAMPUS\\j\u00FCrgen", u"bratwurst", 0},
        {u"campus\\BOB", u"builder", 0},  // a logon name in any case
        {u"CAMPUS\\bob", u"Builder", ERROR_LOGON_FAILURE},
        {u"CAMPUS\\bob", u"bratwurst", ERROR_LOGON_FAILURE},
        {u"CAMPUS\\alice", u"builder", ERROR_LOGON_FAILURE},
    };
    NetworkDriveMapping mapping;
    for (const Case& c : cases) {
        SCOPED_TRACE(ToWide(c.userName) + L" " + ToWide(c.password));
        EXPECT_EQ(mapping.AddConnection(kShare, u"M:", SecretText(c.password), c.userName),
                  c.result);
    }

    // Settings without accounts take them away again.
    ProviderAnswers(0);
    EXPECT_TRUE(standins::ReadTestProviderSettings().accounts.empty());
    EXPECT_EQ(mapping.AddConnection(kShare, u"M:", SecretText(u"anything"), u"CAMPUS\\alice"), 0);
}

TEST_F(DriveMappingTest, TheProviderCanMakeTheDriveRealAndTakeItAway) {
    const wchar_t letter = test_support::UnusedDriveLetter();
    ASSERT_NE(letter, 0);
    const Text drive = Text(1, static_cast<char16_t>(letter)) + u":";
    ProviderAnswers(0, test_support::TempFolder(L"brisvane-mapped-share"));

    NetworkDriveMapping mapping;
    EXPECT_EQ(mapping.AddConnection(kShare, drive, SecretText(kPassword), kUserName), 0);
    EXPECT_TRUE(VolumeDriveProbe().DriveInUse(drive));

    EXPECT_EQ(CancelConnection(ToWide(drive)), static_cast<DWORD>(NO_ERROR));
    EXPECT_FALSE(VolumeDriveProbe().DriveInUse(drive));
    standins::RemoveWineDrive(letter);  // in case the cancellation failed
}

}  // namespace
}  // namespace brisvane
