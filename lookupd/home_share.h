// From a member's home-share value (a UNC path, as the directory or the members file holds it)
// to the smb locator that the client reads, under the same rules as the client's.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mount/text.h"

namespace brisvane::lookupd {

// The organisation's file servers, with the client's semantics (see IsFileServer in
// mount/file_server_guard.h): exact names and ".suffix" entries. Empty: any server.
class FileServerList {
  public:
    FileServerList() = default;
    explicit FileServerList(const std::vector<std::string>& entries);

    std::span<const TextView> Entries() const { return views_; }

  private:
    std::vector<Text> names_;
    std::vector<TextView> views_;
};

// Why a value yields no locator.
enum class ShareValueRefusal {
    kNone,
    kNotUnc,          // not "\\server\share...", or not UTF-8
    kCannotCarry,     // holds "<", a line break or another control character
    kDevicePath,      // a device path of the client's own computer (\\?\..., \\.\...)
    kWebServer,       // the server part holds "@"
    kDotStep,         // a step of the path is made of dots and spaces alone (".", "..", ".. ")
    kNotAFileServer,  // the server is not on the file-server list
};

struct ShareLocator {
    std::optional<std::string> locator;  // "smb://server/share/path", when the value may be served
    ShareValueRefusal refusal = ShareValueRefusal::kNone;
    std::string server;  // the server part of the value, for a warning
};

// The locator for `uncPath` ("\\server\share\path" gives "smb://server/share/path"), or the
// reason why there is none. The path the client will map from that locator is checked as the
// client checks it, so a value is served only if the client would map it.
ShareLocator LocatorForShare(std::string_view uncPath, const FileServerList& fileServers);

// A short English description of a refusal, for the log.
std::string_view DescribeRefusal(ShareValueRefusal refusal);

}  // namespace brisvane::lookupd
