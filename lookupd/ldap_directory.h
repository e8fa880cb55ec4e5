// The LDAP source: members' home shares from the organisation's directory (Active Directory,
// OpenLDAP), through OpenLDAP's libldap.
#pragma once

#include <ldap.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "lookupd/config.h"
#include "lookupd/member_source.h"

namespace brisvane::lookupd {

struct LdapUnbind {
    void operator()(LDAP* ld) const { ldap_unbind_ext_s(ld, nullptr, nullptr); }
};
using LdapHandle = std::unique_ptr<LDAP, LdapUnbind>;

struct LdapMessageFree {
    void operator()(LDAPMessage* message) const { ldap_msgfree(message); }
};
using LdapMessageHandle = std::unique_ptr<LDAPMessage, LdapMessageFree>;

struct LdapValuesFree {
    void operator()(berval** values) const { ldap_value_free_len(values); }
};
using LdapValuesHandle = std::unique_ptr<berval*, LdapValuesFree>;

// One persistent connection per worker: a pool of as many connections as the server has
// worker threads, each connected on first use and again after any failure. Every lookup
// (connect, StartTLS, bind and search together) ends within the configured time-out; the URLs
// are tried in order; referrals are not chased; for ldaps:// and StartTLS the directory's
// certificate must be valid for its name and signed by a CA of ca_file, always.
class LdapDirectory final : public MemberSource {
  public:
    LdapDirectory(DirectoryConfig config, std::string bindPassword);
    // Wipes the bind password.
    ~LdapDirectory() override;
    LdapDirectory(const LdapDirectory&) = delete;
    LdapDirectory& operator=(const LdapDirectory&) = delete;
    LdapDirectory(LdapDirectory&&) = delete;
    LdapDirectory& operator=(LdapDirectory&&) = delete;

    void Find(std::string_view username, AnswerCallback done) override { done(FindNow(username)); }

    // Whether the directory answers a search of the base DN now (for a readiness probe).
    void CheckReady(ReadyCallback done) override { done(Ready()); }

    SourceCounters Counters() const override {
        return {reconnects_.load(), errors_.load(), 0, 0, 0};
    }

  private:
    using Clock = std::chrono::steady_clock;

    MemberAnswer FindNow(std::string_view username);
    bool Ready();

    class Lease;
    struct Attempt;

    // A connection to the first URL that answers, bound; nullptr and `error` when none does.
    LdapHandle Connect(Clock::time_point deadline, std::string& error);
    LdapHandle ConnectTo(const std::string& url, Clock::time_point deadline, std::string& error);
    MemberAnswer Search(LDAP* ld, std::string_view username, Clock::time_point deadline,
                        int& resultCode) const;

    DirectoryConfig config_;
    std::string bindPassword_;
    bool usesTls_ = false;

    std::mutex mutex_;
    std::condition_variable returned_;
    std::vector<LdapHandle> idle_;  // connected or empty (connect on use)

    std::atomic<std::uint64_t> reconnects_{0};
    std::atomic<std::uint64_t> errors_{0};
};

}  // namespace brisvane::lookupd
