// In-memory stand-ins for everything the mount core reaches outside itself. Each records what
// it was given, and boxes and request releases also record the log as it stood at that moment,
// so tests can check the order of boxes against log entries.
#pragma once

#include <algorithm>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "mount/mount_workflow.h"
#include "mount/workflow_error.h"
#include "testing/test_organisation.h"

namespace brisvane::test_support {

// A text box with a real selection, like the window's edit control.
class FakeLogBox : public LogBox {
  public:
    Text GetText() const override { return text; }
    void SetEmptySelection(std::size_t position) override {
        selectionStart = selectionEnd = std::min(position, text.size());
    }
    void ReplaceSelection(TextView replacement) override {
        text.replace(selectionStart, selectionEnd - selectionStart, replacement);
        selectionStart = selectionEnd = selectionStart + replacement.size();
    }
    void SetEmpty() override {
        text.clear();
        selectionStart = selectionEnd = 0;
    }

    Text text;
    std::size_t selectionStart = 0;
    std::size_t selectionEnd = 0;
};

struct ShownBox {
    Text prompt;
    BoxStyle style;
    Text title;
    Text logWhenShown;
};

// Records every box shown, with the log as `readLog` reads it at that moment.
class FakeBoxes : public MessageBoxFacility {
  public:
    explicit FakeBoxes(std::function<Text()> readLog) : readLog_(std::move(readLog)) {}
    explicit FakeBoxes(const FakeLogBox& log) : FakeBoxes([&log] { return log.text; }) {}
    void MsgBox(TextView prompt, BoxStyle style, TextView title) override {
        shown.push_back({Text(prompt), style, Text(title), readLog_()});
        if (failure) {
            const WorkflowError error = *failure;
            failure.reset();
            throw error;
        }
    }

    std::vector<ShownBox> shown;
    std::optional<WorkflowError> failure;  // raised once, by the next box, after showing it

  private:
    std::function<Text()> readLog_;
};

class FakeClock : public Clock {
  public:
    Text TimeOfDay() override { return time; }
    Text time = u"14:03:27";
};

// The lookup page's side: answers every request with `page`, or raises `failure`.
class FakeLookup : public ShareLookup {
  public:
    explicit FakeLookup(const FakeLogBox& log) : log_(log) {}

    std::unique_ptr<ShareLookupRequest> CreateRequest() override {
        if (creationFailure) {
            throw *creationFailure;
        }
        ++created;
        return std::make_unique<Request>(*this);
    }

    Text page;
    std::exception_ptr failure;  // raised by Send
    std::optional<WorkflowError> creationFailure;
    int created = 0;
    int live = 0;
    std::vector<Text> addresses;
    std::vector<std::string> bodies;
    std::vector<Text> logWhenReleased;

  private:
    class Request : public ShareLookupRequest {
      public:
        explicit Request(FakeLookup& owner) : owner_(owner) { ++owner_.live; }
        ~Request() override {
            --owner_.live;
            owner_.logWhenReleased.push_back(owner_.log_.text);
        }
        Request(const Request&) = delete;
        Request& operator=(const Request&) = delete;

        Text Send(TextView address, const std::string& body) override {
            owner_.addresses.emplace_back(address);
            owner_.bodies.push_back(body);
            if (owner_.failure) {
                std::rethrow_exception(owner_.failure);
            }
            return owner_.page;
        }

      private:
        FakeLookup& owner_;
    };

    const FakeLogBox& log_;
};

class FakeProbe : public DriveProbe {
  public:
    bool DriveInUse(TextView driveLetter) noexcept override {
        asked.emplace_back(driveLetter);
        return std::find(drivesInUse.begin(), drivesInUse.end(), Text(driveLetter)) !=
               drivesInUse.end();
    }
    std::vector<Text> drivesInUse;
    std::vector<Text> asked;
};

struct MappingCall {
    Text remoteName;
    Text localName;
    Text password;
    Text userName;
};

class FakeMapping : public DriveMapping {
  public:
    std::int32_t AddConnection(TextView remoteName, TextView localName, const SecretText& password,
                               TextView userName) override {
        calls.push_back({Text(remoteName), Text(localName), Text(password.View()), Text(userName)});
        if (failure) {
            throw *failure;
        }
        return result;
    }
    std::int32_t result = 0;
    std::optional<WorkflowError> failure;
    std::vector<MappingCall> calls;
};

class FakeForm : public MountForm {
  public:
    Text DriveLetterText() const override { return driveLetter; }
    Text DomainText() const override { return domain; }
    Text WebSiteText() const override { return webSite; }
    Text UsernameText() const override { return username; }
    SecretText PasswordText() const override { return SecretText(password); }
    LogBox& InfoBox() override { return log; }
    void CloseApp() override {
        ++closed;
        username.clear();
        password.clear();
        if (closeFailure) {
            throw *closeFailure;
        }
    }

    Text driveLetter = u"M:";
    Text domain = Text(kTestOrganisation.logonDomain);
    Text webSite = Text(kTestOrganisation.lookupPageUrl);
    Text username = u"user1";
    Text password = u"secret";
    FakeLogBox log;
    int closed = 0;
    std::optional<WorkflowError> closeFailure;
};

// One window with every service faked, wired together.
struct FakeWorld {
    FakeForm form;
    FakeBoxes boxes{form.log};
    FakeClock clock;
    FakeLookup lookup{form.log};
    FakeProbe probe;
    FakeMapping mapping;
    Organisation organisation = kTestOrganisation;

    MountServices Services() { return {form, boxes, clock, lookup, probe, mapping, organisation}; }
    void PressOK() { btnOK_Click(Services()); }
};

}  // namespace brisvane::test_support
