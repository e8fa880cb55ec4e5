// One lookup asked of the directory as the service would ask it, step by step and timed, for
// IT to try a configuration (brisvane-lookupd --try USERNAME).
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "lookupd/config.h"
#include "lookupd/member_source.h"

namespace brisvane::lookupd {

struct TriedStep {
    std::string name;    // "connect", "TLS", "bind", "search"
    std::string detail;  // the URL, the bind DN, the filter
    std::chrono::steady_clock::duration took{};
};

struct TriedLookup {
    std::vector<TriedStep> steps;  // those taken, in order
    // The directory's answer; kUnavailable when it could not be used (`answer.detail` says at
    // which step, in the directory's own words).
    MemberAnswer answer;
};

// Connects (the URLs in turn), starts TLS, binds and searches for `username` within the
// configured time-out, as one lookup of the service would.
TriedLookup TryDirectory(const DirectoryConfig& config, const std::string& bindPassword,
                         std::string_view username);

}  // namespace brisvane::lookupd
