#include "lookupd/home_share.h"

#include <algorithm>

#include "mount/file_server_guard.h"
#include "mount/utf8.h"

namespace brisvane::lookupd {

namespace {

constexpr std::string_view kUncPrefix = "\\\\";

bool CannotCarry(unsigned char c) {
    return c == '<' || c < 0x20U || c == 0x7FU;
}

// "\\server\share" with a non-empty server and share; a deeper path may follow.
bool IsUncPath(std::string_view value) {
    if (!value.starts_with(kUncPrefix)) {
        return false;
    }
    const std::string_view rest = value.substr(kUncPrefix.size());
    const std::size_t separator = rest.find('\\');
    return separator != 0 && separator != std::string_view::npos && separator + 1 < rest.size() &&
           rest[separator + 1] != '\\';
}

}  // namespace

FileServerList::FileServerList(const std::vector<std::string>& entries) {
    names_.reserve(entries.size());
    for (const std::string& entry : entries) {
        names_.push_back(Utf8ToText(entry).value_or(Text{}));
    }
    views_.assign(names_.begin(), names_.end());
}

ShareLocator LocatorForShare(std::string_view uncPath, const FileServerList& fileServers) {
    ShareLocator result;
    if (std::ranges::any_of(uncPath,
                            [](char c) { return CannotCarry(static_cast<unsigned char>(c)); })) {
        result.refusal = ShareValueRefusal::kCannotCarry;
        return result;
    }
    const std::optional<Text> wide = Utf8ToText(uncPath);
    if (!wide || !IsUncPath(uncPath)) {
        result.refusal = ShareValueRefusal::kNotUnc;
        return result;
    }
    // The client turns every "/" of the locator into "\": check the path it will map.
    Text mapped = *wide;
    std::ranges::replace(mapped, u'/', u'\\');
    result.server = ToUtf8(ServerOfShare(mapped));
    switch (CheckSharePath(mapped, fileServers.Entries())) {
        case ShareRefusal::kNone:
            break;
        case ShareRefusal::kControlCharacter:
            result.refusal = ShareValueRefusal::kCannotCarry;
            return result;
        case ShareRefusal::kDevicePath:
            result.refusal = ShareValueRefusal::kDevicePath;
            return result;
        case ShareRefusal::kWebServer:
            result.refusal = ShareValueRefusal::kWebServer;
            return result;
        case ShareRefusal::kDotStep:
            result.refusal = ShareValueRefusal::kDotStep;
            return result;
        case ShareRefusal::kNotAFileServer:
            result.refusal = ShareValueRefusal::kNotAFileServer;
            return result;
    }
    std::string locator = "smb://";
    for (const char c : uncPath.substr(kUncPrefix.size())) {
        locator.push_back(c == '\\' ? '/' : c);
    }
    result.locator = std::move(locator);
    return result;
}

std::string_view DescribeRefusal(ShareValueRefusal refusal) {
    switch (refusal) {
        case ShareValueRefusal::kNone:
            return "served";
        case ShareValueRefusal::kNotUnc:
            return R"(the value is not a UNC path (\\server\share))";
        case ShareValueRefusal::kCannotCarry:
            return "the value holds \"<\", a line break or a control character";
        case ShareValueRefusal::kDevicePath:
            return "a device path of the client's computer, not a file server";
        case ShareValueRefusal::kWebServer:
            return "the server part holds \"@\" (a web server)";
        case ShareValueRefusal::kDotStep:
            return R"(a step of the path is made of dots and spaces alone (".", "..", ".. "))";
        case ShareValueRefusal::kNotAFileServer:
            return "the server is not on the file-server list";
    }
    return "refused";
}

}  // namespace brisvane::lookupd
