#include "testing/provider_fixture.h"

#include <winnetwk.h>

#include "standins/test_provider_settings.h"
#include "testing/test_folders.h"
#include "win32/module_path.h"
#include "win32/system_library.h"

namespace brisvane {

namespace standins {

void PrintTo(const ProviderCall& call, std::ostream* out) {
    *out << FormatJournalEntry(call);
}

}  // namespace standins

namespace test_support {

namespace {

const standins::TestProviderRegistration kDecoy{L"BrisvaneDecoyProvider",
                                                L"Brisvane decoy provider", WNNC_NET_DAV};

}  // namespace

ProviderFixture::ProviderFixture(const std::wstring& journalFolder)
    : journal_(TempFolder(journalFolder) + L"\\journal.txt"),
      decoyJournal_(TempFolder(journalFolder) + L"\\decoy-journal.txt") {}

void ProviderFixture::SetUpTestSuite() {
    const std::wstring dll = ProgramFolder() + L"brisvane-test-provider.dll";
    ASSERT_EQ(standins::RegisterTestProvider(dll, kDecoy), ERROR_SUCCESS);
    ASSERT_EQ(standins::RegisterTestProvider(dll), ERROR_SUCCESS);
}

void ProviderFixture::TearDownTestSuite() {
    standins::UnregisterTestProvider();
    standins::UnregisterTestProvider(kDecoy.name);
}

void ProviderFixture::SetUp() {
    DeleteFileW(journal_.c_str());
    DeleteFileW(decoyJournal_.c_str());
    ASSERT_EQ(standins::WriteTestProviderSettings({0, decoyJournal_, {}, {}, {}}, kDecoy.name),
              ERROR_SUCCESS);
}

void ProviderFixture::TearDown() {
    DeleteFileW(journal_.c_str());
    DeleteFileW(decoyJournal_.c_str());
}

void ProviderFixture::ProviderAnswers(DWORD code, const std::wstring& driveFolder) {
    ASSERT_EQ(standins::WriteTestProviderSettings({code, journal_, driveFolder, {}, {}}),
              ERROR_SUCCESS);
}

void ProviderFixture::ProviderKnows(const std::wstring& userName, const std::wstring& password) {
    ASSERT_EQ(standins::WriteTestProviderSettings({0, journal_, {}, {{userName, password}}, {}}),
              ERROR_SUCCESS);
}

void ProviderFixture::ProviderAsksTheFileServer(const std::wstring& smbBridge) {
    ASSERT_EQ(standins::WriteTestProviderSettings({0, journal_, {}, {}, smbBridge}), ERROR_SUCCESS);
}

std::vector<standins::ProviderCall> ProviderFixture::ProviderCalls() const {
    return standins::ReadJournal(journal_);
}

std::vector<standins::ProviderCall> ProviderFixture::DecoyCalls() const {
    return standins::ReadJournal(decoyJournal_);
}

DWORD CancelConnection(const std::wstring& localName) {
    const SystemLibrary mpr(L"mpr.dll");
    const auto cancel = mpr.Find<decltype(&::WNetCancelConnection2W)>("WNetCancelConnection2W");
    return cancel(localName.c_str(), 0, TRUE);
}

}  // namespace test_support
}  // namespace brisvane
