#include "lookupd/ldap_directory.h"

#include <sys/time.h>

#include <algorithm>

#include "lookupd/ldap_filter.h"
#include "mount/secret_text.h"

namespace brisvane::lookupd {

namespace {

timeval ToTimeval(std::chrono::microseconds duration) {
    duration = std::max(duration, std::chrono::microseconds(1000));
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(duration.count() / 1'000'000);
    tv.tv_usec = static_cast<suseconds_t>(duration.count() % 1'000'000);
    return tv;
}

std::string Describe(LDAP* ld, int code) {
    std::string text = ldap_err2string(code);
    char* diagnostic = nullptr;
    if (ld != nullptr && ldap_get_option(ld, LDAP_OPT_DIAGNOSTIC_MESSAGE, &diagnostic) == 0 &&
        diagnostic != nullptr) {
        if (*diagnostic != '\0') {
            text += " (" + std::string(diagnostic) + ")";
        }
        ldap_memfree(diagnostic);
    }
    return text;
}

}  // namespace

// A connection taken from the pool for one lookup and given back afterwards, connected or not.
class LdapDirectory::Lease {
  public:
    explicit Lease(LdapDirectory& owner) : owner_(owner), handle_(TakeIdle(owner)) {}
    ~Lease() {
        {
            const std::lock_guard lock(owner_.mutex_);
            owner_.idle_.push_back(std::move(handle_));
        }
        owner_.returned_.notify_one();
    }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    Lease(Lease&&) = delete;
    Lease& operator=(Lease&&) = delete;

    LdapHandle& Handle() { return handle_; }

  private:
    // Waits until the pool has a connection and takes it.
    static LdapHandle TakeIdle(LdapDirectory& owner) {
        std::unique_lock lock(owner.mutex_);
        owner.returned_.wait(lock, [&owner] { return !owner.idle_.empty(); });
        LdapHandle handle = std::move(owner.idle_.back());
        owner.idle_.pop_back();
        return handle;
    }

    LdapDirectory& owner_;
    LdapHandle handle_;
};

LdapDirectory::LdapDirectory(DirectoryConfig config, std::string bindPassword)
    : config_(std::move(config)), bindPassword_(std::move(bindPassword)) {
    for (const std::string& url : config_.urls) {
        usesTls_ = usesTls_ || url.starts_with("ldaps://");
    }
    usesTls_ = usesTls_ || config_.startTls;
    idle_.resize(std::max(1U, config_.connections));
}

LdapDirectory::~LdapDirectory() {
    WipeText(bindPassword_);
}

LdapHandle LdapDirectory::Connect(Clock::time_point deadline, std::string& error) {
    // Each URL in turn gets an equal share of the time left, so that a replica that hangs
    // (or drops packets) leaves time for the next one.
    error.clear();
    const std::size_t count = config_.urls.size();
    for (std::size_t i = 0; i < count; ++i) {
        const auto share = (deadline - Clock::now()) / static_cast<int>(count - i);
        if (share <= Clock::duration::zero()) {
            break;
        }
        std::string failure;
        LdapHandle ld = ConnectTo(config_.urls[i], Clock::now() + share, failure);
        if (ld) {
            return ld;
        }
        error += (error.empty() ? "" : "; ") + config_.urls[i] + ": " + failure;
    }
    if (error.empty()) {
        error = "no time left to connect";
    }
    return nullptr;
}

LdapHandle LdapDirectory::ConnectTo(const std::string& url, Clock::time_point deadline,
                                    std::string& error) {
    LDAP* raw = nullptr;
    int rc = ldap_initialize(&raw, url.c_str());
    LdapHandle ld(raw);
    if (rc != LDAP_SUCCESS) {
        error = "ldap_initialize: " + std::string(ldap_err2string(rc));
        return nullptr;
    }
    const auto remaining = [deadline] {
        return ToTimeval(
            std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()));
    };
    const int version = LDAP_VERSION3;
    const timeval timeout = remaining();
    ldap_set_option(ld.get(), LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(ld.get(), LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    ldap_set_option(ld.get(), LDAP_OPT_RESTART, LDAP_OPT_ON);
    ldap_set_option(ld.get(), LDAP_OPT_NETWORK_TIMEOUT, &timeout);
    ldap_set_option(ld.get(), LDAP_OPT_TIMEOUT, &timeout);
    if (usesTls_) {
        const int demand = LDAP_OPT_X_TLS_DEMAND;
        const int tls12 = LDAP_OPT_X_TLS_PROTOCOL_TLS1_2;
        const int client = 0;
        if ((rc = ldap_set_option(ld.get(), LDAP_OPT_X_TLS_CACERTFILE, config_.caFile.c_str())) !=
                LDAP_OPT_SUCCESS ||
            (rc = ldap_set_option(ld.get(), LDAP_OPT_X_TLS_REQUIRE_CERT, &demand)) !=
                LDAP_OPT_SUCCESS ||
            (rc = ldap_set_option(ld.get(), LDAP_OPT_X_TLS_PROTOCOL_MIN, &tls12)) !=
                LDAP_OPT_SUCCESS ||
            (rc = ldap_set_option(ld.get(), LDAP_OPT_X_TLS_NEWCTX, &client)) != LDAP_OPT_SUCCESS) {
            error = "TLS settings (ca_file " + config_.caFile + "): " + Describe(ld.get(), rc);
            return nullptr;
        }
    }
    // libldap reports a refused certificate as a connection failure: say what to check.
    const std::string tlsHint =
        usesTls_ ? "; if the directory runs, check that its certificate names the URL's host and "
                   "is signed by a CA of ca_file"
                 : "";
    // ldap_initialize only parses the URL: connect now, so that a replica that is down is
    // passed over for the next one even when no bind or StartTLS would have touched it.
    rc = ldap_connect(ld.get());
    if (rc != LDAP_SUCCESS) {
        error = "connect: " + Describe(ld.get(), rc) + tlsHint;
        return nullptr;
    }
    if (config_.startTls) {
        rc = ldap_start_tls_s(ld.get(), nullptr, nullptr);
        if (rc != LDAP_SUCCESS) {
            error = "StartTLS: " + Describe(ld.get(), rc) + tlsHint;
            return nullptr;
        }
    }
    if (!config_.bindDn.empty()) {
        const timeval bindTimeout = remaining();
        ldap_set_option(ld.get(), LDAP_OPT_TIMEOUT, &bindTimeout);
        berval credentials{};
        credentials.bv_val = bindPassword_.data();
        credentials.bv_len = bindPassword_.size();
        rc = ldap_sasl_bind_s(ld.get(), config_.bindDn.c_str(), LDAP_SASL_SIMPLE, &credentials,
                              nullptr, nullptr, nullptr);
        if (rc != LDAP_SUCCESS) {
            error = "bind as " + config_.bindDn + ": " + Describe(ld.get(), rc) +
                    (rc == LDAP_SERVER_DOWN || rc == LDAP_CONNECT_ERROR ? tlsHint : "");
            return nullptr;
        }
    }
    return ld;
}

MemberAnswer LdapDirectory::Search(LDAP* ld, std::string_view username, Clock::time_point deadline,
                                   int& resultCode) const {
    using Kind = MemberAnswer::Kind;
    const std::string filter = FilterForUser(config_.filter, username);
    std::string attribute = config_.attribute;
    char* attributes[] = {attribute.data(), nullptr};
    timeval timeout =
        ToTimeval(std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()));
    ldap_set_option(ld, LDAP_OPT_TIMEOUT, &timeout);
    LDAPMessage* raw = nullptr;
    // Two entries are enough to know that the name is ambiguous.
    resultCode = ldap_search_ext_s(ld, config_.baseDn.c_str(), LDAP_SCOPE_SUBTREE, filter.c_str(),
                                   attributes, 0, nullptr, nullptr, &timeout, 2, &raw);
    const LdapMessageHandle result(raw);
    if (resultCode != LDAP_SUCCESS && resultCode != LDAP_SIZELIMIT_EXCEEDED) {
        return {Kind::kUnavailable, {}, "directory search: " + Describe(ld, resultCode)};
    }
    const int entries = ldap_count_entries(ld, result.get());
    if (entries == 0) {
        return {Kind::kUnknown, {}, {}};
    }
    if (entries > 1 || resultCode == LDAP_SIZELIMIT_EXCEEDED) {
        return {Kind::kAmbiguous, {}, "the directory has more than one entry for the username"};
    }
    LDAPMessage* entry = ldap_first_entry(ld, result.get());
    const LdapValuesHandle values(ldap_get_values_len(ld, entry, attribute.c_str()));
    const int count = ldap_count_values_len(values.get());
    if (count == 0) {
        return {Kind::kNoHomeShare, {}, {}};
    }
    if (count > 1) {
        return {Kind::kAmbiguous, {}, "the member's entry has more than one " + attribute};
    }
    const berval* value = values.get()[0];
    return {Kind::kFound, std::string(value->bv_val, value->bv_len), {}};
}

MemberAnswer LdapDirectory::FindNow(std::string_view username) {
    const Clock::time_point deadline = Clock::now() + config_.timeout;
    Lease lease(*this);
    LdapHandle& handle = lease.Handle();
    // A connection kept from an earlier lookup may have been closed by the directory (a
    // restart, an idle time-out): then one new connection is tried at once.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const bool reused = handle != nullptr;
        if (!handle) {
            std::string error;
            handle = Connect(deadline, error);
            if (!handle) {
                ++errors_;
                return {MemberAnswer::Kind::kUnavailable, {}, "directory: " + error};
            }
            ++reconnects_;
        }
        int resultCode = LDAP_SUCCESS;
        MemberAnswer answer = Search(handle.get(), username, deadline, resultCode);
        if (answer.kind != MemberAnswer::Kind::kUnavailable) {
            return answer;
        }
        ++errors_;
        handle.reset();
        const bool connectionLost =
            resultCode == LDAP_SERVER_DOWN || resultCode == LDAP_CONNECT_ERROR;
        if (!reused || !connectionLost || Clock::now() >= deadline) {
            return answer;
        }
    }
    return {MemberAnswer::Kind::kUnavailable, {}, "directory: no connection"};
}

bool LdapDirectory::Ready() {
    const Clock::time_point deadline = Clock::now() + config_.timeout;
    Lease lease(*this);
    LdapHandle& handle = lease.Handle();
    if (!handle) {
        std::string error;
        handle = Connect(deadline, error);
        if (!handle) {
            ++errors_;
            return false;
        }
        ++reconnects_;
    }
    timeval timeout =
        ToTimeval(std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()));
    char noAttributes[] = LDAP_NO_ATTRS;
    char* attributes[] = {noAttributes, nullptr};
    LDAPMessage* raw = nullptr;
    const int rc =
        ldap_search_ext_s(handle.get(), config_.baseDn.c_str(), LDAP_SCOPE_BASE, "(objectClass=*)",
                          attributes, 0, nullptr, nullptr, &timeout, 1, &raw);
    const LdapMessageHandle result(raw);
    if (rc != LDAP_SUCCESS) {
        ++errors_;
        handle.reset();
        return false;
    }
    return true;
}

}  // namespace brisvane::lookupd
