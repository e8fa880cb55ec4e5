// The mount request: what OK (or Enter in a credential box) does, from reading the window to
// mapping the member's home share, reporting every step in the log and every outcome in a box.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "mount/activity_log.h"
#include "mount/message_box.h"
#include "mount/organisation.h"
#include "mount/secret_text.h"
#include "mount/text.h"

namespace brisvane {

// The main window as the workflow sees it.
class MountForm {
  public:
    virtual ~MountForm() = default;
    // Current contents of the input controls, read afresh on every call.
    virtual Text DriveLetterText() const = 0;     // cmbDriveLetter
    virtual Text DomainText() const = 0;          // txtDomain
    virtual Text WebSiteText() const = 0;         // txtWebSite
    virtual Text UsernameText() const = 0;        // txtUname
    virtual SecretText PasswordText() const = 0;  // txtPasswd
    // The activity log, txtInfo.
    virtual LogBox& InfoBox() = 0;
    // Empties the credential boxes and closes the window, which ends the program once the
    // current event has been handled.
    virtual void CloseApp() = 0;
};

// The current local time of day, in the member's regional format, with hours, minutes and seconds.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual Text TimeOfDay() = 0;
};

// One share lookup request: the HTTP request object of one attempt. The workflow releases it
// (destroys it) as soon as it has examined the page.
class ShareLookupRequest {
  public:
    virtual ~ShareLookupRequest() = default;
    // Posts `body` (ASCII, form-encoded) to `address` with the form content type, synchronously,
    // and returns the response body as text whatever the status. Raises WorkflowError on any
    // failure, with kResourceNotFound when the server or proxy cannot be found or reached.
    virtual Text Send(TextView address, const std::string& body) = 0;
};

class ShareLookup {
  public:
    virtual ~ShareLookup() = default;
    // Creates the request object of one attempt; raises WorkflowError when it cannot.
    virtual std::unique_ptr<ShareLookupRequest> CreateRequest() = 0;
};

class DriveProbe {
  public:
    virtual ~DriveProbe() = default;
    // True only when `driveLetter` names a drive that exists and is ready; every failure of the
    // probe means false. Never raises.
    virtual bool DriveInUse(TextView driveLetter) noexcept = 0;
};

class DriveMapping {
  public:
    virtual ~DriveMapping() = default;
    // Connects `remoteName` (a UNC path) to `localName` (normally a letter and a colon) with the
    // credentials, not remembered for the next logon and never prompting. Returns the network
    // provider's result: 0 for success, else the system error code. Raises WorkflowError only
    // when the call itself cannot be made.
    virtual std::int32_t AddConnection(TextView remoteName, TextView localName,
                                       const SecretText& password, TextView userName) = 0;
};

// Everything the workflow reaches outside the mount core.
struct MountServices {
    MountForm& form;
    MessageBoxFacility& boxes;
    Clock& clock;
    ShareLookup& lookup;
    DriveProbe& probe;
    DriveMapping& mapping;
    // The organisation the member signs in to: its usernames, texts and file servers.
    const Organisation& organisation;
};

// Runs one mount request to its end. Outcomes are reported to the member, not returned. A
// failure before the lookup request (none is expected there), or one raised while the error
// handler itself shows its box or writes its entry, propagates to the caller.
void btnOK_Click(const MountServices& services);

}  // namespace brisvane
