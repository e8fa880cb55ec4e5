// Keeps the member's credentials for the organisation's own file servers. The lookup page alone
// names the share, and the mapping call offers the password to whatever server that share is
// on, so the share path is checked between the two.
#pragma once

#include <cstdint>
#include <span>

#include "mount/text.h"

namespace brisvane {

// The number of the workflow error that refuses a share path: E_ACCESSDENIED.
inline constexpr std::int32_t kShareRefused = -2147024891;

// Why a share path must not receive the credentials, in the order in which they are checked.
enum class ShareRefusal {
    kNone,              // the path may be mapped
    kControlCharacter,  // some code unit of the path is U+0000 to U+001F or U+007F
    kDevicePath,        // the server part is "?" or "." (\\?\..., \\.\...): a local device
    kWebServer,         // the server part holds "@" (host@SSL, host@port: WebDAV over HTTP)
    kDotStep,           // a step of the path, the server included, is made of dots and spaces
                        // alone: ".", "..", ".. ", ". .", "..."
    kNotAFileServer,    // the list is set, and the server is not a plain name or not on it
};

// The server part of a share path: what stands after its first two characters (the leading
// "\\") up to the next backslash.
TextView ServerOfShare(TextView sharePath);

// True when `server` is on `fileServers`, ignoring ASCII letter case: an entry that starts with
// "." matches a longer server name that ends with it (".campus.example" matches
// "files1.campus.example", not "campus.example" nor "evilcampus.example"); any other entry
// matches that exact name.
bool IsFileServer(TextView server, std::span<const TextView> fileServers);

// True when `server` is written in the list's own alphabet: labels of ASCII letters, digits, "-"
// and "_" joined by single dots, with no empty label, no trailing dot and at most 253 characters
// in all (an IPv4 literal such as 192.0.2.10 is one). Only such a name is compared with the list,
// so that no other spelling can reach a listed server, or seem to.
bool IsPlainServerName(TextView server);

// The first reason that refuses `sharePath`; an empty `fileServers` means no list, so that only
// the reasons before kNotAFileServer apply.
ShareRefusal CheckSharePath(TextView sharePath, std::span<const TextView> fileServers);

// Raises WorkflowError with kShareRefused and a description that names the refused server or
// path (as ShownText shows it), unless CheckSharePath lets the path through.
void GuardSharePath(TextView sharePath, std::span<const TextView> fileServers);

}  // namespace brisvane
