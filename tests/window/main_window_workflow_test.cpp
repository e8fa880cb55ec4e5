// The mount request run from the window, with the mount core's fakes as the Windows services:
// it reads the window's fields, writes the window's log and shows the system's boxes.
#include <windows.h>

#include <string>

#include "mount/member_texts.h"
#include "window_test_support.h"

namespace brisvane::test_support {
namespace {

using enum ControlId;

constexpr TextView kOnePage = u"<tr><td>user1</td><td>smb://srv1/user1</td></tr>\r\n";

class MainWindowWorkflowTest : public WindowTest {
  protected:
    MainWindowWorkflowTest() { lookup.page = Text(kOnePage); }

    void TypeCredentials() {
        SetText(txtUname, L" CAMPUS\\user1 ");
        SetText(txtPasswd, L" secret ");
    }
};

TEST_F(MainWindowWorkflowTest, OkMountsTheShareReportsItInTheSystemBoxAndEndsTheProgram) {
    Open(Boxes::kSystem);
    TypeCredentials();
    const BoxWatcher watcher;
    Click(btnOK);

    const std::vector<SeenMessageBox> shown = watcher.Boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, Wide(texts::kBoxTitle));
    EXPECT_EQ(shown[0].text, Wide(texts::Mounted(u"M:", u"user1")));
    EXPECT_EQ(shown[0].icon, BoxIcon::kInformation);
    ASSERT_EQ(mapping.calls.size(), 1u);
    EXPECT_EQ(mapping.calls[0].remoteName, u"\\\\srv1\\user1");
    EXPECT_EQ(mapping.calls[0].localName, u"M:");
    EXPECT_EQ(mapping.calls[0].password, u" secret ");  // as typed
    EXPECT_EQ(mapping.calls[0].userName, u"CAMPUS\\user1");
    ASSERT_EQ(lookup.addresses.size(), 1u);
    EXPECT_EQ(lookup.addresses[0], kTestOrganisation.lookupPageUrl);

    EXPECT_EQ(RunUntilEnd(), 0);
    EXPECT_EQ(Main(), nullptr);
}

TEST_F(MainWindowWorkflowTest, MissingCredentialsAreRefusedInASystemBoxOwnedByTheWindow) {
    Open(Boxes::kSystem);
    HWND main = Main();
    const BoxWatcher watcher;
    Click(btnOK);

    const std::vector<SeenMessageBox> shown = watcher.Boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, Wide(texts::kBoxTitle));
    EXPECT_EQ(shown[0].text, Wide(texts::kMissingCredentials));
    EXPECT_EQ(shown[0].icon, BoxIcon::kExclamation);
    EXPECT_EQ(shown[0].owner, main);
    EXPECT_EQ(TextOf(txtInfo), LogOf({TimeEntry(), Wide(texts::kStartingUp)}));
    EXPECT_TRUE(::IsWindowEnabled(main));
}

TEST_F(MainWindowWorkflowTest, ARefusedMappingIsReportedAndLeavesTheWindowAsItWas) {
    Open();
    TypeCredentials();
    mapping.result = 1326;
    Click(btnOK);

    ASSERT_EQ(boxes.shown.size(), 1u);
    const std::wstring log = TextOf(txtInfo);
    const Text& prompt = boxes.shown[0].prompt;
    EXPECT_TRUE(log.ends_with(L"\r\n" + std::wstring(prompt.begin(), prompt.end())));
    EXPECT_EQ(TextOf(txtUname), L" CAMPUS\\user1 ");
    EXPECT_EQ(TextOf(txtPasswd), L" secret ");
    EXPECT_TRUE(::IsWindow(Main()));
}

// A password manager's long password and a long e-mail username, pasted, reach the mapping call
// whole; the mail suffix is still removed. A further character typed is refused.
TEST_F(MainWindowWorkflowTest, CredentialsOfUpTo256CharactersReachTheMappingCallWhole) {
    Open();
    std::wstring password;
    for (int i = 0; i < 256; ++i) {
        password += static_cast<wchar_t>(L'!' + i % 94);
    }
    const std::wstring mailSuffix(kTestOrganisation.mailDomainSuffix.begin(),
                                  kTestOrganisation.mailDomainSuffix.end());
    const std::wstring name(256 - mailSuffix.size(), L'n');
    Paste(txtUname, name + mailSuffix);
    Paste(txtPasswd, password);
    Type(txtUname, L"x");
    Type(txtPasswd, L"x");
    Click(btnOK);

    ASSERT_EQ(mapping.calls.size(), 1u);
    EXPECT_EQ(mapping.calls[0].password, Text(password.begin(), password.end()));
    EXPECT_EQ(mapping.calls[0].userName, u"CAMPUS\\" + Text(name.begin(), name.end()));
}

TEST_F(MainWindowWorkflowTest, TheDriveLetterTypedIntoTheComboIsTheOneProbed) {
    Open();
    TypeCredentials();
    SetText(cmbDriveLetter, L"Q:");
    probe.drivesInUse = {u"Q:"};
    Click(btnOK);

    EXPECT_EQ(probe.asked, std::vector<Text>{u"Q:"});
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, texts::kDriveInUseTitle);
    EXPECT_TRUE(TextOf(txtInfo).ends_with(L"\r\n" + Wide(texts::DriveNotFree(u"Q:"))));
}

TEST_F(MainWindowWorkflowTest, TheLogTakesEntriesAtItsEndBeyondAnEditControlsUsualLimit) {
    Open();
    LogBox& log = window->InfoBox();
    const Text entry(60, u'x');
    // 600 entries of 62 characters: beyond the 32767 an edit control takes by default.
    for (int count = 0; count < 600; ++count) {
        LogLine(log, entry);
    }
    // The member's selection does not move where the next entry goes.
    ::SendMessageW(Find(txtInfo), EM_SETSEL, 0, 5);
    LogLine(log, u"last");
    const std::wstring text = TextOf(txtInfo);
    EXPECT_EQ(text.size(), 600 * 62 + 6u);
    EXPECT_TRUE(text.ends_with(L"x\r\nlast"));
}

// An error that escapes the workflow before its own handler (here from the first box) and so
// leaves the event handler: reported in a system box, the program ends with a failure code.
TEST_F(MainWindowWorkflowTest, AnErrorEscapingAHandlerIsReportedAndEndsTheProgram) {
    for (const bool byEnter : {false, true}) {
        SCOPED_TRACE(byEnter);
        Open();
        HWND main = Main();
        boxes.failure = WorkflowError(-2147024882, u"Not enough memory resources");
        const BoxWatcher watcher;
        if (byEnter) {
            ::SetFocus(Find(txtUname));
            PressKey(VK_RETURN);
        } else {
            Click(btnOK);
        }

        const std::vector<SeenMessageBox> shown = watcher.Boxes();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].title, Wide(texts::kBoxTitle));
        EXPECT_EQ(shown[0].icon, BoxIcon::kError);
        EXPECT_EQ(shown[0].owner, main);
        EXPECT_EQ(shown[0].text, Wide(texts::FatalError(texts::FatalErrorDetail(
                                     u"-2147024882", u"Not enough memory resources"))));
        EXPECT_EQ(RunUntilEnd(), 1);
        EXPECT_EQ(Main(), nullptr);
    }
}

}  // namespace
}  // namespace brisvane::test_support
