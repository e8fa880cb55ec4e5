// The LDAP source: members' home shares from the organisation's directory (Active Directory,
// OpenLDAP), through OpenLDAP's libldap, without ever blocking the caller.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "lookupd/config.h"
#include "lookupd/deadline_timer.h"
#include "lookupd/member_source.h"

namespace brisvane::lookupd {

// A pool of `connections` connections to the directory, each with one thread that sends
// searches (at most `searches_per_connection` outstanding) and collects their results as they
// come. A lookup waits in a queue until a connection has room for it; beyond the searches the
// pool can hold, at most `queue` lookups wait, and more are answered kUnavailable at once (too
// busy). Connections are made when lookups need them and again after one is lost (a lookup
// sent on a connection found dead is sent once more on another). Every lookup is answered by
// its deadline, [directory] timeout after it was asked, wherever it is: waiting, connecting
// (the URLs in order, each with a fair share of the time left, so a replica that is down or
// stalls leaves time for the next; TLS and the bind included) or searching (the search is then
// abandoned). Referrals are not chased and continuation references are skipped; for ldaps://
// and StartTLS the directory's certificate must be valid for its name and signed by a CA of
// ca_file, always.
class LdapDirectory final : public MemberSource {
  public:
    using Warn = std::function<void(const std::string&)>;

    // `warn` gets a line for the log when the directory is set up wrong in a way every lookup
    // would repeat (a base DN that is a referral), once.
    LdapDirectory(DirectoryConfig config, std::string bindPassword, Warn warn);
    // Stops the connections' threads and drops the callbacks of the lookups not answered yet
    // WITHOUT calling them: the owner destroys the directory only once nobody waits for an
    // answer (the HTTP servers are gone). A callback that runs already finishes first. Wipes
    // the bind password.
    ~LdapDirectory() override;
    LdapDirectory(const LdapDirectory&) = delete;
    LdapDirectory& operator=(const LdapDirectory&) = delete;
    LdapDirectory(LdapDirectory&&) = delete;
    LdapDirectory& operator=(LdapDirectory&&) = delete;

    // Answers on one of the directory's threads, or at once when the queue is full.
    void Find(std::string_view username, AnswerCallback done) override;

    // Whether the directory answers a search of the base DN itself, under the same deadline.
    void CheckReady(ReadyCallback done) override;

    SourceCounters Counters() const override;

  private:
    using Clock = std::chrono::steady_clock;
    class Connection;

    struct Lookup {
        std::string filter;  // empty: the readiness check, a search of base_dn itself
        Clock::time_point deadline;
        AnswerCallback done;
        bool retried = false;  // sent once already, on a connection found dead
    };

    struct Answer {
        AnswerCallback done;
        MemberAnswer answer;
    };
    using Answers = std::vector<Answer>;

    void Admit(Lookup lookup);
    // Calls the callbacks, outside the lock.
    void Deliver(Answers& answers);
    MemberAnswer TimedOut() const;

    // The members below take the lock first.
    // The connection to wake for the queue's lookups, if the connections awake will not take
    // them all: a ready one with room, else one that may connect.
    Connection* NextToServe();
    // Whether the queue holds more lookups than the connections ready or connecting, `asking`
    // aside, will take.
    bool Uncovered(const Connection* asking) const;
    bool AnyServing(const Connection* asking) const;
    void ArmQueueDeadline(Clock::time_point when);
    // The queue's deadline: the lookups that waited too long are answered.
    void ExpireQueued();

    const DirectoryConfig config_;
    std::string bindPassword_;
    const Warn warn_;
    std::atomic<bool> referralReported_{false};

    std::mutex mutex_;
    std::deque<Lookup> queue_;  // lookups waiting for a connection with room, the oldest first
    std::atomic<bool> stopping_{false};  // set under the lock; read without it by Deliver
    Clock::time_point queueDeadline_ = Clock::time_point::max();  // when the queue is looked at

    std::atomic<std::uint64_t> reconnects_{0};
    std::atomic<std::uint64_t> errors_{0};
    std::atomic<std::uint64_t> timeouts_{0};
    std::atomic<std::uint64_t> overflows_{0};
    std::atomic<std::uint64_t> inFlight_{0};

    DeadlineTimer timer_;  // after what its actions use; before the connections, which arm it
    std::vector<std::unique_ptr<Connection>> connections_;  // last: their threads stop first
};

}  // namespace brisvane::lookupd
