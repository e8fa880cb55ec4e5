#include "mount/mount_workflow.h"

#include <new>
#include <utility>

#include "mount/file_server_guard.h"
#include "mount/lookup_body.h"
#include "mount/mount_error_report.h"
#include "mount/share_locator.h"
#include "mount/username.h"
#include "mount/workflow_error.h"

namespace brisvane {

namespace {

// VB-compatible number of an out-of-memory failure, and the generic COM failure for any other
// unexpected exception; both end in the handler's "Unhandled Error" report.
constexpr std::int32_t kOutOfMemory = 7;
constexpr std::int32_t kUnexpectedFailure = -2147467259;  // E_FAIL

constexpr TextView kSeveralLocatorsPrompt =
    u"The wepage containing the M: drive info has changed,\r\n"
    u"Please contact Tamsk to update this program.\r\n";

constexpr TextView kNoLocatorPrompt =
    u"There was a problem retrieving your share information from the Network\r\n"
    u"Please ensure that:\r\n"
    u" a. You typed your Username Correctly\r\n"
    u" b. The share you are trying to use belongs to a valid\r\n"
    u"    and active Varnholt account.";

constexpr TextView kNetworkAdvice =
    u"Please ensure that:\r\n"
    u"\r\n"
    u" a. The laptop is connected.\r\n"
    u" b. The network connection is active.\r\n"
    u" c. You are able to access the internet";

// The five inputs of one attempt, read and trimmed in the window's order.
struct MountInputs {
    Text driveLetter;
    Text domain;
    Text lookupAddress;
    Text username;
    SecretText password;
};

MountInputs ReadInputs(const MountForm& form) {
    MountInputs inputs;
    inputs.driveLetter = Trim(form.DriveLetterText());
    inputs.domain = Trim(form.DomainText());
    inputs.lookupAddress = Trim(form.WebSiteText());
    inputs.username = Trim(form.UsernameText());
    inputs.password = Trim(form.PasswordText());
    inputs.username = CleanUsername(inputs.username);
    return inputs;
}

class MountRequest {
  public:
    MountRequest(const MountServices& services, MountInputs inputs)
        : services_(services), log_(services.form.InfoBox()), inputs_(std::move(inputs)) {}

    void Run() {
        if (services_.probe.DriveInUse(inputs_.driveLetter)) {
            services_.boxes.MsgBox(u"There already is a " + inputs_.driveLetter +
                                       u" drive on this system.\r\n"
                                       u"Please unmount it before proceeding.",
                                   BoxStyle::kExclamation, u"Generic Error");
            LogLine(log_, u" Driveletter " + inputs_.driveLetter + u" is NOT free.");
            return;
        }
        LogLine(log_, u" Driveletter " + inputs_.driveLetter + u" is free.");
        LogLine(log_, u" Usename: " + inputs_.username);
        LogLine(log_, u" Password: <Pass>");
        LogLine(log_, u"Getting Web page:");

        // From here on every failure goes to the one error handler. The request object lives
        // until the page has been examined, or until the run ends.
        std::unique_ptr<ShareLookupRequest> request;
        try {
            LookUpAndMount(request);
        } catch (const WorkflowError& error) {
            HandleError(error);
        } catch (const std::bad_alloc&) {
            HandleError(WorkflowError(kOutOfMemory, u"Out of memory"));
        } catch (const std::exception& error) {
            HandleError(WorkflowError(kUnexpectedFailure, WidenAscii(error.what())));
        }
    }

  private:
    void LookUpAndMount(std::unique_ptr<ShareLookupRequest>& request) {
        request = services_.lookup.CreateRequest();
        const Text page = request->Send(inputs_.lookupAddress, LookupRequestBody(inputs_.username));
        LogLine(log_, u" Done.");
        LogLine(log_, u"Extracting Server:");

        const ShareSearchResult search = SearchShareLocator(page);
        switch (search.outcome) {
            case ShareSearchResult::Outcome::kOne:
                LogLine(log_, u" Share: " + search.sharePath);
                request.reset();
                // The page alone named this share: nothing goes to its server unless it is
                // one of the organisation's.
                GuardSharePath(search.sharePath, services_.fileServers);
                Mount(search.sharePath);
                return;
            case ShareSearchResult::Outcome::kSeveral:
                services_.boxes.MsgBox(kSeveralLocatorsPrompt, BoxStyle::kExclamation, kBoxTitle);
                LogLine(log_, u" Server: More than one found.");
                request.reset();
                return;
            case ShareSearchResult::Outcome::kNone:
                services_.boxes.MsgBox(kNoLocatorPrompt, BoxStyle::kExclamation, kBoxTitle);
                LogLine(log_, u" Server: not found.");
                request.reset();
                return;
        }
    }

    void Mount(const Text& sharePath) {
        const Text userName = inputs_.domain + u"\\" + inputs_.username;
        LogLine(log_, u"Mounting Share:");
        LogLine(log_, u" Location: '" + sharePath + u"'");
        LogLine(log_, u" UserName: '" + userName + u"'");
        LogLine(log_, u" DriveLtr: '" + inputs_.driveLetter + u"'");

        const std::int32_t result = services_.mapping.AddConnection(sharePath, inputs_.driveLetter,
                                                                    inputs_.password, userName);
        inputs_.password.Wipe();
        if (result != 0) {
            ReportMountError(result, inputs_.driveLetter, sharePath, userName, services_.boxes,
                             log_);
            return;
        }
        const Text success = u"Drive " + inputs_.driveLetter +
                             u" has been succesfully mounted for user " + inputs_.username +
                             Text(kCrLf);
        services_.boxes.MsgBox(success, BoxStyle::kInformation, kBoxTitle);
        LogLine(log_, success);
        services_.form.CloseApp();
    }

    void HandleError(const WorkflowError& error) {
        LogLine(log_, u"***");
        const Text number = Decimal(error.Number());
        if (error.Number() == kResourceNotFound) {
            services_.boxes.MsgBox(error.Description() + Text(kCrLf) + Text(kNetworkAdvice),
                                   BoxStyle::kExclamation, kBoxTitle);
            LogLine(log_, u"Handled Error: " + error.Description() + u" " + number);
            return;
        }
        const Text report =
            u" Unhandled Error: " + number + u"\r\n Description: " + error.Description();
        services_.boxes.MsgBox(report, BoxStyle::kExclamation, kBoxTitle);
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
    LogLine(log, u"---" + services.clock.TimeOfDay() + u"---");
    LogLine(log, u"Starting Up!");

    MountInputs inputs = ReadInputs(services.form);
    if (inputs.username.empty() || inputs.password.empty()) {
        services.boxes.MsgBox(u"Both Username and Password need to be filled",
                              BoxStyle::kExclamation, kBoxTitle);
        return;
    }
    MountRequest(services, std::move(inputs)).Run();
}

}  // namespace brisvane
