#include "mount/mount_workflow.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "mount/share_locator.h"
#include "mount/workflow_error.h"
#include "testing/expected_log.h"
#include "testing/fakes.h"

namespace brisvane::test_support {
namespace {

Text Joined(Text a, TextView b) {
    return a + Text(b);
}

const Text kOpening = LogOf({u"---14:03:27---", u"Starting Up!"});
const Text kUpToLookup = Joined(kOpening, LogOf({u" Driveletter M: is free.", u" Usename: user1",
                                                 u" Password: <Pass>", u"Getting Web page:"}));
const Text kUpToShare =
    Joined(kUpToLookup, LogOf({u" Done.", u"Extracting Server:", u" Share: \\\\srv1\\user1"}));
const Text kUpToMapping =
    Joined(kUpToShare, LogOf({u"Mounting Share:", u" Location: '\\\\srv1\\user1'",
                              u" UserName: 'CAMPUS\\user1'", u" DriveLtr: 'M:'"}));

constexpr TextView kOnePage =
    u"<html><body><table>\r\n<tr><td>user1</td><td>smb://srv1/user1</td></tr>\r\n</table>";

void ExpectBox(const ShownBox& box, TextView prompt, BoxStyle style, TextView title,
               TextView logWhenShown) {
    EXPECT_EQ(box.prompt, prompt);
    EXPECT_EQ(box.style, style);
    EXPECT_EQ(box.title, title);
    EXPECT_EQ(box.logWhenShown, logWhenShown);
}

class MountWorkflowTest : public ::testing::Test {
  protected:
    MountWorkflowTest() { world.lookup.page = Text(kOnePage); }
    FakeWorld world;
};

TEST_F(MountWorkflowTest, MountsTheShareReportsSuccessAndClosesTheApp) {
    world.PressOK();

    const Text success = u"Drive M: has been succesfully mounted for user user1\r\n";
    EXPECT_EQ(world.form.log.text, Joined(kUpToMapping, LogOf({success})));
    ASSERT_EQ(world.boxes.shown.size(), 1u);
    ExpectBox(world.boxes.shown[0], success, BoxStyle::kInformation, u"Brisvane", kUpToMapping);
    EXPECT_EQ(world.form.closed, 1);

    ASSERT_EQ(world.mapping.calls.size(), 1u);
    const MappingCall& call = world.mapping.calls[0];
    EXPECT_EQ(call.remoteName, u"\\\\srv1\\user1");
    EXPECT_EQ(call.localName, u"M:");
    EXPECT_EQ(call.password, u"secret");
    EXPECT_EQ(call.userName, u"CAMPUS\\user1");

    ASSERT_EQ(world.lookup.bodies.size(), 1u);
    EXPECT_EQ(world.lookup.bodies[0], "user=user1");
    EXPECT_EQ(world.lookup.addresses[0], u"http://lookup.test/cs/servers/serversearch.asp");
    // The request object is released right after the share has been logged.
    ASSERT_EQ(world.lookup.logWhenReleased.size(), 1u);
    EXPECT_EQ(world.lookup.logWhenReleased[0], kUpToShare);
    EXPECT_EQ(world.lookup.live, 0);
}

TEST_F(MountWorkflowTest, RefusesMissingCredentialsBeforeProbingOrLookingUp) {
    struct Case {
        Text username;
        Text password;
    };
    const Case cases[] = {
        {u"", u"secret"},           {u"user1", u""},          {u"   ", u"secret"},
        {u"user1", u"    "},        {u"CAMPUS\\", u"secret"}, {u"campus/", u"secret"},
        {u"@campus.example", u"x"}, {u" CAMPUS/ ", u"x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.username.begin(), c.username.end()));
        FakeWorld fresh;
        fresh.form.username = c.username;
        fresh.form.password = c.password;
        fresh.PressOK();
        EXPECT_EQ(fresh.form.log.text, kOpening);
        ASSERT_EQ(fresh.boxes.shown.size(), 1u);
        ExpectBox(fresh.boxes.shown[0], u"Both Username and Password need to be filled",
                  BoxStyle::kExclamation, u"Brisvane", kOpening);
        EXPECT_TRUE(fresh.probe.asked.empty());
        EXPECT_EQ(fresh.lookup.created, 0);
        EXPECT_TRUE(fresh.mapping.calls.empty());
    }
}

TEST_F(MountWorkflowTest, RefusesADriveLetterInUseWithAGenericErrorBox) {
    world.form.driveLetter = u"  K:  ";
    world.probe.drivesInUse = {u"K:"};
    world.PressOK();

    EXPECT_EQ(world.probe.asked, std::vector<Text>{u"K:"});
    EXPECT_EQ(world.form.log.text, Joined(kOpening, LogOf({u" Driveletter K: is NOT free."})));
    ASSERT_EQ(world.boxes.shown.size(), 1u);
    ExpectBox(
        world.boxes.shown[0],
        u"There already is a K: drive on this system.\r\nPlease unmount it before proceeding.",
        BoxStyle::kExclamation, u"Generic Error", kOpening);
    EXPECT_EQ(world.lookup.created, 0);
}

TEST_F(MountWorkflowTest, ReportsAPageWithSeveralLocators) {
    world.lookup.page = u"<td>smb://srv1/user1</td>\n<td>smb://srv1/user1</td>\n";
    world.PressOK();

    const Text beforeBox = Joined(kUpToLookup, LogOf({u" Done.", u"Extracting Server:"}));
    EXPECT_EQ(world.form.log.text, Joined(beforeBox, LogOf({u" Server: More than one found."})));
    ASSERT_EQ(world.boxes.shown.size(), 1u);
    ExpectBox(world.boxes.shown[0],
              u"The wepage containing the M: drive info has changed,\r\n"
              u"Please contact Tamsk to update this program.\r\n",
              BoxStyle::kExclamation, u"Brisvane", beforeBox);
    EXPECT_EQ(world.lookup.logWhenReleased, std::vector<Text>{world.form.log.text});
    EXPECT_TRUE(world.mapping.calls.empty());
    EXPECT_EQ(world.form.closed, 0);
}

TEST_F(MountWorkflowTest, ReportsAPageWithoutALocator) {
    for (const TextView page :
         {TextView(u"<html>404 Not Found</html>"), TextView(u""), TextView(u"smb://a\r\n")}) {
        FakeWorld fresh;
        fresh.lookup.page = Text(page);
        fresh.PressOK();

        const Text beforeBox = Joined(kUpToLookup, LogOf({u" Done.", u"Extracting Server:"}));
        EXPECT_EQ(fresh.form.log.text, Joined(beforeBox, LogOf({u" Server: not found."})));
        ASSERT_EQ(fresh.boxes.shown.size(), 1u);
        ExpectBox(fresh.boxes.shown[0],
                  u"There was a problem retrieving your share information from the Network\r\n"
                  u"Please ensure that:\r\n"
                  u" a. You typed your Username Correctly\r\n"
                  u" b. The share you are trying to use belongs to a valid\r\n"
                  u"    and active Varnholt account.",
                  BoxStyle::kExclamation, u"Brisvane", beforeBox);
        EXPECT_EQ(fresh.lookup.logWhenReleased, std::vector<Text>{fresh.form.log.text});
        EXPECT_TRUE(fresh.mapping.calls.empty());
    }
}

TEST_F(MountWorkflowTest, HandsARefusedMappingToTheFailureReport) {
    world.mapping.result = 1326;
    world.PressOK();

    const Text message =
        u"Unable to mount drive. (1326)\r\n\r\n"
        u"The Username/ Password combination you provided is invalid.\r\nPlease try again.";
    EXPECT_EQ(world.form.log.text, Joined(kUpToMapping, LogOf({message})));
    ASSERT_EQ(world.boxes.shown.size(), 1u);
    ExpectBox(world.boxes.shown[0], message, BoxStyle::kExclamation, u"Brisvane", kUpToMapping);
    EXPECT_EQ(world.form.closed, 0);
    EXPECT_EQ(world.form.username, u"user1");  // inputs stay for another attempt
}

TEST_F(MountWorkflowTest, GivesNetworkAdviceWhenTheLookupServerCannotBeFound) {
    world.lookup.failure = std::make_exception_ptr(
        WorkflowError(kResourceNotFound, u"The server could not be found."));
    world.PressOK();

    const Text beforeBox = Joined(kUpToLookup, LogOf({u"***"}));
    EXPECT_EQ(
        world.form.log.text,
        Joined(beforeBox, LogOf({u"Handled Error: The server could not be found. -2146697211"})));
    ASSERT_EQ(world.boxes.shown.size(), 1u);
    ExpectBox(world.boxes.shown[0],
              u"The server could not be found.\r\n"
              u"Please ensure that:\r\n"
              u"\r\n"
              u" a. The laptop is connected.\r\n"
              u" b. The network connection is active.\r\n"
              u" c. You are able to access the internet",
              BoxStyle::kExclamation, u"Brisvane", beforeBox);
    // On the handler's paths the request object goes when the run ends.
    EXPECT_EQ(world.lookup.logWhenReleased, std::vector<Text>{world.form.log.text});
    EXPECT_TRUE(world.mapping.calls.empty());
}

// Every other failure from the lookup on ends in the "Unhandled Error" report.
TEST_F(MountWorkflowTest, ReportsEveryOtherFailureAsUnhandled) {
    const Text timeout = u" Unhandled Error: -2147012894\r\n Description: The operation timed out";
    struct Case {
        const char* name;
        std::function<void(FakeWorld&)> arrange;
        Text logBeforeHandler;
        Text report;
    };
    const WorkflowError timedOut(-2147012894, u"The operation timed out");
    const Text success = u"Drive M: has been succesfully mounted for user user1\r\n";
    const Case cases[] = {
        {"request fails",
         [&](FakeWorld& w) { w.lookup.failure = std::make_exception_ptr(timedOut); }, kUpToLookup,
         timeout},
        {"request runs out of memory",
         [](FakeWorld& w) { w.lookup.failure = std::make_exception_ptr(std::bad_alloc()); },
         kUpToLookup, u" Unhandled Error: 7\r\n Description: Out of memory"},
        {"request throws something unexpected",
         [](FakeWorld& w) {
             w.lookup.failure = std::make_exception_ptr(std::runtime_error("bad state"));
         },
         kUpToLookup, u" Unhandled Error: -2147467259\r\n Description: bad state"},
        {"request object cannot be created",
         [&](FakeWorld& w) { w.lookup.creationFailure = timedOut; }, kUpToLookup, timeout},
        {"mapping library missing",
         [](FakeWorld& w) {
             w.mapping.failure = WorkflowError(453, u"Can't find DLL entry point");
         },
         kUpToMapping, u" Unhandled Error: 453\r\n Description: Can't find DLL entry point"},
        {"failure report's box fails",
         [&](FakeWorld& w) {
             w.mapping.result = 5;
             w.boxes.failure = timedOut;
         },
         kUpToMapping, timeout},
        {"CloseApp fails", [&](FakeWorld& w) { w.form.closeFailure = timedOut; },
         Joined(kUpToMapping, LogOf({success})), timeout},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeWorld fresh;
        fresh.lookup.page = Text(kOnePage);
        c.arrange(fresh);
        fresh.PressOK();

        const Text beforeBox = Joined(c.logBeforeHandler, LogOf({u"***"}));
        EXPECT_EQ(fresh.form.log.text, Joined(beforeBox, LogOf({c.report})));
        ASSERT_FALSE(fresh.boxes.shown.empty());
        ExpectBox(fresh.boxes.shown.back(), c.report, BoxStyle::kExclamation, u"Brisvane",
                  beforeBox);
        EXPECT_EQ(fresh.lookup.live, 0);
    }
}

TEST_F(MountWorkflowTest, RefusesAShareOffTheFileServerListThroughTheHandlerBeforeMapping) {
    const std::vector<TextView> fileServers{u"files1", u".campus.example"};
    world.organisation.fileServers = fileServers;
    world.lookup.page = u"<td>smb://attacker.example/user1</td>\r\n";
    world.PressOK();

    const Text report =
        u" Unhandled Error: -2147024891\r\n Description: The lookup page named the file server "
        u"\"attacker.example\", which is not one of the organisation's file servers.";
    const Text beforeBox = Joined(
        kUpToLookup,
        LogOf({u" Done.", u"Extracting Server:", u" Share: \\\\attacker.example\\user1", u"***"}));
    EXPECT_EQ(world.form.log.text, Joined(beforeBox, LogOf({report})));
    ASSERT_EQ(world.boxes.shown.size(), 1u);
    ExpectBox(world.boxes.shown[0], report, BoxStyle::kExclamation, u"Brisvane", beforeBox);
    EXPECT_TRUE(world.mapping.calls.empty());
    EXPECT_EQ(world.form.closed, 0);
    EXPECT_EQ(world.lookup.live, 0);

    // A share on a listed server takes the road it always took.
    FakeWorld listed;
    const std::vector<TextView> listedServers{u"files1", u"SRV1"};
    listed.organisation.fileServers = listedServers;
    listed.lookup.page = Text(kOnePage);
    listed.PressOK();
    EXPECT_EQ(
        listed.form.log.text,
        Joined(kUpToMapping, LogOf({u"Drive M: has been succesfully mounted for user user1\r\n"})));
    EXPECT_EQ(listed.mapping.calls.size(), 1u);
}

// A share that the page made to garble or flood what the member reads reaches the mapping call
// as the page wrote it, and the box and the log show it escaped and cut, whichever way the
// attempt reports it.
TEST_F(MountWorkflowTest, ShowsAHostileShareEscapedAndBoundedButMapsItAsNamed) {
    const Text floodServer(std::size_t{1} << 20, u'a');
    struct Case {
        const char* name;
        Text share;
        std::vector<TextView> fileServers;
        bool mapped;             // false: refused before the mapping call
        TextView shownInTheBox;  // where the box names the share, as it must show it
    };
    const Case cases[] = {
        {"reversed share, failure summary",
         u"srv1/\u202E1resu",
         {u"srv1"},
         true,
         u"  Server: \\\\srv1\\<U+202E>1resu\r\n"},
        {"reversed server, refused by the list",
         u"srv1\u202Emoc.campus.example/user1",
         {u".campus.example"},
         false,
         u"\"srv1<U+202E>moc.campus.example\""},
        {"1 MB server, failure summary",
         floodServer + u"/user1",
         {},
         true,
         u"aaa\u2026\r\n  Error Number: 53\r\n"},
        {"1 MB server, refused by the list",
         floodServer + u"/user1",
         {u".campus.example"},
         false,
         u"aaa\u2026\", which is not one of the organisation's file servers."},
    };
    constexpr TextView kBidiControls =
        u"\u061C\u200E\u200F\u202A\u202B\u202C\u202D\u202E\u2066\u2067\u2068\u2069";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeWorld fresh;
        fresh.organisation.fileServers = c.fileServers;
        fresh.lookup.page = u"<td>smb://" + c.share + u"</td>\r\n";
        fresh.mapping.result = 53;
        fresh.PressOK();

        const Text sharePath = u"\\\\" + ReplaceChars(c.share, u"/", u"\\");
        if (c.mapped) {
            ASSERT_EQ(fresh.mapping.calls.size(), 1u);
            EXPECT_EQ(fresh.mapping.calls[0].remoteName, sharePath);
        } else {
            EXPECT_TRUE(fresh.mapping.calls.empty());
        }
        ASSERT_EQ(fresh.boxes.shown.size(), 1u);
        const Text& prompt = fresh.boxes.shown[0].prompt;
        EXPECT_NE(prompt.find(c.shownInTheBox), Text::npos);
        EXPECT_LT(prompt.size(), 600u);
        EXPECT_EQ(prompt.find_first_of(kBidiControls), Text::npos);
        const Text& log = fresh.form.log.text;
        EXPECT_LT(log.size(), 2000u);
        EXPECT_EQ(log.find_first_of(kBidiControls), Text::npos);
        EXPECT_TRUE(log.ends_with(prompt));
    }
}

// Every input but the password is trimmed: spaces around a password are part of it.
TEST_F(MountWorkflowTest, CleansAndTrimsTheInputsButPassesThePasswordAsTyped) {
    world.form.username = u"  Campus\\user1@Campus.Example ";
    world.form.password = u"  pass word  ";
    world.form.domain = u" CAMPUS ";
    world.form.webSite = u"  http://lookup.test/x  ";
    world.PressOK();

    ASSERT_EQ(world.mapping.calls.size(), 1u);
    EXPECT_EQ(world.mapping.calls[0].password, u"  pass word  ");
    EXPECT_EQ(world.mapping.calls[0].userName, u"CAMPUS\\user1");
    EXPECT_EQ(world.lookup.bodies, std::vector<std::string>{"user=user1"});
    EXPECT_EQ(world.lookup.addresses, std::vector<Text>{u"http://lookup.test/x"});
    ASSERT_EQ(world.boxes.shown.size(), 1u);
    EXPECT_EQ(world.boxes.shown[0].prompt,
              u"Drive M: has been succesfully mounted for user user1\r\n");
}

TEST_F(MountWorkflowTest, SendsAUsernameWithFormCharactersAsOneField) {
    world.form.username = u"a&b=c+d%e f";
    world.PressOK();
    EXPECT_EQ(world.lookup.bodies, std::vector<std::string>{"user=a%26b%3Dc%2Bd%25e+f"});
    EXPECT_NE(world.form.log.text.find(u" Usename: a&b=c+d%e f"), Text::npos);
}

TEST_F(MountWorkflowTest, PassesAnEmptyDriveLetterOnUnchanged) {
    world.form.driveLetter = u"   ";
    world.PressOK();
    EXPECT_NE(world.form.log.text.find(u"\r\n Driveletter  is free.\r\n"), Text::npos);
    ASSERT_EQ(world.mapping.calls.size(), 1u);
    EXPECT_EQ(world.mapping.calls[0].localName, u"");
}

TEST_F(MountWorkflowTest, NeverShowsOrLogsThePassword) {
    const std::function<void(FakeWorld&)> outcomes[] = {
        [](FakeWorld&) {},
        [](FakeWorld& w) { w.mapping.result = 53; },
        [](FakeWorld& w) { w.probe.drivesInUse = {u"M:"}; },
        [](FakeWorld& w) {
            w.lookup.failure = std::make_exception_ptr(WorkflowError(-1, u"failed"));
        },
    };
    for (const auto& arrange : outcomes) {
        FakeWorld fresh;
        fresh.lookup.page = Text(kOnePage);
        fresh.form.password = u"Pa55word";
        arrange(fresh);
        fresh.PressOK();
        EXPECT_EQ(fresh.form.log.text.find(u"Pa55word"), Text::npos);
        for (const ShownBox& box : fresh.boxes.shown) {
            EXPECT_EQ(box.prompt.find(u"Pa55word"), Text::npos);
        }
    }
}

TEST_F(MountWorkflowTest, StartsEveryAttemptFromAnEmptyLog) {
    world.mapping.result = 53;
    world.PressOK();
    world.form.log.SetEmptySelection(5);  // the member clicked into the old log
    world.mapping.result = 0;
    world.PressOK();

    EXPECT_EQ(
        world.form.log.text,
        Joined(kUpToMapping, LogOf({u"Drive M: has been succesfully mounted for user user1\r\n"})));
    EXPECT_EQ(world.lookup.created, 2);
    EXPECT_EQ(world.lookup.live, 0);
}

}  // namespace
}  // namespace brisvane::test_support
