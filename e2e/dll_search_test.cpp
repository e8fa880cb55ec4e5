// brisvane.exe loads the system DLLs it uses itself from System32 alone, never from its own
// folder, where a planted DLL would be handed the lookup or the password.
#include <gtest/gtest.h>
#include <windows.h>

#include <deque>
#include <string>
#include <vector>

#include "e2e/program_fixture.h"
#include "testing/registry_value.h"
#include "testing/test_folders.h"

namespace brisvane::e2e {
namespace {

using enum ControlId;
using DllSearchTest = ProgramTest;

// Tells Wine, until the end of the scope, to prefer DLLs of these names found beside
// brisvane.exe to its own, as Windows does for every DLL that is not a Known DLL: the same as
// WINEDLLOVERRIDES=<dll>=n,b for brisvane.exe alone. (Wine's loader takes WINEDLLOVERRIDES from
// the environment that it was started with on the Unix side, which a Windows process does not
// pass on to the programs it starts; a program's overrides in the registry it reads at run
// time.)
class PreferDllsBesideTheProgram {
  public:
    explicit PreferDllsBesideTheProgram(const std::vector<std::wstring>& dlls) {
        for (const std::wstring& dll : dlls) {
            overrides_.emplace_back(HKEY_CURRENT_USER,
                                    L"Software\\Wine\\AppDefaults\\brisvane.exe\\DllOverrides", dll,
                                    L"native,builtin");
        }
    }

  private:
    std::deque<test_support::ScopedRegistryValue> overrides_;
};

TEST_F(DllSearchTest, LoadsNoDllFromItsOwnFolder) {
    // A copy of the program in a folder that also holds DLLs named after the two that it loads
    // itself, as a Downloads folder may: WinHTTP for the lookup, mpr.dll for the mapping, which
    // is handed the password.
    const std::vector<std::wstring> planted = {L"winhttp", L"mpr"};
    const std::wstring folder = test_support::TempFolder(L"brisvane-e2e-downloads") + L"\\";
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
    program_->SignIn(L"alice", L"secret");
    program_->Click(btnOK);
    EXPECT_EQ(ExpectMountedAndEnded(*program_, L"alice", L"\\\\files1\\alice"), 0u);
    for (const std::wstring& dll : planted) {
        // Left by the planted DLL in every process that loads it.
        EXPECT_EQ(GetFileAttributesW((folder + dll + L".dll.loaded").c_str()),
                  INVALID_FILE_ATTRIBUTES)
            << "the planted " << dll << ".dll was loaded";
    }
    EXPECT_EQ(LookupRequests().size(), 1u);
    EXPECT_EQ(ProviderCalls().size(), 1u);
}

}  // namespace
}  // namespace brisvane::e2e
