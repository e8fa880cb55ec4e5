#include "lookupd/form.h"

namespace brisvane::lookupd {

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

namespace {

std::optional<std::string> Unescape(std::string_view encoded) {
    std::string out;
    out.reserve(encoded.size());
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '+') {
            out.push_back(' ');
        } else if (c == '%') {
            if (encoded.size() - i < 3) {
                return std::nullopt;
            }
            const int high = HexDigitValue(encoded[i + 1]);
            const int low = HexDigitValue(encoded[i + 2]);
            if (high < 0 || low < 0) {
                return std::nullopt;
            }
            out.push_back(static_cast<char>((high << 4) | low));
            i += 2;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace

std::optional<std::string> UserFromForm(std::string_view body) {
    std::optional<std::string> user;
    while (true) {
        const std::size_t end = body.find('&');
        const std::string_view field = body.substr(0, end);
        const std::size_t equals = field.find('=');
        const auto name = Unescape(field.substr(0, equals));
        const auto value = Unescape(equals == std::string_view::npos ? std::string_view{}
                                                                     : field.substr(equals + 1));
        if (!name || !value) {
            return std::nullopt;
        }
        if (*name == "user") {
            if (user) {
                return std::nullopt;
            }
            user = *value;
        }
        if (end == std::string_view::npos) {
            return user;
        }
        body.remove_prefix(end + 1);
    }
}

}  // namespace brisvane::lookupd
