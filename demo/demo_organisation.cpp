// brisvane-demo-organisation.exe: the Windows side of the organisation that the demo's
// brisvane.exe signs in to, for as long as it runs. It writes its members' home shares to the
// members file that the organisation's lookup service (brisvane-lookupd, started beside it by
// scripts/lib/demo-session.sh) answers from, and the test network provider plays its file
// servers: registered in the Wine prefix, it accepts each demo member's demo password and shows
// one folder of demo files as every mapped drive.
//   brisvane-demo-organisation.exe <folder shown as the home share> <members file to write>
// Prints "Ready" and the members once both are in place, then a line for every connection
// request, until it is ended.
// On real parts (scripts/run.sh --active-directory) the members are the test Active Directory
// domain's and the file server is its Samba: the provider asks it in its SMB mode, through the
// SMB bridge at 127.0.0.1:PORT, and prints "Ready".
//   brisvane-demo-organisation.exe --smb-bridge 127.0.0.1:PORT
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "mount/organisation.h"
#include "standins/lookup_page.h"
#include "standins/provider_journal.h"
#include "standins/test_provider_settings.h"
#include "testing/test_folders.h"
#include "win32/module_path.h"
#include "win32/text.h"

namespace {

using namespace brisvane;
using namespace std::chrono_literals;

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string Describe(const standins::ProviderCall& call,
                     const standins::TestProviderSettings& settings) {
    const std::wstring user = call.userName.value_or(L"(nobody)");
    const bool accepted =
        standins::AcceptsCredentials(settings, call.userName ? call.userName->c_str() : nullptr,
                                     call.password ? call.password->c_str() : nullptr);
    return "File server: " + Utf8(call.remoteName.value_or(L"")) + " as " +
           Utf8(call.localName.value_or(L"")) + " for " + Utf8(user) +
           (accepted ? ": connected" : ": wrong password, refused (1326)");
}

// The members file of the lookup service: a "username<TAB>\\server\share" line per member, UTF-8.
bool WriteMembersFile(const std::wstring& path, const std::vector<standins::DemoMember>& members) {
    std::ofstream file(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    constexpr std::string_view kScheme = "smb://";
    for (const standins::DemoMember& member : members) {
        for (const std::string& locator : member.locators) {
            std::string share = "\\\\" + locator.substr(kScheme.size());
            std::replace(share.begin(), share.end(), '/', '\\');
            file << member.username << '\t' << share << '\n';
        }
    }
    return static_cast<bool>(file.flush());
}

// The test network provider registered in the prefix with `settings`, beside this program;
// false, with the reason on the error output, when it cannot be.
bool RegisterTheFileServers(const standins::TestProviderSettings& settings) {
    if (const LSTATUS status =
            standins::RegisterTestProvider(ProgramFolder() + L"brisvane-test-provider.dll");
        status != ERROR_SUCCESS) {
        std::fprintf(stderr, "cannot register the network provider: error %ld\n", status);
        return false;
    }
    if (const LSTATUS status = standins::WriteTestProviderSettings(settings);
        status != ERROR_SUCCESS) {
        std::fprintf(stderr, "cannot set up the network provider: error %ld\n", status);
        return false;
    }
    return true;
}

// Sets up the organisation and serves until the program is ended.
int Serve(const std::wstring& homeFolder, const std::wstring& membersFile) {
    const std::vector<standins::DemoMember> members = standins::DemoMembers();
    if (!WriteMembersFile(membersFile, members)) {
        std::fprintf(stderr, "cannot write the members file %ls\n", membersFile.c_str());
        return 1;
    }

    // The file servers: every demo member with their demo password, every drive one folder.
    standins::TestProviderSettings settings;
    settings.journalPath = test_support::TempPath(L"brisvane-demo-connections.txt");
    settings.driveFolder = homeFolder;
    for (const standins::DemoMember& member : members) {
        settings.accounts.emplace_back(
            ToWide(ThisOrganisation().logonDomain) + L"\\" + FromUtf8(member.username),
            FromUtf8(member.password));
    }
    DeleteFileW(settings.journalPath.c_str());
    if (!RegisterTheFileServers(settings)) {
        return 1;
    }

    Say("Ready: brisvane.exe asks " + ToUtf8(ThisOrganisation().lookupPageUrl) +
        ", the home share shows " + Utf8(settings.driveFolder));
    for (const standins::DemoMember& member : members) {
        Say("  member " + member.username + ", password " + member.password);
    }

    std::size_t connections = 0;
    for (;;) {
        std::this_thread::sleep_for(250ms);
        const std::vector<standins::ProviderCall> calls =
            standins::ReadJournal(settings.journalPath);
        for (; connections < calls.size(); ++connections) {
            Say(Describe(calls[connections], settings));
        }
    }
}

// Registers the provider in its SMB mode and stays registered until the program is ended; the
// bridge tells what the file server answers.
int ServeTheFileServer(const std::wstring& smbBridge) {
    standins::TestProviderSettings settings;
    settings.smbBridge = smbBridge;
    if (!RegisterTheFileServers(settings)) {
        return 1;
    }
    Say("Ready: brisvane.exe asks " + ToUtf8(ThisOrganisation().lookupPageUrl) +
        ", the file server answers through the SMB bridge at " + Utf8(smbBridge));
    for (;;) {
        std::this_thread::sleep_for(1h);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr,
                     "usage: brisvane-demo-organisation <folder shown as the home share> "
                     "<members file to write>\n"
                     "       brisvane-demo-organisation --smb-bridge 127.0.0.1:PORT\n");
        return 2;
    }
    try {
        if (std::wstring_view(argv[1]) == L"--smb-bridge") {
            return ServeTheFileServer(argv[2]);
        }
        return Serve(argv[1], argv[2]);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "the demo organisation cannot run: %s\n", failure.what());
        return 1;
    }
}
