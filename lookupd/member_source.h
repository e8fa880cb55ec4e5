// Where a member's home share comes from: the directory or the members file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace brisvane::lookupd {

struct MemberAnswer {
    enum class Kind {
        kFound,        // `value` holds the member's home-share value as stored
        kUnknown,      // no such member
        kNoHomeShare,  // the member has no home-share value
        kAmbiguous,    // more than one entry, or more than one value
        kUnavailable,  // the source cannot answer now (directory down or too slow)
    };
    Kind kind = Kind::kUnknown;
    std::string value;
    std::string detail;  // for the log: why ambiguous or unavailable
};

struct SourceCounters {
    std::uint64_t reconnects = 0;  // connections made to the directory
    std::uint64_t errors = 0;      // directory operations that failed
};

class MemberSource {
  public:
    virtual ~MemberSource() = default;
    // Called from several threads at once.
    virtual MemberAnswer Find(std::string_view username) = 0;
    // True when the source can answer now (the directory answers a search).
    virtual bool Ready() { return true; }
    virtual SourceCounters Counters() const { return {}; }
};

}  // namespace brisvane::lookupd
