// The test network provider's SMB mode against a real file server: the mapping call through the
// real mpr.dll reaches the provider, which asks the Samba of the test Active Directory domain
// through the SMB bridge. Run through ctest, whose fixtures (e2e/active_directory.cmake) start
// the domain and the bridge: BRISVANE_SMB_BRIDGE names the bridge, BRISVANE_AD_SHARES the
// folder in which Samba keeps the shares' files.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <iterator>
#include <string>

#include "e2e/real_parts.h"
#include "mount/secret_text.h"
#include "services/drive_mapping.h"
#include "testing/provider_fixture.h"
#include "win32/text.h"

namespace brisvane::e2e {
namespace {

using test_support::CancelConnection;

class SmbModeTest : public test_support::ProviderFixture {
  protected:
    SmbModeTest() : ProviderFixture(L"brisvane-smb-mode-test") {}

    void SetUp() override {
        ProviderFixture::SetUp();
        ProviderAsksTheFileServer(RequiredEnvironment(L"BRISVANE_SMB_BRIDGE"));
    }
    void TearDown() override {
        CancelConnection(L"M:");
        ProviderFixture::TearDown();
    }

    std::int32_t Map(TextView share, TextView password, TextView userName) {
        return mapping_.AddConnection(share, u"M:", SecretText(password), userName);
    }

    NetworkDriveMapping mapping_;
};

// What WNetAddConnection2 returns on Windows for each answer of the file server, and no drive
// for any of them.
TEST_F(SmbModeTest, ReturnsWhatWindowsReturnsForEachRefusal) {
    struct Case {
        TextView userName;
        TextView password;
        TextView share;
        std::int32_t code;
    };
    const Case cases[] = {
        {u"CAMPUS\\alice", u"wrong", u"\\\\files1\\alice$", ERROR_LOGON_FAILURE},
        {u"CAMPUS\\dora", u"Disabled-1", u"\\\\files1\\dora", ERROR_ACCOUNT_DISABLED},
        {u"CAMPUS\\carol", u"Change-me-1", u"\\\\files1\\carol", ERROR_PASSWORD_MUST_CHANGE},
        {u"CAMPUS\\eve", u"Eavesdrop-1", u"\\\\files1\\alice$", ERROR_ACCESS_DENIED},
        {u"CAMPUS\\alice", u"Wonderland-1", u"\\\\files1\\nosuch", ERROR_BAD_NET_NAME},
        {u"CAMPUS\\alice", u"Wonderland-1", u"\\\\files7\\alice$", ERROR_BAD_NETPATH},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToWide(c.userName) + L" " + ToWide(c.share));
        EXPECT_EQ(Map(c.share, c.password, c.userName), c.code);
        EXPECT_EQ(GetDriveTypeW(L"M:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
    }
    // The journal still records every request, as in the table mode.
    EXPECT_EQ(ProviderCalls().size(), std::size(cases));
}

// A non-ASCII member and share, through the wide mapping call: the drive shows the share's files
// as Samba serves them, not the folder they are kept in; cancelling the connection removes it.
TEST_F(SmbModeTest, ShowsTheShareAsTheFileServerServesIt) {
    ASSERT_EQ(Map(u"\\\\files1\\j\u00FCrgen", u"Bratwurst-1", u"CAMPUS\\j\u00FCrgen"), 0);

    ExpectServedOverSmb(L"M:\\Welcome.txt", SharedFile(L"j\u00FCrgen\\Welcome.txt"));
    EXPECT_EQ(CancelConnection(L"M:"), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(GetDriveTypeW(L"M:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
}

}  // namespace
}  // namespace brisvane::e2e
