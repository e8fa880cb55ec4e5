// Every outcome of an attempt of the real brisvane.exe, and the window as the member drives it
// (e2e/program_fixture.h).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "e2e/program_fixture.h"
#include "lookup_path.h"
#include "mount/organisation.h"
#include "standins/owners.h"
#include "testing/test_folders.h"
#include "window/twips.h"

namespace brisvane::e2e {
namespace {

using enum ControlId;
using standins::PageReply;
using standins::ProviderCall;
using test_support::WaitUntil;

// A text of the program as the window shows it.
std::wstring Shown(TextView text) {
    return ToWide(text);
}

TEST_F(ProgramTest, MapsTheMembersShareAndEnds) {
    ServeTheDemoPage();
    const std::wstring homeFolder = test_support::TempFolder(L"brisvane-e2e-home");
    const std::wstring welcome = homeFolder + L"\\welcome.txt";
    ASSERT_NE(OwnFileHandle(CreateFileW(welcome.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr)),
              nullptr);
    ProviderAnswers(0, homeFolder);
    madeDrives_.push_back(L'M');

    StartTheProgram();
    program_->SignIn(L"alice", L"s3cret pass");
    program_->Click(btnOK);
    EXPECT_EQ(ExpectMountedAndEnded(*program_, L"alice", L"\\\\files1\\alice"), 0u);

    const std::vector<ReceivedRequest> requests = LookupRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].target, BRISVANE_LOOKUP_PATH);
    EXPECT_EQ(requests[0].Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[0].body, "user=alice");

    ProviderCall expected;
    expected.entryPoint = L"NPAddConnection3";
    expected.localName = L"M:";
    expected.remoteName = L"\\\\files1\\alice";
    expected.provider = L"Brisvane test provider";
    expected.password = L"s3cret pass";
    expected.userName = L"CAMPUS\\alice";
    // scope, type, display type, usage and flags 0; comment a null pointer.
    EXPECT_EQ(ProviderCalls(), std::vector<ProviderCall>{expected});
    // The drive is really there, for every program of the prefix.
    EXPECT_NE(GetFileAttributesW(L"M:\\welcome.txt"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ProgramTest, RefusesMissingCredentialsBeforeAskingAnyone) {
    ServeTheDemoPage();
    StartTheProgram();
    const std::pair<std::wstring, std::wstring> inputs[] = {
        {L"", L""}, {L"alice", L""}, {L"", L"secret"}, {L"alice", L"   "}, {L"CAMPUS\\", L"x"}};
    for (const auto& [username, password] : inputs) {
        SCOPED_TRACE(::testing::PrintToString(username + L" / " + password));
        program_->SignIn(username, password);
        const Outcome outcome = PressOk();
        EXPECT_EQ(outcome.box.title, Shown(texts::kBoxTitle));
        EXPECT_EQ(outcome.box.text, Shown(texts::kMissingCredentials));
        EXPECT_EQ(outcome.box.icon, BoxIcon::kExclamation);
        ExpectLog(outcome.log, {Shown(texts::kStartingUp)});
    }
    EXPECT_TRUE(LookupRequests().empty());
    EXPECT_TRUE(ProviderCalls().empty());
}

TEST_F(ProgramTest, RefusesADriveLetterThatIsInUse) {
    ServeTheDemoPage();
    MakeDrive(L'Q', test_support::TempFolder(L"brisvane-e2e-taken"));
    StartTheProgram();
    program_->Click(chkAdvanced);
    program_->Type(cmbDriveLetter, L"Q:");
    program_->SignIn(L"alice", L"secret");

    const Outcome outcome = PressOk();
    EXPECT_EQ(outcome.box.title, Shown(texts::kDriveInUseTitle));
    EXPECT_EQ(outcome.box.text, Shown(texts::DriveInUse(u"Q:")));
    EXPECT_EQ(outcome.box.icon, BoxIcon::kExclamation);
    ExpectLog(outcome.logWhileShown, {Shown(texts::kStartingUp)});
    ExpectLog(outcome.log, {Shown(texts::kStartingUp), Shown(texts::DriveNotFree(u"Q:"))});
    EXPECT_TRUE(LookupRequests().empty());
    EXPECT_TRUE(ProviderCalls().empty());
}

TEST_F(ProgramTest, EndsWhenThePageListsNoShareOrSeveral) {
    ServeTheDemoPage();
    StartTheProgram();
    struct Case {
        std::wstring member;
        std::wstring text;
        std::wstring lastEntry;
    };
    const Case cases[] = {
        {L"nobody", Shown(texts::NoLocator(ThisOrganisation().accountName)),
         Shown(texts::kNoServer)},
        {L"twoshares", Shown(texts::SeveralLocators(ThisOrganisation().contact)),
         Shown(texts::kSeveralServers)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.member));
        program_->SignIn(c.member, L"secret");
        const Outcome outcome = PressOk();
        EXPECT_EQ(outcome.box.title, Shown(texts::kBoxTitle));
        EXPECT_EQ(outcome.box.text, c.text);
        EXPECT_EQ(outcome.box.icon, BoxIcon::kExclamation);
        const std::vector<std::wstring> searched = Followed(
            UpToTheLookup(L"M:", c.member), {Shown(texts::kDone), Shown(texts::kExtractingServer)});
        ExpectLog(outcome.logWhileShown, searched);
        ExpectLog(outcome.log, Followed(searched, {c.lastEntry}));
    }
    EXPECT_EQ(LookupRequests().size(), 2u);
    EXPECT_TRUE(ProviderCalls().empty());
}

// The program knows the demo's file servers: mallory's page names another one, and the password
// goes nowhere.
TEST_F(ProgramTest, RefusesAShareOnAServerOutsideTheOrganisation) {
    ServeTheDemoPage();
    StartTheProgram();
    program_->SignIn(L"mallory", L"eavesdrop");
    const Outcome outcome = PressOk();

    const std::wstring error =
        Shown(texts::UnhandledError(u"-2147024891",  // E_ACCESSDENIED
                                    texts::ShareOutsideFileServers(u"\"attacker.example\"")));
    EXPECT_EQ(outcome.box.title, Shown(texts::kBoxTitle));
    EXPECT_EQ(outcome.box.text, error);
    EXPECT_EQ(outcome.box.icon, BoxIcon::kExclamation);
    const std::vector<std::wstring> refused = Followed(
        UpToTheLookup(L"M:", L"mallory"),
        {Shown(texts::kDone), Shown(texts::kExtractingServer),
         Shown(texts::ShareEntry(u"\\\\attacker.example\\mallory")), Shown(texts::kErrorMark)});
    ExpectLog(outcome.logWhileShown, refused);
    ExpectLog(outcome.log, Followed(refused, {error}));
    EXPECT_EQ(LookupRequests().size(), 1u);
    EXPECT_TRUE(ProviderCalls().empty());
}

TEST_F(ProgramTest, ExplainsEachRefusalOfTheMapping) {
    struct Case {
        DWORD code;
        std::wstring text;
        BoxIcon icon;
    };
    const Text bob = Join({ThisOrganisation().logonDomain, u"\\bob"});
    const Case cases[] = {
        {1326, Shown(texts::MountError(u"1326", texts::kLogonFailure)), BoxIcon::kExclamation},
        {1219, Shown(texts::MountError(u"1219", texts::kCredentialConflict)),
         BoxIcon::kExclamation},
        {85, Shown(texts::MountError(u"85", texts::AlreadyAssigned(u"M:"))), BoxIcon::kExclamation},
        {1206, Shown(texts::MountError(u"1206", texts::kBadProfile)), BoxIcon::kNone},
        {53, Shown(texts::MountErrorSummary(u"53", u"M:", bob, u"\\\\files2\\homes\\bob")),
         BoxIcon::kExclamation},
    };
    ServeTheDemoPage();
    StartTheProgram();
    program_->SignIn(L"bob", L"secret");
    const std::vector<std::wstring> mapping =
        UpToTheMapping(L"M:", L"bob", L"\\\\files2\\homes\\bob");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        ProviderAnswers(c.code);
        const Outcome outcome = PressOk();
        EXPECT_EQ(outcome.box.title, Shown(texts::kBoxTitle));
        EXPECT_EQ(outcome.box.text, c.text);
        EXPECT_EQ(outcome.box.icon, c.icon);
        ExpectLog(outcome.logWhileShown, mapping);
        ExpectLog(outcome.log, Followed(mapping, {c.text}));
    }
    EXPECT_EQ(ProviderCalls().size(), std::size(cases));
}

TEST_F(ProgramTest, GivesNetworkAdviceWhenTheLookupPageCannotBeReached) {
    StartTheProgram();  // and nothing listens on the lookup page's port
    program_->SignIn(L"alice", L"secret");
    const Outcome outcome = PressOk();

    EXPECT_EQ(outcome.box.title, Shown(texts::kBoxTitle));
    EXPECT_EQ(outcome.box.icon, BoxIcon::kExclamation);
    // The first line is the system's description of the failure, the rest the advice.
    const std::size_t firstBreak = outcome.box.text.find(L"\r\n");
    ASSERT_NE(firstBreak, std::wstring::npos);
    const std::wstring description = outcome.box.text.substr(0, firstBreak);
    EXPECT_FALSE(description.empty());
    EXPECT_EQ(outcome.box.text, Shown(texts::NetworkAdvice(FromWide(description))));

    const std::vector<std::wstring> failed =
        Followed(UpToTheLookup(L"M:", L"alice"), {Shown(texts::kErrorMark)});
    ExpectLog(outcome.logWhileShown, failed);
    ExpectLog(
        outcome.log,
        Followed(failed, {Shown(texts::HandledError(FromWide(description), u"-2146697211"))}));
    EXPECT_TRUE(ProviderCalls().empty());
}

TEST_F(ProgramTest, ReportsAnUnexpectedErrorWithItsNumberAndDescription) {
    // A page over the program's 16 MiB cap.
    ServeThePage([](const ReceivedRequest&) {
        PageReply reply;
        reply.body = std::string(16 * 1024 * 1024 + 1, 'x');
        return reply;
    });
    StartTheProgram();
    program_->SignIn(L"alice", L"secret");
    const Outcome outcome = PressOk();

    const std::wstring error =
        Shown(texts::UnhandledError(u"-2147024673",  // HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE)
                                    texts::PageTooLarge(u"16777216")));
    EXPECT_EQ(outcome.box.title, Shown(texts::kBoxTitle));
    EXPECT_EQ(outcome.box.text, error);
    EXPECT_EQ(outcome.box.icon, BoxIcon::kExclamation);
    const std::vector<std::wstring> failed =
        Followed(UpToTheLookup(L"M:", L"alice"), {Shown(texts::kErrorMark)});
    ExpectLog(outcome.logWhileShown, failed);
    ExpectLog(outcome.log, Followed(failed, {error}));
    EXPECT_TRUE(ProviderCalls().empty());
}

TEST_F(ProgramTest, ASecondAttemptStartsFromAnEmptiedLogAndSucceeds) {
    ServeTheDemoPage();
    ProviderKnows(L"CAMPUS\\j\u00FCrgen", L"bratwurst");
    StartTheProgram();
    program_->SignIn(L"j\u00FCrgen", L"bratwurts");
    const Outcome refused = PressOk();
    EXPECT_EQ(refused.box.icon, BoxIcon::kExclamation);
    EXPECT_NE(refused.log.find(L"(1326)"), std::wstring::npos);

    program_->Type(txtPasswd, L"bratwurst");
    program_->Click(btnOK);
    // The log shows the second attempt alone.
    EXPECT_EQ(ExpectMountedAndEnded(*program_, L"j\u00FCrgen", L"\\\\files1\\juergen"), 0u);

    const std::vector<ProviderCall> calls = ProviderCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].password, L"bratwurts");
    EXPECT_EQ(calls[1].password, L"bratwurst");
    EXPECT_EQ(calls[1].userName, L"CAMPUS\\j\u00FCrgen");
}

TEST_F(ProgramTest, EnterInEitherCredentialBoxRunsTheMountRequest) {
    ServeTheDemoPage();
    StartTheProgram();
    program_->PressEnter(txtUname);
    const Outcome refused = CloseTheBox();
    EXPECT_EQ(refused.box.text, Shown(texts::kMissingCredentials));

    program_->SignIn(L"bob", L"secret");
    program_->PressEnter(txtPasswd);
    EXPECT_EQ(ExpectMountedAndEnded(*program_, L"bob", L"\\\\files2\\homes\\bob"), 0u);
}

TEST_F(ProgramTest, CancelAndTheCloseBoxEndTheProgramWithoutAnAttempt) {
    ServeTheDemoPage();
    for (const bool cancel : {true, false}) {
        SCOPED_TRACE(cancel ? "Cancel" : "close box");
        ProgramDriver& program = StartTheProgram();
        program.SignIn(L"alice", L"secret");
        if (cancel) {
            program.Click(btnCancel);
        } else {
            program.PressCloseBox();
        }
        EXPECT_EQ(program.WaitForExit(), 0u);
    }
    EXPECT_TRUE(LookupRequests().empty());
    EXPECT_TRUE(ProviderCalls().empty());
}

TEST_F(ProgramTest, AdvancedOptionsGrowAndShrinkTheWindow) {
    ProgramDriver& program = StartTheProgram();
    const int dpi = static_cast<int>(program.Dpi());
    const int collapsed = TwipsToPixels(2335, dpi);
    const int expanded = TwipsToPixels(5215, dpi);
    EXPECT_NEAR(program.OuterHeight(), collapsed, 1);
    EXPECT_FALSE(program.Visible(frameHidden));

    program.Click(chkAdvanced);
    ASSERT_TRUE(WaitUntil([&] { return program.Visible(frameHidden); }));
    EXPECT_NEAR(program.OuterHeight(), expanded, 1);
    EXPECT_EQ(program.Text(cmbDriveLetter), L"M:");
    EXPECT_EQ(program.Text(txtDomain), Shown(ThisOrganisation().logonDomain));
    EXPECT_EQ(program.Text(txtWebSite), kStandInUrl);
    EXPECT_EQ(program.Text(txtInfo), L"");

    program.Click(chkAdvanced);
    ASSERT_TRUE(WaitUntil([&] { return !program.Visible(frameHidden); }));
    EXPECT_NEAR(program.OuterHeight(), collapsed, 1);
}

}  // namespace
}  // namespace brisvane::e2e
