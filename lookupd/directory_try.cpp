#include "lookupd/directory_try.h"

#include "lookupd/ldap_connect.h"
#include "lookupd/ldap_filter.h"

namespace brisvane::lookupd {

TriedLookup TryDirectory(const DirectoryConfig& config, const std::string& bindPassword,
                         std::string_view username) {
    using Clock = std::chrono::steady_clock;
    using Kind = MemberAnswer::Kind;
    const Clock::time_point deadline = Clock::now() + config.timeout;
    TriedLookup tried;
    DeadlineTimer timer;
    ConnectInterrupt interrupt;
    ConnectSteps steps;
    std::string error;
    const LdapHandle ld =
        ConnectDirectory(config, bindPassword, deadline, timer, interrupt, error, &steps);
    tried.steps.push_back({"connect", steps.url, steps.connect});
    if (steps.tls != Clock::duration::zero()) {
        tried.steps.push_back({"TLS", config.startTls ? "StartTLS" : "ldaps", steps.tls});
    }
    if (steps.bind != Clock::duration::zero()) {
        tried.steps.push_back({"bind", config.bindDn, steps.bind});
    }
    if (!ld) {
        tried.answer = {Kind::kUnavailable, {}, "directory: " + error};
        return tried;
    }
    const std::string filter = FilterForUser(config.filter, username);
    std::string attribute = config.attribute;
    char* attributes[] = {attribute.data(), nullptr};
    timeval timeout = LdapTimeout(deadline - Clock::now());
    LDAPMessage* raw = nullptr;
    const Clock::time_point started = Clock::now();
    // Two entries are enough to know that the name is ambiguous.
    const int rc =
        ldap_search_ext_s(ld.get(), config.baseDn.c_str(), LDAP_SCOPE_SUBTREE, filter.c_str(),
                          attributes, 0, nullptr, nullptr, &timeout, 2, &raw);
    const LdapMessageHandle messages(raw);
    tried.steps.push_back({"search", filter, Clock::now() - started});
    if (messages == nullptr) {
        tried.answer = {
            Kind::kUnavailable, {}, "directory search: " + DescribeLdapError(ld.get(), rc)};
        return tried;
    }
    // The same reading as the service's: entries counted, continuation references skipped.
    MemberSearch search;
    for (LDAPMessage* message = ldap_first_message(ld.get(), messages.get()); message != nullptr;
         message = ldap_next_message(ld.get(), message)) {
        const int type = ldap_msgtype(message);
        if (type == LDAP_RES_SEARCH_ENTRY) {
            search.Collect(ld.get(), message, config.attribute);
        } else if (type == LDAP_RES_SEARCH_RESULT) {
            int code = LDAP_SUCCESS;
            tried.answer = search.Finish(ld.get(), message, config.attribute, code);
            return tried;
        }
    }
    tried.answer = {Kind::kUnavailable, {}, "directory search: " + DescribeLdapError(ld.get(), rc)};
    return tried;
}

}  // namespace brisvane::lookupd
