#include "testing/provider_fixture.h"

#include "standins/test_provider_settings.h"
#include "testing/test_folders.h"
#include "win32/module_path.h"

namespace brisvane {

namespace standins {

void PrintTo(const ProviderCall& call, std::ostream* out) {
    *out << FormatJournalEntry(call);
}

}  // namespace standins

namespace testing {

ProviderFixture::ProviderFixture(const std::wstring& journalFolder)
    : journal_(TempFolder(journalFolder) + L"\\journal.txt") {}

void ProviderFixture::SetUpTestSuite() {
    ASSERT_EQ(standins::RegisterTestProvider(ProgramFolder() + L"brisvane-test-provider.dll"),
              ERROR_SUCCESS);
}

void ProviderFixture::TearDownTestSuite() {
    standins::UnregisterTestProvider();
}

void ProviderFixture::SetUp() {
    DeleteFileW(journal_.c_str());
}

void ProviderFixture::TearDown() {
    DeleteFileW(journal_.c_str());
}

void ProviderFixture::ProviderAnswers(DWORD code, const std::wstring& driveFolder) {
    ASSERT_EQ(standins::WriteTestProviderSettings({code, journal_, driveFolder, {}}),
              ERROR_SUCCESS);
}

void ProviderFixture::ProviderKnows(const std::wstring& userName, const std::wstring& password) {
    ASSERT_EQ(standins::WriteTestProviderSettings({0, journal_, {}, {{userName, password}}}),
              ERROR_SUCCESS);
}

std::vector<standins::ProviderCall> ProviderFixture::ProviderCalls() const {
    return standins::ReadJournal(journal_);
}

}  // namespace testing
}  // namespace brisvane
