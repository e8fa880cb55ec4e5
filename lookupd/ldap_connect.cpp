#include "lookupd/ldap_connect.h"

#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>

namespace brisvane::lookupd {

namespace {

using Clock = std::chrono::steady_clock;

std::string Milliseconds(Clock::duration duration) {
    return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(duration).count()) +
           " ms";
}

// The options every handle gets before it connects; an error text when one is refused.
std::string SetOptions(LDAP* ld, const DirectoryConfig& config, bool usesTls, bool ldaps,
                       timeval share) {
    const int version = LDAP_VERSION3;
    ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    ldap_set_option(ld, LDAP_OPT_RESTART, LDAP_OPT_ON);
    // Bounds the TCP connection (libldap polls for it), which comes before any socket is known
    // to the interrupt, and the waits for the StartTLS and bind answers.
    ldap_set_option(ld, LDAP_OPT_NETWORK_TIMEOUT, &share);
    ldap_set_option(ld, LDAP_OPT_TIMEOUT, &share);
    if (ldaps) {
        // With a network time-out and a synchronous connection, libldap runs the ldaps://
        // handshake on a non-blocking socket in a loop that never waits: a stalled peer would
        // cost a whole core until the interrupt. Asynchronously it polls instead, then finishes
        // the handshake on a blocking socket, which the interrupt ends.
        ldap_set_option(ld, LDAP_OPT_CONNECT_ASYNC, LDAP_OPT_ON);
    }
    if (!usesTls) {
        return {};
    }
    const int demand = LDAP_OPT_X_TLS_DEMAND;
    const int tls12 = LDAP_OPT_X_TLS_PROTOCOL_TLS1_2;
    const int client = 0;
    int rc = LDAP_OPT_SUCCESS;
    if ((rc = ldap_set_option(ld, LDAP_OPT_X_TLS_CACERTFILE, config.caFile.c_str())) !=
            LDAP_OPT_SUCCESS ||
        (rc = ldap_set_option(ld, LDAP_OPT_X_TLS_REQUIRE_CERT, &demand)) != LDAP_OPT_SUCCESS ||
        (rc = ldap_set_option(ld, LDAP_OPT_X_TLS_PROTOCOL_MIN, &tls12)) != LDAP_OPT_SUCCESS ||
        (rc = ldap_set_option(ld, LDAP_OPT_X_TLS_NEWCTX, &client)) != LDAP_OPT_SUCCESS) {
        return "TLS settings (ca_file " + config.caFile + "): " + DescribeLdapError(ld, rc);
    }
    return {};
}

// One URL, connected, TLS started where configured and bound by `deadline`; nullptr and `error`
// otherwise.
LdapHandle ConnectTo(const DirectoryConfig& config, const std::string& bindPassword,
                     const std::string& url, Clock::time_point deadline,
                     ConnectInterrupt& interrupt, std::string& error, ConnectSteps& steps) {
    const Clock::time_point started = Clock::now();
    steps = ConnectSteps{url};
    LDAP* raw = nullptr;
    int rc = ldap_initialize(&raw, url.c_str());
    LdapHandle ld(raw);
    if (rc != LDAP_SUCCESS) {
        error = "ldap_initialize: " + std::string(ldap_err2string(rc));
        return nullptr;
    }
    const bool ldaps = url.starts_with("ldaps://");
    const bool usesTls = ldaps || config.startTls;
    const auto remaining = [deadline] { return LdapTimeout(deadline - Clock::now()); };
    error = SetOptions(ld.get(), config, usesTls, ldaps, remaining());
    if (!error.empty()) {
        return nullptr;
    }
    if (!interrupt.Watch(ld.get())) {
        error = "cannot watch the connection's socket";
        return nullptr;
    }
    // libldap reports a refused certificate as a connection failure: say what to check.
    const std::string tlsHint =
        usesTls ? "; if the directory runs, check that its certificate names the URL's host and "
                  "is signed by a CA of ca_file"
                : "";
    const auto failed = [&](const std::string& step, int code, bool hint) {
        if (interrupt.Expired() || Clock::now() >= deadline) {
            error = step + ": no answer within " + Milliseconds(deadline - started);
        } else {
            error = step + ": " + DescribeLdapError(ld.get(), code) + (hint ? tlsHint : "");
        }
        return nullptr;
    };
    // ldap_initialize only parses the URL: connect now, so that a replica that is down is
    // passed over for the next one even when no bind or StartTLS would have touched it.
    rc = ldap_connect(ld.get());
    const Clock::time_point connected = Clock::now();
    const Clock::time_point socketAt = std::clamp(interrupt.ConnectedAt(), started, connected);
    steps.connect = (ldaps ? socketAt : connected) - started;
    steps.tls = ldaps ? connected - socketAt : Clock::duration::zero();
    if (rc != LDAP_SUCCESS) {
        return failed("connect", rc, true);
    }
    // From here on the steps run on a blocking socket without libldap's network time-out (with
    // it, the StartTLS handshake would spin on a non-blocking one): the interrupt ends them.
    const timeval unbounded{-1, 0};
    ldap_set_option(ld.get(), LDAP_OPT_NETWORK_TIMEOUT, &unbounded);
    if (config.startTls) {
        const timeval answerTimeout = remaining();
        ldap_set_option(ld.get(), LDAP_OPT_TIMEOUT, &answerTimeout);
        const Clock::time_point tlsStarted = Clock::now();
        rc = ldap_start_tls_s(ld.get(), nullptr, nullptr);
        steps.tls = Clock::now() - tlsStarted;
        if (rc != LDAP_SUCCESS) {
            return failed("StartTLS", rc, true);
        }
    }
    if (!config.bindDn.empty()) {
        const timeval bindTimeout = remaining();
        ldap_set_option(ld.get(), LDAP_OPT_TIMEOUT, &bindTimeout);
        berval credentials{};
        credentials.bv_val = const_cast<char*>(bindPassword.data());
        credentials.bv_len = bindPassword.size();
        const Clock::time_point bindStarted = Clock::now();
        rc = ldap_sasl_bind_s(ld.get(), config.bindDn.c_str(), LDAP_SASL_SIMPLE, &credentials,
                              nullptr, nullptr, nullptr);
        steps.bind = Clock::now() - bindStarted;
        if (rc != LDAP_SUCCESS) {
            return failed("bind as " + config.bindDn, rc,
                          rc == LDAP_SERVER_DOWN || rc == LDAP_CONNECT_ERROR);
        }
    }
    return ld;
}

}  // namespace

timeval LdapTimeout(Clock::duration duration) {
    auto micros = std::chrono::duration_cast<std::chrono::microseconds>(duration);
    micros = std::max(micros, std::chrono::microseconds(1000));
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(micros.count() / 1'000'000);
    tv.tv_usec = static_cast<suseconds_t>(micros.count() % 1'000'000);
    return tv;
}

std::string ResultText(LDAP* ld, LDAPMessage* result, int& code) {
    code = LDAP_SUCCESS;
    char* diagnostic = nullptr;
    char** referrals = nullptr;
    const int parsed =
        ldap_parse_result(ld, result, &code, nullptr, &diagnostic, &referrals, nullptr, 0);
    if (parsed != LDAP_SUCCESS) {
        code = parsed;
    }
    std::string text = ldap_err2string(code);
    if (referrals != nullptr) {
        if (referrals[0] != nullptr) {
            text += " to " + std::string(referrals[0]);
        }
        ber_memvfree(reinterpret_cast<void**>(referrals));
    }
    if (diagnostic != nullptr) {
        if (*diagnostic != '\0') {
            text += " (" + std::string(diagnostic) + ")";
        }
        ldap_memfree(diagnostic);
    }
    return text;
}

void MemberSearch::Collect(LDAP* ld, LDAPMessage* entry, const std::string& attribute) {
    if (++entries > 1) {
        return;  // ambiguous already: its values do not matter
    }
    const LdapValuesHandle found(ldap_get_values_len(ld, entry, attribute.c_str()));
    values = ldap_count_values_len(found.get());
    if (values == 1) {
        const berval* first = found.get()[0];
        value.assign(first->bv_val, first->bv_len);
    }
}

MemberAnswer MemberSearch::Finish(LDAP* ld, LDAPMessage* result, const std::string& attribute,
                                  int& code) const {
    using Kind = MemberAnswer::Kind;
    const std::string text = ResultText(ld, result, code);
    if (code != LDAP_SUCCESS && code != LDAP_SIZELIMIT_EXCEEDED) {
        return {Kind::kUnavailable, {}, "directory search: " + text};
    }
    if (entries == 0) {
        return {Kind::kUnknown, {}, {}};
    }
    if (entries > 1 || code == LDAP_SIZELIMIT_EXCEEDED) {
        return {Kind::kAmbiguous, {}, "the directory has more than one entry for the username"};
    }
    if (values == 0) {
        return {Kind::kNoHomeShare, {}, {}};
    }
    if (values > 1) {
        return {Kind::kAmbiguous, {}, "the member's entry has more than one " + attribute};
    }
    return {Kind::kFound, value, {}};
}

std::string DescribeLdapError(LDAP* ld, int code) {
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

ConnectInterrupt::ConnectInterrupt() {
    callbacks_.lc_add = &ConnectInterrupt::Added;
    callbacks_.lc_del = &ConnectInterrupt::Removed;
    callbacks_.lc_arg = this;
}

bool ConnectInterrupt::Watch(LDAP* ld) {
    return ldap_set_option(ld, LDAP_OPT_CONNECT_CB, &callbacks_) == LDAP_OPT_SUCCESS;
}

bool ConnectInterrupt::Begin() {
    const std::lock_guard lock(mutex_);
    expired_ = closed_;
    return !closed_;
}

void ConnectInterrupt::Expire() {
    const std::lock_guard lock(mutex_);
    expired_ = true;
    if (socket_ >= 0) {
        shutdown(socket_, SHUT_RDWR);
    }
}

Clock::time_point ConnectInterrupt::ConnectedAt() {
    const std::lock_guard lock(mutex_);
    return connectedAt_;
}

bool ConnectInterrupt::Expired() {
    const std::lock_guard lock(mutex_);
    return expired_;
}

void ConnectInterrupt::Close() {
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
    }
    Expire();
}

// Called by libldap once the TCP connection is made (or under way): no libldap function here.
// The descriptor comes from liblber's socket buffer.
int ConnectInterrupt::Added(LDAP* /*ld*/, Sockbuf* sb, LDAPURLDesc* /*url*/, sockaddr* /*address*/,
                            ldap_conncb* self) {
    auto* interrupt = static_cast<ConnectInterrupt*>(self->lc_arg);
    ber_socket_t socket = -1;
    ber_sockbuf_ctrl(sb, LBER_SB_OPT_GET_FD, &socket);
    const std::lock_guard lock(interrupt->mutex_);
    interrupt->socket_ = socket;
    interrupt->connectedAt_ = Clock::now();
    if (interrupt->expired_ && socket >= 0) {
        shutdown(socket, SHUT_RDWR);
    }
    return 0;
}

// Called by libldap before it closes the socket, and with no socket buffer as the handle goes.
void ConnectInterrupt::Removed(LDAP* /*ld*/, Sockbuf* sb, ldap_conncb* self) {
    if (sb == nullptr) {
        return;
    }
    auto* interrupt = static_cast<ConnectInterrupt*>(self->lc_arg);
    const std::lock_guard lock(interrupt->mutex_);
    interrupt->socket_ = -1;
}

LdapHandle ConnectDirectory(const DirectoryConfig& config, const std::string& bindPassword,
                            Clock::time_point deadline, DeadlineTimer& timer,
                            ConnectInterrupt& interrupt, std::string& error, ConnectSteps* steps) {
    ConnectSteps ignored;
    error.clear();
    const std::size_t count = config.urls.size();
    for (std::size_t i = 0; i < count; ++i) {
        const auto share = (deadline - Clock::now()) / static_cast<int>(count - i);
        if (share <= Clock::duration::zero()) {
            break;
        }
        if (!interrupt.Begin()) {
            error = "the service is stopping";
            return nullptr;
        }
        const Clock::time_point urlDeadline = Clock::now() + share;
        const DeadlineTimer::Id expiry =
            timer.Arm(urlDeadline, [&interrupt] { interrupt.Expire(); });
        std::string failure;
        LdapHandle ld = ConnectTo(config, bindPassword, config.urls[i], urlDeadline, interrupt,
                                  failure, steps != nullptr ? *steps : ignored);
        // Disarmed before the connection goes into use: its socket is never shut down later.
        timer.Disarm(expiry);
        if (ld && interrupt.Expired()) {
            ld.reset();  // ready just as its time ran out: its socket may be shut down already
            failure = "no answer within the time-out";
        }
        if (ld) {
            return ld;
        }
        error += (error.empty() ? "" : "; ") + config.urls[i] + ": " + failure;
    }
    if (error.empty()) {
        error = "no time left to connect";
    }
    return nullptr;
}

}  // namespace brisvane::lookupd
