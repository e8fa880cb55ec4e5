#include "mount/mount_workflow.h"

#include <new>
#include <utility>

#include "mount/file_server_guard.h"
#include "mount/lookup_body.h"
#include "mount/member_texts.h"
#include "mount/mount_error_report.h"
#include "mount/share_locator.h"
#include "mount/shown_text.h"
#include "mount/username.h"
#include "mount/workflow_error.h"

namespace brisvane {

namespace {

// The error numbers of failures that are not workflow errors: 7, with "Out of memory", for an
// allocation that failed, and the generic COM failure for any other unexpected exception; both
// end in the handler's "Unhandled Error" report.
constexpr std::int32_t kOutOfMemory = 7;
constexpr std::int32_t kUnexpectedFailure = -2147467259;  // E_FAIL

// The five inputs of one attempt, read in the window's order: all trimmed but the password,
// which is used exactly as typed (a space can be part of it).
struct MountInputs {
    Text driveLetter;
    Text domain;
    Text lookupAddress;
    Text username;
    SecretText password;
};

MountInputs ReadInputs(const MountForm& form, const Organisation& organisation) {
    MountInputs inputs;
    inputs.driveLetter = Trim(form.DriveLetterText());
    inputs.domain = Trim(form.DomainText());
    inputs.lookupAddress = Trim(form.WebSiteText());
    inputs.username = Trim(form.UsernameText());
    inputs.password = form.PasswordText();
    inputs.username = CleanUsername(inputs.username, organisation);
    return inputs;
}

class MountRequest {
  public:
    MountRequest(const MountServices& services, MountInputs inputs)
        : services_(services), log_(services.form.InfoBox()), inputs_(std::move(inputs)) {}

    void Run() {
        if (services_.probe.DriveInUse(inputs_.driveLetter)) {
            services_.boxes.MsgBox(texts::DriveInUse(inputs_.driveLetter), BoxStyle::kExclamation,
                                   texts::kDriveInUseTitle);
            LogLine(log_, texts::DriveNotFree(inputs_.driveLetter));
            return;
        }
        LogLine(log_, texts::DriveFree(inputs_.driveLetter));
        LogLine(log_, texts::UsernameEntry(inputs_.username));
        LogLine(log_, texts::kPasswordEntry);
        LogLine(log_, texts::kGettingWebPage);

        // From here on every failure goes to the one error handler. The request object lives
        // until the page has been examined, or until the run ends.
        std::unique_ptr<ShareLookupRequest> request;
        try {
            LookUpAndMount(request);
        } catch (const WorkflowError& error) {
            HandleError(error);
        } catch (const std::bad_alloc&) {
            HandleError(WorkflowError(kOutOfMemory, Text(texts::kOutOfMemory)));
        } catch (const std::exception& error) {
            HandleError(WorkflowError(kUnexpectedFailure, WidenAscii(error.what())));
        }
    }

  private:
    void LookUpAndMount(std::unique_ptr<ShareLookupRequest>& request) {
        request = services_.lookup.CreateRequest();
        const Text page = request->Send(inputs_.lookupAddress, LookupRequestBody(inputs_.username));
        LogLine(log_, texts::kDone);
        LogLine(log_, texts::kExtractingServer);

        const ShareSearchResult search = SearchShareLocator(page);
        switch (search.outcome) {
            case ShareSearchResult::Outcome::kOne:
                LogLine(log_, texts::ShareEntry(ShownText(search.sharePath)));
                request.reset();
                // The page alone named this share: nothing goes to its server unless it is
                // one of the organisation's.
                GuardSharePath(search.sharePath, services_.organisation.fileServers);
                Mount(search.sharePath);
                return;
            case ShareSearchResult::Outcome::kSeveral:
                services_.boxes.MsgBox(texts::SeveralLocators(services_.organisation.contact),
                                       BoxStyle::kExclamation, texts::kBoxTitle);
                LogLine(log_, texts::kSeveralServers);
                request.reset();
                return;
            case ShareSearchResult::Outcome::kNone:
                services_.boxes.MsgBox(texts::NoLocator(services_.organisation.accountName),
                                       BoxStyle::kExclamation, texts::kBoxTitle);
                LogLine(log_, texts::kNoServer);
                request.reset();
                return;
        }
    }

    void Mount(const Text& sharePath) {
        const Text userName = Join({inputs_.domain, u"\\", inputs_.username});
        LogLine(log_, texts::kMountingShare);
        LogLine(log_, texts::LocationEntry(ShownText(sharePath)));
        LogLine(log_, texts::UserNameEntry(userName));
        LogLine(log_, texts::DriveLtrEntry(inputs_.driveLetter));

        const std::int32_t result = services_.mapping.AddConnection(sharePath, inputs_.driveLetter,
                                                                    inputs_.password, userName);
        inputs_.password.Wipe();
        if (result != 0) {
            ReportMountError(result, inputs_.driveLetter, sharePath, userName, services_.boxes,
                             log_);
            return;
        }
        const Text success = texts::Mounted(inputs_.driveLetter, inputs_.username);
        services_.boxes.MsgBox(success, BoxStyle::kInformation, texts::kBoxTitle);
        LogLine(log_, success);
        services_.form.CloseApp();
    }

    void HandleError(const WorkflowError& error) {
        LogLine(log_, texts::kErrorMark);
        const Text number = Decimal(error.Number());
        if (error.Number() == kResourceNotFound) {
            services_.boxes.MsgBox(texts::NetworkAdvice(error.Description()),
                                   BoxStyle::kExclamation, texts::kBoxTitle);
            LogLine(log_, texts::HandledError(error.Description(), number));
            return;
        }
        const Text report = texts::UnhandledError(number, error.Description());
        services_.boxes.MsgBox(report, BoxStyle::kExclamation, texts::kBoxTitle);
        LogLine(log_, report);
    }

    const MountServices& services_;
    LogBox& log_;
    MountInputs inputs_;
};

}  // namespace

void btnOK_Click(const MountServices& services) {
    LogBox& log = services.form.InfoBox();
    log.SetEmpty();
    LogLine(log, texts::TimeEntry(services.clock.TimeOfDay()));
    LogLine(log, texts::kStartingUp);

    MountInputs inputs = ReadInputs(services.form, services.organisation);
    // A password of spaces only is as missing as an empty one.
    if (inputs.username.empty() || TrimmedView(inputs.password.View()).empty()) {
        services.boxes.MsgBox(texts::kMissingCredentials, BoxStyle::kExclamation, texts::kBoxTitle);
        return;
    }
    MountRequest(services, std::move(inputs)).Run();
}

}  // namespace brisvane
