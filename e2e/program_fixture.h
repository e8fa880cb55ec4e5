// The fixture of the end-to-end tests of brisvane.exe: the stand-in lookup page that each test
// serves on the stand-in's address, the test network provider registered in the test's Wine
// prefix and told what to answer, and the real brisvane.exe built for the stand-in page and the
// demo's file servers, driven from outside its process the way a member uses it.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "e2e/attempt_log.h"
#include "e2e/standin_settings.h"
#include "mount/member_texts.h"
#include "standins/lookup_page.h"
#include "standins/lookup_page_server.h"
#include "standins/provider_journal.h"
#include "standins/wine_drive.h"
#include "testing/program_driver.h"
#include "testing/provider_fixture.h"
#include "win32/module_path.h"
#include "win32/text.h"

namespace brisvane::e2e {

using standins::LookupPageServer;
using standins::ReceivedRequest;
using test_support::BoxIcon;
using test_support::ProgramDriver;
using test_support::SeenMessageBox;

// The box that ends an attempt, and the log while the box was open and after it was closed.
struct Outcome {
    SeenMessageBox box;
    std::wstring logWhileShown;
    std::wstring log;
};

class ProgramTest : public test_support::ProviderFixture {
  protected:
    ProgramTest() : ProviderFixture(L"brisvane-e2e-test") {}

    void SetUp() override {
        ProviderFixture::SetUp();
        ProviderAnswers(0);
    }

    void TearDown() override {
        program_.reset();  // ends it if it still runs
        for (const wchar_t letter : madeDrives_) {
            standins::RemoveWineDrive(letter);
        }
        ProviderFixture::TearDown();
    }

    // The demo organisation's members on the stand-in page, and two whose pages a real
    // lookup service never serves: "twoshares", whose page lists two shares, and "mallory",
    // whose page names a server outside the demo's file servers, as a spoofed page would.
    void ServeTheDemoPage() {
        std::vector<standins::DemoMember> members = standins::DemoMembers();
        members.push_back(
            {"twoshares", {"smb://files1/twoshares", "smb://files2/twoshares"}, "twice"});
        members.push_back({"mallory", {"smb://attacker.example/mallory"}, "eavesdrop"});
        ServeThePage([members](const ReceivedRequest& request) {
            return standins::AnswerLookup(request, members);
        });
    }
    void ServeThePage(standins::Responder responder) {
        page_.emplace(std::move(responder), kStandInPort);
    }
    std::vector<ReceivedRequest> LookupRequests() const {
        return page_ ? page_->Requests() : std::vector<ReceivedRequest>{};
    }

    // A drive of the prefix, taken away again after the test.
    void MakeDrive(wchar_t letter, const std::wstring& folder) {
        madeDrives_.push_back(letter);
        ASSERT_EQ(standins::DefineWineDrive(letter, folder), ERROR_SUCCESS);
    }

    ProgramDriver& StartTheProgram(const std::wstring& program = ProgramFolder() +
                                                                 L"brisvane.exe") {
        program_.emplace(program);
        return *program_;
    }

    // Reads the box that the attempt just started ends with, and closes it.
    Outcome CloseTheBox() {
        const SeenMessageBox box = program_->NextMessageBox();
        Outcome outcome{box, program_->Text(ControlId::txtInfo), {}};
        program_->Acknowledge(box);
        outcome.log = program_->Text(ControlId::txtInfo);
        return outcome;
    }

    Outcome PressOk() {
        program_->Click(ControlId::btnOK);
        return CloseTheBox();
    }

    std::optional<LookupPageServer> page_;
    std::optional<ProgramDriver> program_;  // ended before the page it may still be asking
    std::vector<wchar_t> madeDrives_;       // taken away after the test
};

}  // namespace brisvane::e2e
