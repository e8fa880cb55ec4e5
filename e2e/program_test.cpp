// The real brisvane.exe, built for the stand-in lookup page and the demo's file servers, driven
// from outside its process the way a member uses it: against a lookup page that this test serves
// on the stand-in's address and the test network provider, registered in the test's Wine prefix
// and told what to answer.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "e2e/attempt_log.h"
#include "e2e/standin_settings.h"
#include "standins/lookup_page.h"
#include "standins/lookup_page_server.h"
#include "standins/provider_journal.h"
#include "standins/wine_drive.h"
#include "testing/program_driver.h"
#include "testing/provider_fixture.h"
#include "testing/test_folders.h"
#include "win32/module_path.h"
#include "win32/owners.h"
#include "window/twips.h"

namespace brisvane {

namespace e2e {
namespace {

using enum ControlId;
using standins::LookupPageServer;
using standins::PageReply;
using standins::ProviderCall;
using standins::ReceivedRequest;
using testing::BoxIcon;
using testing::ProgramDriver;
using testing::SeenMessageBox;
using testing::WaitUntil;

const std::wstring kPleaseEnsureNetwork =
    L"Please ensure that:\r\n"
    L"\r\n"
    L" a. The laptop is connected.\r\n"
    L" b. The network connection is active.\r\n"
    L" c. You are able to access the internet";

// The box that ends an attempt, and the log while the box was open and after it was closed.
struct Outcome {
    SeenMessageBox box;
    std::wstring logWhileShown;
    std::wstring log;
};

class ProgramTest : public testing::ProviderFixture {
  protected:
    ProgramTest() : ProviderFixture(L"brisvane-e2e-test") {}

    void SetUp() override {
        ProviderFixture::SetUp();
        ProviderAnswers(0);
    }

    void TearDown() override {
        program_.reset();  // ends it if it still runs
        for (const wchar_t letter : madeDrives_) {
            standins::RemoveWineDrive(letter);
        }
        ProviderFixture::TearDown();
    }

    // The demo organisation's members on the stand-in page, and two whose pages a real
    // lookup service never serves: "twoshares", whose page lists two shares, and "mallory",
    // whose page names a server outside the demo's file servers, as a spoofed page would.
    void ServeTheDemoPage() {
        std::vector<standins::DemoMember> members = standins::DemoMembers();
        members.push_back(
            {"twoshares", {"smb://files1/twoshares", "smb://files2/twoshares"}, "twice"});
        members.push_back({"mallory", {"smb://attacker.example/mallory"}, "eavesdrop"});
        ServeThePage([members](const ReceivedRequest& request) {
            return standins::AnswerLookup(request, members);
        });
    }
    void ServeThePage(standins::Responder responder) {
        page_.emplace(std::move(responder), kStandInPort);
    }
    std::vector<ReceivedRequest> LookupRequests() const {
        return page_ ? page_->Requests() : std::vector<ReceivedRequest>{};
    }

    // A drive of the prefix, taken away again after the test.
    void MakeDrive(wchar_t letter, const std::wstring& folder) {
        madeDrives_.push_back(letter);
        ASSERT_EQ(standins::DefineWineDrive(letter, folder), ERROR_SUCCESS);
    }

    ProgramDriver& StartTheProgram(const std::wstring& program = ProgramFolder() +
                                                                 L"brisvane.exe") {
        program_.emplace(program);
        return *program_;
    }

    void SignIn(const std::wstring& username, const std::wstring& password) {
        program_->Type(txtUname, username);
        program_->Type(txtPasswd, password);
    }

    // Reads the box that the attempt just started ends with, and closes it.
    Outcome CloseTheBox() {
        std::optional<SeenMessageBox> box = program_->WaitForMessageBox();
        if (!box) {
            throw std::runtime_error("the attempt showed no message box");
        }
        Outcome outcome{*box, program_->Text(txtInfo), {}};
        program_->Acknowledge(*box);
        outcome.log = program_->Text(txtInfo);
        return outcome;
    }

    Outcome PressOk() {
        program_->Click(btnOK);
        return CloseTheBox();
    }

    // Reads the success box, closes it and waits for the program to end; its exit code.
    std::optional<DWORD> ExpectMountedAndEnded(const std::wstring& member,
                                               const std::wstring& share) {
        const std::optional<SeenMessageBox> box = program_->WaitForMessageBox();
        if (!box) {
            ADD_FAILURE() << "no message box";
            return std::nullopt;
        }
        const std::wstring success =
            L"Drive M: has been succesfully mounted for user " + member + L"\r\n";
        EXPECT_EQ(box->title, L"Brisvane");
        EXPECT_EQ(box->text, success);
        EXPECT_EQ(box->icon, BoxIcon::kInformation);
        // The success text follows in the log once the box is closed, and the window goes.
        ExpectLog(program_->Text(txtInfo), UpToTheMapping(L"M:", member, share));
        program_->Acknowledge(*box);
        return program_->WaitForExit();
    }

    std::optional<LookupPageServer> page_;
    std::optional<ProgramDriver> program_;  // ended before the page it may still be asking
    std::vector<wchar_t> madeDrives_;       // taken away after the test
};

TEST_F(ProgramTest, MapsTheMembersShareAndEnds) {
    ServeTheDemoPage();
    const std::wstring homeFolder = testing::TempFolder(L"brisvane-e2e-home");
    const std::wstring welcome = homeFolder + L"\\welcome.txt";
    ASSERT_NE(OwnFileHandle(CreateFileW(welcome.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr)),
              nullptr);
    ProviderAnswers(0, homeFolder);
    madeDrives_.push_back(L'M');

    StartTheProgram();
    SignIn(L"alice", L"s3cret pass");
    program_->Click(btnOK);
    EXPECT_EQ(ExpectMountedAndEnded(L"alice", L"\\\\files1\\alice"), 0u);

    const std::vector<ReceivedRequest> requests = LookupRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].target, "/cs/servers/serversearch.asp");
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
        SignIn(username, password);
        const Outcome outcome = PressOk();
        EXPECT_EQ(outcome.box.title, L"Brisvane");
        EXPECT_EQ(outcome.box.text, L"Both Username and Password need to be filled");
        EXPECT_EQ(outcome.box.icon, BoxIcon::kExclamation);
        ExpectLog(outcome.log, {L"Starting Up!"});
    }
    EXPECT_TRUE(LookupRequests().empty());
    EXPECT_TRUE(ProviderCalls().empty());
}

TEST_F(ProgramTest, RefusesADriveLetterThatIsInUse) {
    ServeTheDemoPage();
    MakeDrive(L'Q', testing::TempFolder(L"brisvane-e2e-taken"));
    StartTheProgram();
    program_->Click(chkAdvanced);
    program_->Type(cmbDriveLetter, L"Q:");
    SignIn(L"alice", L"secret");

    const Outcome outcome = PressOk();
    EXPECT_EQ(outcome.box.title, L"Generic Error");
    EXPECT_EQ(outcome.box.text,
              L"There already is a Q: drive on this system.\r\n"
              L"Please unmount it before proceeding.");
    EXPECT_EQ(outcome.box.icon, BoxIcon::kExclamation);
    ExpectLog(outcome.logWhileShown, {L"Starting Up!"});
    ExpectLog(outcome.log, {L"Starting Up!", L" Driveletter Q: is NOT free."});
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
        {L"nobody",
         L"There was a problem retrieving your share information from the Network\r\n"
         L"Please ensure that:\r\n"
         L" a. You typed your Username Correctly\r\n"
         L" b. The share you are trying to use belongs to a valid\r\n"
         L"    and active Varnholt account.",
         L" Server: not found."},
        {L"twoshares",
         L"The wepage containing the M: drive info has changed,\r\n"
         L"Please contact Tamsk to update this program.\r\n",
         L" Server: More than one found."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.member));
        SignIn(c.member, L"secret");
        const Outcome outcome = PressOk();
        EXPECT_EQ(outcome.box.title, L"Brisvane");
        EXPECT_EQ(outcome.box.text, c.text);
        EXPECT_EQ(outcome.box.icon, BoxIcon::kExclamation);
        const std::vector<std::wstring> searched =
            Followed(UpToTheLookup(L"M:", c.member), {L" Done.", L"Extracting Server:"});
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
    SignIn(L"mallory", L"eavesdrop");
    const Outcome outcome = PressOk();

    const std::wstring error =
        L" Unhandled Error: -2147024891\r\n"  // E_ACCESSDENIED
        L" Description: The lookup page named the file server \"attacker.example\", which is not "
        L"one of the organisation's file servers.";
    EXPECT_EQ(outcome.box.title, L"Brisvane");
    EXPECT_EQ(outcome.box.text, error);
    EXPECT_EQ(outcome.box.icon, BoxIcon::kExclamation);
    const std::vector<std::wstring> refused = Followed(
        UpToTheLookup(L"M:", L"mallory"),
        {L" Done.", L"Extracting Server:", L" Share: \\\\attacker.example\\mallory", L"***"});
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
    const Case cases[] = {
        {1326,
         L"Unable to mount drive. (1326)\r\n\r\n"
         L"The Username/ Password combination you provided is invalid.\r\n"
         L"Please try again.",
         BoxIcon::kExclamation},
        {1219,
         L"Unable to mount drive. (1219)\r\n\r\n"
         L"The credentials supplied conflict with an existing set of credentials\r\n"
         L"Please ensure that you typed your Username and Password correctly\r\n"
         L"\r\n"
         L"If the error persists, please try logging off and on again.",
         BoxIcon::kExclamation},
        {85,
         L"Unable to mount drive. (85)\r\n\r\n"
         L"There already is a M: on this system.\r\n"
         L"Please unmount it and retry.",
         BoxIcon::kExclamation},
        {1206, L"Unable to mount drive. (1206)\r\n\r\nERROR_BAD_PROFILE", BoxIcon::kNone},
        {53,
         L"Unable to mount drive.\r\n\r\n"
         L"Information used:\r\n"
         L"  Drive Letter: M:\r\n"
         L"  Username: CAMPUS\\bob\r\n"
         L"  Server: \\\\files2\\homes\\bob\r\n"
         L"  Error Number: 53\r\n",
         BoxIcon::kExclamation},
    };
    ServeTheDemoPage();
    StartTheProgram();
    SignIn(L"bob", L"secret");
    const std::vector<std::wstring> mapping =
        UpToTheMapping(L"M:", L"bob", L"\\\\files2\\homes\\bob");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        ProviderAnswers(c.code);
        const Outcome outcome = PressOk();
        EXPECT_EQ(outcome.box.title, L"Brisvane");
        EXPECT_EQ(outcome.box.text, c.text);
        EXPECT_EQ(outcome.box.icon, c.icon);
        ExpectLog(outcome.logWhileShown, mapping);
        ExpectLog(outcome.log, Followed(mapping, {c.text}));
    }
    EXPECT_EQ(ProviderCalls().size(), std::size(cases));
}

TEST_F(ProgramTest, GivesNetworkAdviceWhenTheLookupPageCannotBeReached) {
    StartTheProgram();  // and nothing listens on the lookup page's port
    SignIn(L"alice", L"secret");
    const Outcome outcome = PressOk();

    EXPECT_EQ(outcome.box.title, L"Brisvane");
    EXPECT_EQ(outcome.box.icon, BoxIcon::kExclamation);
    // The first line is the system's description of the failure, the rest the advice.
    const std::size_t firstBreak = outcome.box.text.find(L"\r\n");
    ASSERT_NE(firstBreak, std::wstring::npos);
    const std::wstring description = outcome.box.text.substr(0, firstBreak);
    EXPECT_FALSE(description.empty());
    EXPECT_EQ(outcome.box.text.substr(firstBreak + 2), kPleaseEnsureNetwork);

    const std::vector<std::wstring> failed = Followed(UpToTheLookup(L"M:", L"alice"), {L"***"});
    ExpectLog(outcome.logWhileShown, failed);
    ExpectLog(outcome.log, Followed(failed, {L"Handled Error: " + description + L" -2146697211"}));
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
    SignIn(L"alice", L"secret");
    const Outcome outcome = PressOk();

    const std::wstring error =
        L" Unhandled Error: -2147024673\r\n"  // HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE)
        L" Description: The lookup page sent more than 16777216 bytes.";
    EXPECT_EQ(outcome.box.title, L"Brisvane");
    EXPECT_EQ(outcome.box.text, error);
    EXPECT_EQ(outcome.box.icon, BoxIcon::kExclamation);
    const std::vector<std::wstring> failed = Followed(UpToTheLookup(L"M:", L"alice"), {L"***"});
    ExpectLog(outcome.logWhileShown, failed);
    ExpectLog(outcome.log, Followed(failed, {error}));
    EXPECT_TRUE(ProviderCalls().empty());
}

TEST_F(ProgramTest, ASecondAttemptStartsFromAnEmptiedLogAndSucceeds) {
    ServeTheDemoPage();
    ProviderKnows(L"CAMPUS\\j\u00FCrgen", L"bratwurst");
    StartTheProgram();
    SignIn(L"j\u00FCrgen", L"bratwurts");
    const Outcome refused = PressOk();
    EXPECT_EQ(refused.box.icon, BoxIcon::kExclamation);
    EXPECT_NE(refused.log.find(L"(1326)"), std::wstring::npos);

    program_->Type(txtPasswd, L"bratwurst");
    program_->Click(btnOK);
    // The log shows the second attempt alone.
    EXPECT_EQ(ExpectMountedAndEnded(L"j\u00FCrgen", L"\\\\files1\\juergen"), 0u);

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
    EXPECT_EQ(refused.box.text, L"Both Username and Password need to be filled");

    SignIn(L"bob", L"secret");
    program_->PressEnter(txtPasswd);
    EXPECT_EQ(ExpectMountedAndEnded(L"bob", L"\\\\files2\\homes\\bob"), 0u);
}

TEST_F(ProgramTest, CancelAndTheCloseBoxEndTheProgramWithoutAnAttempt) {
    ServeTheDemoPage();
    for (const bool cancel : {true, false}) {
        SCOPED_TRACE(cancel ? "Cancel" : "close box");
        ProgramDriver& program = StartTheProgram();
        SignIn(L"alice", L"secret");
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

// Tells Wine, until the end of the scope, to prefer DLLs of these names found beside
// brisvane.exe to its own, as Windows does for every DLL that is not a Known DLL: the same as
// WINEDLLOVERRIDES=<dll>=n,b for brisvane.exe alone. (Wine's loader takes WINEDLLOVERRIDES from
// the environment that it was started with on the Unix side, which a Windows process does not
// pass on to the programs it starts; a program's overrides in the registry it reads at run
// time.)
class PreferDllsBesideTheProgram {
  public:
    explicit PreferDllsBesideTheProgram(std::vector<std::wstring> dlls) : dlls_(std::move(dlls)) {
        HKEY opened = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                  &opened, nullptr),
                  ERROR_SUCCESS);
        key_.reset(opened);
        constexpr wchar_t kNativeFirst[] = L"native,builtin";
        for (const std::wstring& dll : dlls_) {
            EXPECT_EQ(
                RegSetValueExW(key_.get(), dll.c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(kNativeFirst), sizeof(kNativeFirst)),
                ERROR_SUCCESS);
        }
    }
    ~PreferDllsBesideTheProgram() {
        for (const std::wstring& dll : dlls_) {
            RegDeleteValueW(key_.get(), dll.c_str());
        }
    }
    PreferDllsBesideTheProgram(const PreferDllsBesideTheProgram&) = delete;
    PreferDllsBesideTheProgram& operator=(const PreferDllsBesideTheProgram&) = delete;

  private:
    static constexpr wchar_t kKey[] = L"Software\\Wine\\AppDefaults\\brisvane.exe\\DllOverrides";
    std::vector<std::wstring> dlls_;
    UniqueKey key_;
};

TEST_F(ProgramTest, LoadsNoDllFromItsOwnFolder) {
    // A copy of the program in a folder that also holds DLLs named after the two that it loads
    // itself, as a Downloads folder may: WinHTTP for the lookup, mpr.dll for the mapping, which
    // is handed the password.
    const std::vector<std::wstring> planted = {L"winhttp", L"mpr"};
    const std::wstring folder = testing::TempFolder(L"brisvane-e2e-downloads") + L"\\";
    const std::wstring program = folder + L"brisvane.exe";
    ASSERT_TRUE(CopyFileW((ProgramFolder() + L"brisvane.exe").c_str(), program.c_str(), FALSE));
    for (const std::wstring& dll : planted) {
        ASSERT_TRUE(CopyFileW((ProgramFolder() + L"planted\\planted.dll").c_str(),
                              (folder + dll + L".dll").c_str(), FALSE));
        DeleteFileW((folder + dll + L".dll.loaded").c_str());
    }
    const PreferDllsBesideTheProgram preferPlanted(planted);

    ServeTheDemoPage();
    StartTheProgram(program);
    SignIn(L"alice", L"secret");
    program_->Click(btnOK);
    EXPECT_EQ(ExpectMountedAndEnded(L"alice", L"\\\\files1\\alice"), 0u);
    for (const std::wstring& dll : planted) {
        // Left by the planted DLL in every process that loads it.
        EXPECT_EQ(GetFileAttributesW((folder + dll + L".dll.loaded").c_str()),
                  INVALID_FILE_ATTRIBUTES)
            << "the planted " << dll << ".dll was loaded";
    }
    EXPECT_EQ(LookupRequests().size(), 1u);
    EXPECT_EQ(ProviderCalls().size(), 1u);
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
    EXPECT_EQ(program.Text(txtDomain), L"CAMPUS");
    EXPECT_EQ(program.Text(txtWebSite), kStandInUrl);
    EXPECT_EQ(program.Text(txtInfo), L"");

    program.Click(chkAdvanced);
    ASSERT_TRUE(WaitUntil([&] { return !program.Visible(frameHidden); }));
    EXPECT_NEAR(program.OuterHeight(), collapsed, 1);
}

}  // namespace
}  // namespace e2e
}  // namespace brisvane
