#include "lookupd/ldap_filter.h"

namespace brisvane::lookupd {

std::string EscapeFilterValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (const char c : value) {
        switch (c) {
            case '*':
                out += "\\2a";
                break;
            case '(':
                out += "\\28";
                break;
            case ')':
                out += "\\29";
                break;
            case '\\':
                out += "\\5c";
                break;
            case '\0':
                out += "\\00";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::string FilterForUser(std::string_view filterTemplate, std::string_view username) {
    const std::string escaped = EscapeFilterValue(username);
    std::string out;
    for (std::size_t i = 0; i < filterTemplate.size(); ++i) {
        if (filterTemplate.compare(i, 2, "%s") == 0) {
            out += escaped;
            ++i;
        } else {
            out.push_back(filterTemplate[i]);
        }
    }
    return out;
}

}  // namespace brisvane::lookupd
