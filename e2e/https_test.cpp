// The demo's real brisvane.exe, built for https://localhost, driven from outside its process
// against the real lookup service (brisvane-lookupd) on a real slapd, with the test network
// provider registered in the test's Wine prefix. The service, the directory and the prefix's
// trust in the test certificate authority are set up by ctest fixtures (e2e/https_e2e.cmake),
// which start the service with one certificate for each test: run the tests through ctest, one
// at a time. BRISVANE_LOOKUPD_LOG names the service's log.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "e2e/attempt_log.h"
#include "mount/member_texts.h"
#include "standins/owners.h"
#include "standins/provider_journal.h"
#include "standins/wine_drive.h"
#include "testing/program_driver.h"
#include "testing/provider_fixture.h"
#include "testing/test_folders.h"
#include "win32/module_path.h"
#include "win32/text.h"

namespace brisvane::e2e {
namespace {

using enum ControlId;
using standins::ProviderCall;
using test_support::BoxIcon;
using test_support::ProgramDriver;
using test_support::SeenMessageBox;
using test_support::WaitUntil;

// Everything the service has logged so far (UTF-8).
std::string ServiceLog() {
    const char* path = std::getenv("BRISVANE_LOOKUPD_LOG");
    if (path == nullptr) {
        throw std::runtime_error("BRISVANE_LOOKUPD_LOG is not set: run the test through ctest");
    }
    std::ifstream log(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>()};
}

class HttpsLookupTest : public test_support::ProviderFixture {
  protected:
    HttpsLookupTest() : ProviderFixture(L"brisvane-https-e2e-test") {}

    void TearDown() override {
        program_.reset();  // ends it if it still runs
        standins::RemoveWineDrive(L'M');
        ProviderFixture::TearDown();
    }

    void StartTheProgram(const std::wstring& username, const std::wstring& password) {
        program_.emplace(ProgramFolder() + L"brisvane.exe");
        program_->SignIn(username, password);
    }

    // The service holds a certificate that the prefix must refuse: WinHTTP ends the exchange
    // in the handshake, before the request (and the username in it) is sent.
    void ExpectTheCertificateRefused() {
        ProviderAnswers(0);
        StartTheProgram(L"alice", L"wonderland");
        program_->Click(btnOK);
        const SeenMessageBox box = program_->NextMessageBox();
        program_->Acknowledge(box);

        EXPECT_EQ(box.title, ToWide(texts::kBoxTitle));
        EXPECT_EQ(box.icon, BoxIcon::kExclamation);
        // -2147012739 is ERROR_WINHTTP_SECURE_CHANNEL_ERROR (12157), which Wine reports for an
        // untrusted authority and for another host's certificate alike.
        // Wine's WinHTTP has no message text for 12157, so the program's own description shows.
        EXPECT_EQ(box.text,
                  ToWide(texts::UnhandledError(u"-2147012739", texts::kNoSecureConnection)));
        ExpectLog(program_->Text(txtInfo),
                  Followed(UpToTheLookup(L"M:", L"alice"), {ToWide(texts::kErrorMark), box.text}));

        EXPECT_TRUE(ProviderCalls().empty());
        // The service logs every request it receives with the username; none came.
        EXPECT_EQ(ServiceLog().find("alice"), std::string::npos) << ServiceLog();
    }

    std::optional<ProgramDriver> program_;
};

TEST_F(HttpsLookupTest, MapsTheMembersDriveThroughTheService) {
    const std::wstring homeFolder = test_support::TempFolder(L"brisvane-https-e2e-home");
    const std::wstring welcome = homeFolder + L"\\welcome.txt";
    ASSERT_NE(OwnFileHandle(CreateFileW(welcome.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr)),
              nullptr);
    ProviderAnswers(0, homeFolder);

    // A non-ASCII username: form-encoded by the program, decoded by the service, found by
    // slapd.
    const std::wstring member = L"j\u00FCrgen";
    const std::wstring share = L"\\\\files1\\juergen";
    StartTheProgram(member, L"bratwurst");
    program_->Click(btnOK);
    EXPECT_EQ(ExpectMountedAndEnded(*program_, member, share), 0u);

    const std::vector<ProviderCall> calls = ProviderCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].remoteName, share);
    EXPECT_EQ(calls[0].userName, L"CAMPUS\\" + member);
    EXPECT_EQ(calls[0].password, L"bratwurst");
    EXPECT_NE(GetFileAttributesW(L"M:\\welcome.txt"), INVALID_FILE_ATTRIBUTES);
    // The answer came from the service, which logged the member's request.
    EXPECT_TRUE(WaitUntil([] { return ServiceLog().find("j\xC3\xBCrgen") != std::string::npos; }))
        << ServiceLog();
}

TEST_F(HttpsLookupTest, RefusesACertificateFromAnUntrustedAuthority) {
    ExpectTheCertificateRefused();
}

TEST_F(HttpsLookupTest, RefusesACertificateForAnotherHost) {
    ExpectTheCertificateRefused();
}

}  // namespace
}  // namespace brisvane::e2e
