#include "mount/file_server_guard.h"

#include <algorithm>

#include "mount/member_texts.h"
#include "mount/shown_text.h"
#include "mount/workflow_error.h"

namespace brisvane {

namespace {

constexpr std::size_t kUncPrefixLength = 2;  // the leading "\\"
constexpr std::size_t kMaxServerNameLength = 253;

constexpr bool IsControlCharacter(char16_t c) {
    return c <= u'\x1F' || c == u'\x7F';
}

constexpr bool IsServerNameCharacter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'-' || c == u'_';
}

// Windows' own reading of a path whose server part is "?" or ".": the Win32 device namespace
// (\\?\C:\..., \\?\UNC\..., \\.\pipe\...), not a server.
bool IsDevicePath(TextView server) {
    return server == u"?" || server == u".";
}

// A step of dots and spaces alone, with at least one dot. Windows drops a step's trailing dots
// and spaces, so ".. " is read as ".." and climbs; no such step names a folder of a share.
bool IsDotStep(TextView step) {
    return step.find(u'.') != TextView::npos && step.find_first_not_of(u". ") == TextView::npos;
}

bool HoldsDotStep(TextView sharePath) {
    TextView rest = sharePath.substr(std::min(kUncPrefixLength, sharePath.size()));
    for (;;) {
        const std::size_t end = rest.find(u'\\');
        if (IsDotStep(rest.substr(0, end))) {
            return true;
        }
        if (end == TextView::npos) {
            return false;
        }
        rest.remove_prefix(end + 1);
    }
}

// Page-derived text as a description shows it: made safe by ShownText, then quoted.
Text Quoted(TextView text) {
    return u"\"" + ShownText(text) + u"\"";
}

}  // namespace

TextView ServerOfShare(TextView sharePath) {
    const TextView rest = sharePath.substr(std::min(kUncPrefixLength, sharePath.size()));
    return rest.substr(0, rest.find(u'\\'));
}

bool IsPlainServerName(TextView server) {
    if (server.empty() || server.size() > kMaxServerNameLength) {
        return false;
    }
    bool labelStarted = false;
    for (const char16_t c : server) {
        if (c == u'.') {
            if (!labelStarted) {
                return false;  // a leading dot or two dots in a row
            }
            labelStarted = false;
        } else if (IsServerNameCharacter(c)) {
            labelStarted = true;
        } else {
            return false;
        }
    }
    return labelStarted;  // false after a trailing dot
}

bool IsFileServer(TextView server, std::span<const TextView> fileServers) {
    return std::ranges::any_of(fileServers, [server](TextView entry) {
        if (entry.starts_with(u'.')) {
            return server.size() > entry.size() &&
                   EqualIgnoringAsciiCase(server.substr(server.size() - entry.size()), entry);
        }
        return EqualIgnoringAsciiCase(server, entry);
    });
}

ShareRefusal CheckSharePath(TextView sharePath, std::span<const TextView> fileServers) {
    const TextView server = ServerOfShare(sharePath);
    if (std::ranges::any_of(sharePath, IsControlCharacter)) {
        return ShareRefusal::kControlCharacter;
    }
    if (IsDevicePath(server)) {
        return ShareRefusal::kDevicePath;
    }
    if (server.find(u'@') != TextView::npos) {
        return ShareRefusal::kWebServer;
    }
    if (HoldsDotStep(sharePath)) {
        return ShareRefusal::kDotStep;
    }
    if (!fileServers.empty() &&
        (!IsPlainServerName(server) || !IsFileServer(server, fileServers))) {
        return ShareRefusal::kNotAFileServer;
    }
    return ShareRefusal::kNone;
}

void GuardSharePath(TextView sharePath, std::span<const TextView> fileServers) {
    const TextView server = ServerOfShare(sharePath);
    switch (CheckSharePath(sharePath, fileServers)) {
        case ShareRefusal::kNone:
            return;
        case ShareRefusal::kControlCharacter:
            throw WorkflowError(kShareRefused, Text(texts::kShareWithControlCharacter));
        case ShareRefusal::kDevicePath:
            throw WorkflowError(kShareRefused, texts::ShareIsDevicePath(Quoted(sharePath)));
        case ShareRefusal::kWebServer:
            throw WorkflowError(kShareRefused, texts::ShareOnWebServer(Quoted(server)));
        case ShareRefusal::kDotStep:
            throw WorkflowError(kShareRefused, texts::ShareWithDotStep(Quoted(sharePath)));
        case ShareRefusal::kNotAFileServer:
            throw WorkflowError(kShareRefused, texts::ShareOutsideFileServers(Quoted(server)));
    }
}

}  // namespace brisvane
