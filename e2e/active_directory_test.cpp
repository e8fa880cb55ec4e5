// The whole chain on real parts: the demo's brisvane.exe under Wine asks the real lookup service
// over HTTPS, which finds the member in the test Active Directory domain over ldaps, and maps the
// share through mpr.dll and the test network provider in its SMB mode, which asks the domain's
// Samba file server. Run through ctest, whose fixtures (e2e/active_directory.cmake) start the
// domain, the SMB bridge and the service: BRISVANE_SMB_BRIDGE names the bridge,
// BRISVANE_AD_SHARES the folder of the shares' files, BRISVANE_LOOKUPD_LOG the service's log.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "e2e/program_fixture.h"
#include "e2e/real_parts.h"
#include "mount/organisation.h"

namespace brisvane::e2e {
namespace {

using standins::ProviderCall;

std::string ServiceLog() {
    std::ifstream log(RequiredEnvironment(L"BRISVANE_LOOKUPD_LOG").c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>()};
}

class ActiveDirectoryTest : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        ProviderAsksTheFileServer(RequiredEnvironment(L"BRISVANE_SMB_BRIDGE"));
    }
    void TearDown() override {
        program_.reset();
        test_support::CancelConnection(L"M:");  // the bridge unmounts the share too
        ProgramTest::TearDown();
    }

    void StartAndSignIn(const std::wstring& username, const std::wstring& password) {
        StartTheProgram(ProgramFolder() + L"brisvane.exe");
        program_->SignIn(username, password);
    }
};

// The member's homeDirectory names a hidden share ($): the drive shows its files over SMB.
TEST_F(ActiveDirectoryTest, MapsTheMembersHiddenShare) {
    StartAndSignIn(L"alice", L"Wonderland-1");
    program_->Click(ControlId::btnOK);
    EXPECT_EQ(ExpectMountedAndEnded(*program_, L"alice", L"\\\\files1\\alice$"), 0u);

    const std::vector<ProviderCall> calls = ProviderCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].userName, L"CAMPUS\\alice");
    ExpectServedOverSmb(L"M:\\Welcome.txt", SharedFile(L"alice\\Welcome.txt"));
}

// The file server's refusals, each in the box of its code: a wrong password, a password that
// must be changed first (a code without an explanation of its own: the summary), and a
// homeDirectory that names another member's share.
TEST_F(ActiveDirectoryTest, ShowsTheFileServersRefusals) {
    struct Case {
        std::wstring username;
        std::wstring password;
        std::wstring share;
        Text box;
    };
    const Text carol = Join({ThisOrganisation().logonDomain, u"\\carol"});
    const Case cases[] = {
        {L"alice", L"Wonderland-2", L"\\\\files1\\alice$",
         texts::MountError(u"1326", texts::kLogonFailure)},
        {L"carol", L"Change-me-1", L"\\\\files1\\carol",
         texts::MountErrorSummary(u"1907", u"M:", carol, u"\\\\files1\\carol")},
        {L"eve", L"Eavesdrop-1", L"\\\\files1\\alice$",
         texts::MountError(u"5", texts::kAccessDenied)},
    };
    StartTheProgram(ProgramFolder() + L"brisvane.exe");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.username);
        program_->SignIn(c.username, c.password);
        const Outcome outcome = PressOk();
        EXPECT_EQ(outcome.box.text, ToWide(c.box));
        EXPECT_EQ(outcome.box.icon, test_support::BoxIcon::kExclamation);
        ExpectLog(outcome.log,
                  Followed(UpToTheMapping(L"M:", c.username, c.share), {ToWide(c.box)}));
        EXPECT_EQ(GetDriveTypeW(L"M:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
    }
    EXPECT_EQ(ProviderCalls().size(), std::size(cases));
}

// The service's filter leaves disabled accounts out: the member gets the page without a share,
// and nothing is asked of the file server.
TEST_F(ActiveDirectoryTest, GivesADisabledMemberNoShare) {
    StartAndSignIn(L"dora", L"Disabled-1");
    const Outcome outcome = PressOk();

    const Text box = texts::NoLocator(ThisOrganisation().accountName);
    EXPECT_EQ(outcome.box.text, ToWide(box));
    ExpectLog(outcome.log, Followed(UpToTheLookup(L"M:", L"dora"),
                                    {ToWide(texts::kDone), ToWide(texts::kExtractingServer),
                                     ToWide(texts::kNoServer)}));
    EXPECT_TRUE(ProviderCalls().empty());
    // The service found no such member (the log's line for dora).
    const std::string log = ServiceLog();
    const std::size_t line = log.rfind('\n', log.find("user=\"dora\""));
    EXPECT_EQ(log.compare(line + 1, 34, "lookup status=200 outcome=unknown "), 0) << log;
}

}  // namespace
}  // namespace brisvane::e2e
