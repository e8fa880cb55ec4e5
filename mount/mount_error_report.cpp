#include "mount/mount_error_report.h"

namespace brisvane {

namespace {

constexpr std::int32_t kBadProfile = 1206;

// The lines after the head line and its empty line; empty for a code without its own text.
Text BodyFor(std::int32_t code, TextView driveLetter) {
    switch (code) {
        case 1219:  // ERROR_SESSION_CREDENTIAL_CONFLICT
            return u"The credentials supplied conflict with an existing set of credentials\r\n"
                   u"Please ensure that you typed your Username and Password correctly\r\n"
                   u"\r\n"
                   u"If the error persists, please try logging off and on again.";
        case 5:  // ERROR_ACCESS_DENIED
            return u"Access to the network resource was denied.";
        case 85:  // ERROR_ALREADY_ASSIGNED
            return Text(u"There already is a ") + Text(driveLetter) +
                   u" on this system.\r\nPlease unmount it and retry.";
        case 66:
            return u"ERROR_BAD_DEV_TYPE";
        case 67:
            return u"ERROR_BAD_NET_NAME";
        case kBadProfile:
            return u"ERROR_BAD_PROFILE";
        case 1204:
            return u"ERROR_BAD_PROVIDER";
        case 170:  // ERROR_BUSY
            return u"The router or provider is busy, possibly initializing.\r\n"
                   u"Please try again later.";
        case 1205:
            return u"ERROR_CANNOT_OPEN_PROFILE";
        case 1202:
            return u"ERROR_DEVICE_ALREADY_REMEMBERED";
        case 1208:
            return u"ERROR_EXTENDED_ERROR";
        case 1326:  // ERROR_LOGON_FAILURE
        case 86:    // ERROR_INVALID_PASSWORD
            return u"The Username/ Password combination you provided is invalid.\r\n"
                   u"Please try again.";
        case 1203:  // ERROR_NO_NET_OR_BAD_PATH
            return u"No network available or the path to the share is invalid.\r\n"
                   u"Please try again later.";
        case 1222:  // ERROR_NO_NETWORK
            return u"No network available.\r\n"
                   u"Please ensure that:\r\n"
                   u" a. The laptop is connected.\r\n"
                   u" b. The network connection is active.\r\n"
                   u" c. You are able to access the internet";
        default:
            return {};
    }
}

}  // namespace

Text MountErrorMessage(std::int32_t code, TextView driveLetter, TextView sharePath,
                       TextView userName) {
    const Text body = BodyFor(code, driveLetter);
    if (!body.empty()) {
        return u"Unable to mount drive. (" + Decimal(code) + u")\r\n\r\n" + body;
    }
    Text message = u"Unable to mount drive.\r\n\r\nInformation used:\r\n";
    message += u"  Drive Letter: " + Text(driveLetter) + u"\r\n";
    message += u"  Username: " + Text(userName) + u"\r\n";
    message += u"  Server: " + Text(sharePath) + u"\r\n";
    message += u"  Error Number: " + Decimal(code) + u"\r\n";
    return message;
}

BoxStyle MountErrorStyle(std::int32_t code) {
    return code == kBadProfile ? BoxStyle::kPlain : BoxStyle::kExclamation;
}

void ReportMountError(std::int32_t code, TextView driveLetter, TextView sharePath,
                      TextView userName, MessageBoxFacility& boxes, LogBox& log) {
    const Text message = MountErrorMessage(code, driveLetter, sharePath, userName);
    boxes.MsgBox(message, MountErrorStyle(code), kBoxTitle);
    LogLine(log, message);
}

}  // namespace brisvane
