#include "mount/mount_error_report.h"

#include "mount/member_texts.h"
#include "mount/shown_text.h"

namespace brisvane {

namespace {

constexpr std::int32_t kBadProfileCode = 1206;

// The lines after the head line and its empty line; empty for a code without its own text.
Text BodyFor(std::int32_t code, TextView driveLetter) {
    switch (code) {
        case 1219:  // ERROR_SESSION_CREDENTIAL_CONFLICT
            return Text(texts::kCredentialConflict);
        case 5:  // ERROR_ACCESS_DENIED
            return Text(texts::kAccessDenied);
        case 85:  // ERROR_ALREADY_ASSIGNED
            return texts::AlreadyAssigned(driveLetter);
        case 66:
            return Text(texts::kBadDevType);
        case 67:
            return Text(texts::kBadNetName);
        case kBadProfileCode:
            return Text(texts::kBadProfile);
        case 1204:
            return Text(texts::kBadProvider);
        case 170:  // ERROR_BUSY
            return Text(texts::kBusy);
        case 1205:
            return Text(texts::kCannotOpenProfile);
        case 1202:
            return Text(texts::kAlreadyRemembered);
        case 1208:
            return Text(texts::kExtendedError);
        case 1326:  // ERROR_LOGON_FAILURE
        case 86:    // ERROR_INVALID_PASSWORD
            return Text(texts::kLogonFailure);
        case 1203:  // ERROR_NO_NET_OR_BAD_PATH
            return Text(texts::kNoNetOrBadPath);
        case 1222:  // ERROR_NO_NETWORK
            return Text(texts::kNoNetwork);
        default:
            return {};
    }
}

}  // namespace

Text MountErrorMessage(std::int32_t code, TextView driveLetter, TextView sharePath,
                       TextView userName) {
    const Text body = BodyFor(code, driveLetter);
    if (!body.empty()) {
        return texts::MountError(Decimal(code), body);
    }
    return texts::MountErrorSummary(Decimal(code), driveLetter, userName, ShownText(sharePath));
}

BoxStyle MountErrorStyle(std::int32_t code) {
    return code == kBadProfileCode ? BoxStyle::kPlain : BoxStyle::kExclamation;
}

void ReportMountError(std::int32_t code, TextView driveLetter, TextView sharePath,
                      TextView userName, MessageBoxFacility& boxes, LogBox& log) {
    const Text message = MountErrorMessage(code, driveLetter, sharePath, userName);
    boxes.MsgBox(message, MountErrorStyle(code), texts::kBoxTitle);
    LogLine(log, message);
}

}  // namespace brisvane
