// A GoogleTest fixture for tests that reach the test network provider: the provider registered
// in the test's Wine prefix for the whole suite, from the test program's own folder, and a
// journal that starts every test empty. Ahead of it in the provider order stands a decoy, the
// same DLL registered as a WebDAV provider that would accept any request, with a journal of its
// own: a request that names no provider goes to the decoy first.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "standins/provider_journal.h"

namespace brisvane {

namespace standins {

// For readable failures.
void PrintTo(const ProviderCall& call, std::ostream* out);

}  // namespace standins

namespace test_support {

class ProviderFixture : public ::testing::Test {
  protected:
    // The journals are files in the folder `journalFolder` of the temporary folder.
    explicit ProviderFixture(const std::wstring& journalFolder);

    // Registers the decoy and then brisvane-test-provider.dll from the folder of the test
    // program, and takes both away again after the suite.
    static void SetUpTestSuite();
    static void TearDownTestSuite();

    // Delete the journals before and after each test; the decoy answers 0 to every request.
    void SetUp() override;
    void TearDown() override;

    // What the provider answers to the next connection request; with 0 and a folder, the
    // requested letter becomes a drive showing that folder.
    void ProviderAnswers(DWORD code, const std::wstring& driveFolder = {});
    // The provider answers 0 to this member's password and 1326 to every other.
    void ProviderKnows(const std::wstring& userName, const std::wstring& password);
    // The provider's SMB mode: a real file server answers, through the SMB bridge at
    // "127.0.0.1:PORT", and a connected drive shows the share as the server serves it.
    void ProviderAsksTheFileServer(const std::wstring& smbBridge);
    // The connection requests the provider received since the test started, in order.
    std::vector<standins::ProviderCall> ProviderCalls() const;
    // The connection requests the decoy received since the test started, in order.
    std::vector<standins::ProviderCall> DecoyCalls() const;

  private:
    std::wstring journal_;
    std::wstring decoyJournal_;
};

// WNetCancelConnection2W for a drive, reached like the mapping call reaches mpr.dll: loaded for
// the call (a test program that imported mpr.dll would read the providers before registering).
DWORD CancelConnection(const std::wstring& localName);

}  // namespace test_support
}  // namespace brisvane
