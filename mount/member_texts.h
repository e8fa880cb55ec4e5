// Every text a member reads: the window's captions, labels and tooltips, the prompts and titles
// of the message boxes, the entries of the activity log, and the descriptions of the errors the
// program raises itself. The organisation's own texts (Organisation) are passed in where they
// apply. A text that holds a value is made by a function here from its fixed pieces, joined with
// nothing between them; CRLF is the line break everywhere.
#pragma once

#include "mount/text.h"

namespace brisvane::texts {

// --- The window ------------------------------------------------------------------------------

inline constexpr TextView kWindowCaption = u"Brisvane Utility";
inline constexpr TextView kAdvancedOptions = u"Advanced Options";  // the frame and the check box
inline constexpr TextView kOK = u"OK";
inline constexpr TextView kCancel = u"Cancel";
inline constexpr TextView kUsernameLabel = u"Username:";
inline constexpr TextView kPasswordLabel = u"Password:";
inline constexpr TextView kDriveLetterLabel = u"Drive Letter:";
inline constexpr TextView kDomainLabel = u"Domain:";
inline constexpr TextView kWebSiteLabel = u"Web Site:";
inline constexpr TextView kUsernameTooltip = u"Please enter your username";
inline constexpr TextView kPasswordTooltip = u"Please enter your password";
// The version label until the load replaces it with VersionCaption.
inline constexpr TextView kVersionPlaceholder = u"ver";
// What assistive technology calls the activity log, which has no label of its own.
inline constexpr TextView kActivityLogName = u"Activity log";

// "v", major, ".", minor, ".", revision, each in plain decimal.
inline Text VersionCaption(int major, int minor, int revision) {
    return Join({u"v", Decimal(major), u".", Decimal(minor), u".", Decimal(revision)});
}

// --- Message boxes ---------------------------------------------------------------------------

// The title of every box but the drive-in-use refusal.
inline constexpr TextView kBoxTitle = u"Brisvane";
inline constexpr TextView kDriveInUseTitle = u"Generic Error";

inline constexpr TextView kMissingCredentials = u"Both Username and Password need to be filled";

inline Text DriveInUse(TextView driveLetter) {
    return Join({u"There already is a ", driveLetter,
                 u" drive on this system.\r\nPlease unmount it before proceeding."});
}

// The lookup page holds more than one locator; the prompt ends with a line break. `contact`: the
// organisation's (Organisation::contact).
inline Text SeveralLocators(TextView contact) {
    return Join({u"The wepage containing the M: drive info has changed,\r\nPlease contact ",
                 contact, u" to update this program.\r\n"});
}

// The lookup page holds no locator. `accountName`: the organisation's (Organisation::accountName).
inline Text NoLocator(TextView accountName) {
    constexpr TextView kLines =
        u"There was a problem retrieving your share information from the Network\r\n"
        u"Please ensure that:\r\n"
        u" a. You typed your Username Correctly\r\n"
        u" b. The share you are trying to use belongs to a valid\r\n"
        u"    and active ";
    return Join({kLines, accountName, u" account."});
}

// The share is mapped; the text ends with a line break and is logged as shown.
inline Text Mounted(TextView driveLetter, TextView username) {
    return Join(
        {u"Drive ", driveLetter, u" has been succesfully mounted for user ", username, u"\r\n"});
}

// The lookup server or its proxy cannot be found: the error's description, then what to check.
inline Text NetworkAdvice(TextView description) {
    constexpr TextView kAdvice =
        u"\r\n"
        u"Please ensure that:\r\n"
        u"\r\n"
        u" a. The laptop is connected.\r\n"
        u" b. The network connection is active.\r\n"
        u" c. You are able to access the internet";
    return Join({description, kAdvice});
}

// Any other error of an attempt; box and log entry alike.
inline Text UnhandledError(TextView number, TextView description) {
    return Join({u" Unhandled Error: ", number, u"\r\n Description: ", description});
}

// --- The activity log ------------------------------------------------------------------------

inline Text TimeEntry(TextView timeOfDay) {
    return Join({u"---", timeOfDay, u"---"});
}
inline constexpr TextView kStartingUp = u"Starting Up!";
inline Text DriveFree(TextView driveLetter) {
    return Join({u" Driveletter ", driveLetter, u" is free."});
}
inline Text DriveNotFree(TextView driveLetter) {
    return Join({u" Driveletter ", driveLetter, u" is NOT free."});
}
inline Text UsernameEntry(TextView username) {
    return Join({u" Usename: ", username});
}
// Stands in for the password, which no entry ever shows.
inline constexpr TextView kPasswordEntry = u" Password: <Pass>";
inline constexpr TextView kGettingWebPage = u"Getting Web page:";
inline constexpr TextView kDone = u" Done.";
inline constexpr TextView kExtractingServer = u"Extracting Server:";
inline Text ShareEntry(TextView sharePath) {
    return Join({u" Share: ", sharePath});
}
inline constexpr TextView kSeveralServers = u" Server: More than one found.";
inline constexpr TextView kNoServer = u" Server: not found.";
inline constexpr TextView kMountingShare = u"Mounting Share:";
inline Text LocationEntry(TextView sharePath) {
    return Join({u" Location: '", sharePath, u"'"});
}
inline Text UserNameEntry(TextView userName) {
    return Join({u" UserName: '", userName, u"'"});
}
inline Text DriveLtrEntry(TextView driveLetter) {
    return Join({u" DriveLtr: '", driveLetter, u"'"});
}
// The error handler's first entry, before its box.
inline constexpr TextView kErrorMark = u"***";
// Logged after the network advice.
inline Text HandledError(TextView description, TextView number) {
    return Join({u"Handled Error: ", description, u" ", number});
}

// --- The mount failure report ----------------------------------------------------------------

// A result code with its own explanation: the head line, an empty line, then `body`.
inline Text MountError(TextView code, TextView body) {
    return Join({u"Unable to mount drive. (", code, u")\r\n\r\n", body});
}

// Any other result code: what the attempt used, each line ending with a line break.
inline Text MountErrorSummary(TextView code, TextView driveLetter, TextView userName,
                              TextView sharePath) {
    return Join({u"Unable to mount drive.\r\n\r\nInformation used:\r\n  Drive Letter: ",
                 driveLetter, u"\r\n  Username: ", userName, u"\r\n  Server: ", sharePath,
                 u"\r\n  Error Number: ", code, u"\r\n"});
}

// The explanations, by the result code they explain.
inline constexpr TextView kCredentialConflict =  // 1219
    u"The credentials supplied conflict with an existing set of credentials\r\n"
    u"Please ensure that you typed your Username and Password correctly\r\n"
    u"\r\n"
    u"If the error persists, please try logging off and on again.";
inline constexpr TextView kAccessDenied = u"Access to the network resource was denied.";  // 5
inline Text AlreadyAssigned(TextView driveLetter) {                                       // 85
    return Join(
        {u"There already is a ", driveLetter, u" on this system.\r\nPlease unmount it and retry."});
}
inline constexpr TextView kBadDevType = u"ERROR_BAD_DEV_TYPE";                      // 66
inline constexpr TextView kBadNetName = u"ERROR_BAD_NET_NAME";                      // 67
inline constexpr TextView kBadProfile = u"ERROR_BAD_PROFILE";                       // 1206
inline constexpr TextView kBadProvider = u"ERROR_BAD_PROVIDER";                     // 1204
inline constexpr TextView kCannotOpenProfile = u"ERROR_CANNOT_OPEN_PROFILE";        // 1205
inline constexpr TextView kAlreadyRemembered = u"ERROR_DEVICE_ALREADY_REMEMBERED";  // 1202
inline constexpr TextView kExtendedError = u"ERROR_EXTENDED_ERROR";                 // 1208
inline constexpr TextView kBusy =                                                   // 170
    u"The router or provider is busy, possibly initializing.\r\n"
    u"Please try again later.";
inline constexpr TextView kLogonFailure =  // 1326 and 86
    u"The Username/ Password combination you provided is invalid.\r\n"
    u"Please try again.";
inline constexpr TextView kNoNetOrBadPath =  // 1203
    u"No network available or the path to the share is invalid.\r\n"
    u"Please try again later.";
inline constexpr TextView kNoNetwork =  // 1222
    u"No network available.\r\n"
    u"Please ensure that:\r\n"
    u" a. The laptop is connected.\r\n"
    u" b. The network connection is active.\r\n"
    u" c. You are able to access the internet";

// --- Errors the program describes itself -----------------------------------------------------

inline constexpr TextView kOutOfMemory = u"Out of memory";
inline constexpr TextView kOverflow = u"Overflow";
inline Text PageTooLarge(TextView bytes) {
    return Join({u"The lookup page sent more than ", bytes, u" bytes."});
}
inline Text RedirectRefused(TextView address) {
    return Join(
        {u"The lookup page redirected to \"", address, u"\", which is not on its own server."});
}
inline Text TooManyRedirects(TextView count) {
    return Join({u"The lookup page redirected more than ", count, u" times."});
}
// The common WinHTTP errors, described by the program where the system has no text for them.
inline constexpr TextView kServerNameNotFound = u"The server's name could not be found.";  // 12007
inline constexpr TextView kServerUnreachable = u"The server could not be reached.";        // 12029
inline constexpr TextView kServerTooSlow = u"The server took too long to answer.";         // 12002
inline constexpr TextView kNoSecureConnection =                                            // 12157
    u"A secure connection to the server could not be made.";
inline constexpr TextView kCertificateRefused =  // 12175, 12045, 12037, 12038 and the like
    u"The server's certificate is not trusted, or is for another server.";
// A Windows error code the system has no message for.
inline Text UnknownError(TextView code) {
    return Join({u"Error ", code});
}
// A Windows call that failed, with the system's message for its error.
inline Text CallFailed(TextView call, TextView description) {
    return Join({call, u" failed: ", description});
}

// Shares the program refuses to map, whatever the lookup page says. `server` and `sharePath`
// come quoted, as ShownText shows them.
inline constexpr TextView kShareWithControlCharacter =
    u"The lookup page named a share path that holds a control character.";
inline Text ShareIsDevicePath(TextView sharePath) {
    return Join({u"The lookup page named the share path ", sharePath,
                 u", which is a device path of this computer, not a share on a file server."});
}
inline Text ShareOnWebServer(TextView server) {
    return Join({u"The lookup page named the server ", server,
                 u", whose \"@\" makes it a web address (WebDAV), not a file server."});
}
inline Text ShareWithDotStep(TextView sharePath) {
    return Join({u"The lookup page named the share path ", sharePath,
                 u", which holds a \".\" or \"..\" step."});
}
inline Text ShareOutsideFileServers(TextView server) {
    return Join({u"The lookup page named the file server ", server,
                 u", which is not one of the organisation's file servers."});
}

// The box before the program ends after an error that no handler caught: the head, then the
// error's number (when it has one) and description.
inline Text FatalError(TextView detail) {
    return Join({u"Brisvane met an error it cannot handle and has to close.\r\n\r\n", detail});
}
inline Text FatalErrorDetail(TextView number, TextView description) {
    return Join({u" Error: ", number, u"\r\n Description: ", description});
}
inline Text FatalErrorDetail(TextView description) {
    return Join({u" Description: ", description});
}
inline constexpr TextView kUnknownKindOfError = u"an error of unknown kind";

}  // namespace brisvane::texts
