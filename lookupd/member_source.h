// Where a member's home share comes from: the directory or the members file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace brisvane::lookupd {

struct MemberAnswer {
    enum class Kind {
        kFound,        // `value` holds the member's home-share value as stored
        kUnknown,      // no such member
        kNoHomeShare,  // the member has no home-share value
        kAmbiguous,    // more than one entry, or more than one value
        kUnavailable,  // the source cannot answer now (directory down, too slow or too busy)
    };
    Kind kind = Kind::kUnknown;
    std::string value;
    std::string detail;  // for the log: why ambiguous or unavailable
};

struct SourceCounters {
    std::uint64_t reconnects = 0;  // connections made to the directory
    std::uint64_t errors = 0;      // directory operations that failed
    std::uint64_t timeouts = 0;    // lookups answered "unavailable" at their deadline
    std::uint64_t overflows = 0;   // lookups refused because the queue was full
    std::uint64_t inFlight = 0;    // lookups asked and not answered yet
};

// Receives one answer. It may run on the caller's thread, before Find returns, or on a thread of
// the source's own; it must not block.
using AnswerCallback = std::function<void(MemberAnswer)>;
using ReadyCallback = std::function<void(bool)>;

class MemberSource {
  public:
    virtual ~MemberSource() = default;

    // Looks `username` up and calls `done` exactly once. A source that asks a server never
    // blocks the caller: it answers later, at the latest when its own time-out has passed (then
    // kUnavailable). Called from several threads at once.
    virtual void Find(std::string_view username, AnswerCallback done) = 0;

    // Calls `done` once with whether the source can answer now (the directory answers a
    // search), within the same time-out as a lookup.
    // NOLINTNEXTLINE(performance-unnecessary-value-param): by value for the overrides to keep
    virtual void CheckReady(ReadyCallback done) { done(true); }

    // Reads what the source reads from disk again, where it reads anything (SIGHUP).
    virtual void Reload() {}

    virtual SourceCounters Counters() const { return {}; }
};

}  // namespace brisvane::lookupd
