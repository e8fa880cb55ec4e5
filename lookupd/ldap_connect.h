// Opening one bound connection to the directory through libldap, every step within a deadline:
// the TCP connection, TLS (ldaps:// or StartTLS) and the bind.
#pragma once

#include <ldap.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "lookupd/config.h"
#include "lookupd/deadline_timer.h"
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

// libldap's text for `code`, with the server's or the TLS library's diagnostic when there is one.
std::string DescribeLdapError(LDAP* ld, int code);

// What one member's search has gathered, message by message: its entries (two are enough to
// know the name is ambiguous) and the first entry's values of the home-share attribute.
struct MemberSearch {
    int entries = 0;
    int values = 0;
    std::string value;

    // Takes one search entry.
    void Collect(LDAP* ld, LDAPMessage* entry, const std::string& attribute);
    // The answer once the search's result has come: the member's value, unknown, no home
    // share, ambiguous, or unavailable with the directory's own words; `code` is the result's.
    MemberAnswer Finish(LDAP* ld, LDAPMessage* result, const std::string& attribute,
                        int& code) const;
};

// The result code of a search's result message and its text, with the referral's address and the
// server's diagnostic.
std::string ResultText(LDAP* ld, LDAPMessage* result, int& code);

// `duration` as libldap's time-outs take it, at least a millisecond (zero would mean none).
timeval LdapTimeout(std::chrono::steady_clock::duration duration);

// Cuts the blocking steps of a connection attempt short: libldap tells it the attempt's socket
// as soon as it is connected, and when it lets the socket go (LDAP_OPT_CONNECT_CB); Expire()
// shuts that socket down, which ends a TLS handshake or a wait for an answer that a stalled peer
// would hold forever. The socket stays libldap's: it is never closed here, and never touched
// once libldap has let it go (so never a descriptor that has been reused meanwhile).
class ConnectInterrupt {
  public:
    ConnectInterrupt();
    ConnectInterrupt(const ConnectInterrupt&) = delete;
    ConnectInterrupt& operator=(const ConnectInterrupt&) = delete;
    ConnectInterrupt(ConnectInterrupt&&) = delete;
    ConnectInterrupt& operator=(ConnectInterrupt&&) = delete;
    ~ConnectInterrupt() = default;

    // Tells `ld` to report its sockets here. This object must outlive the handle.
    bool Watch(LDAP* ld);

    // Starts an attempt, not expired yet; false once Close() was called.
    bool Begin();

    // Shuts the attempt's socket down now, or as soon as libldap has one. Any thread.
    void Expire();

    bool Expired();

    // Expires this attempt and every later one at once (the directory is going away).
    void Close();

    // When libldap last reported a connected socket.
    std::chrono::steady_clock::time_point ConnectedAt();

  private:
    static int Added(LDAP* ld, Sockbuf* sb, LDAPURLDesc* url, sockaddr* address, ldap_conncb* self);
    static void Removed(LDAP* ld, Sockbuf* sb, ldap_conncb* self);

    std::mutex mutex_;
    int socket_ = -1;  // the socket libldap holds now, or -1
    std::chrono::steady_clock::time_point connectedAt_{};
    bool expired_ = false;
    bool closed_ = false;
    ldap_conncb callbacks_{};
};

// What each step of the connection attempt that succeeded (or failed last) took: the TCP
// connection, TLS (the ldaps:// handshake or StartTLS), the bind; a step not taken is zero.
struct ConnectSteps {
    std::string url;
    std::chrono::steady_clock::duration connect{};
    std::chrono::steady_clock::duration tls{};
    std::chrono::steady_clock::duration bind{};
};

// A bound connection to the first of `config.urls` that answers, each URL in turn with an equal
// share of the time left until `deadline`, so that a replica that is down or stalls leaves time
// for the next; `timer` runs `interrupt` at the end of each share. nullptr and `error` (for the
// log, one part per URL) when none answers. Referrals are never chased; for ldaps:// and
// StartTLS the directory's certificate must be valid for the URL's host and signed by a CA of
// ca_file, with TLS 1.2 at least.
LdapHandle ConnectDirectory(const DirectoryConfig& config, const std::string& bindPassword,
                            std::chrono::steady_clock::time_point deadline, DeadlineTimer& timer,
                            ConnectInterrupt& interrupt, std::string& error,
                            ConnectSteps* steps = nullptr);

}  // namespace brisvane::lookupd
