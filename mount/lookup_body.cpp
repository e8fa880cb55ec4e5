#include "mount/lookup_body.h"

namespace brisvane {

namespace {

constexpr bool IsUnreserved(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
           (byte >= '0' && byte <= '9') || byte == '*' || byte == '-' || byte == '.' || byte == '_';
}

// One name or value of a form, "+" and "%XX" decoded; nothing for a "%" without two hexadecimal
// digits after it.
std::optional<std::string> FormDecoded(std::string_view encoded) {
    std::string decoded;
    decoded.reserve(encoded.size());
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '+') {
            decoded.push_back(' ');
        } else if (c == '%') {
            if (encoded.size() - i < 3) {
                return std::nullopt;
            }
            const int high = HexDigitValue(encoded[i + 1]);
            const int low = HexDigitValue(encoded[i + 2]);
            if (high < 0 || low < 0) {
                return std::nullopt;
            }
            decoded.push_back(static_cast<char>((high << 4) | low));
            i += 2;
        } else {
            decoded.push_back(c);
        }
    }
    return decoded;
}

}  // namespace

std::string LookupRequestBody(TextView username) {
    constexpr std::string_view kHexDigits = "0123456789ABCDEF";
    std::string body = "user=";
    for (const char c : ToUtf8(username)) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsUnreserved(byte)) {
            body += c;
        } else if (byte == ' ') {
            body += '+';
        } else {
            body += '%';
            body += kHexDigits[byte >> 4];
            body += kHexDigits[byte & 0x0F];
        }
    }
    return body;
}

std::optional<std::vector<std::string>> FormValues(std::string_view body, std::string_view name) {
    std::vector<std::string> values;
    while (true) {
        const std::size_t end = body.find('&');
        const std::string_view field = body.substr(0, end);
        const std::size_t equals = field.find('=');
        const auto fieldName = FormDecoded(field.substr(0, equals));
        const auto value = FormDecoded(equals == std::string_view::npos ? std::string_view{}
                                                                        : field.substr(equals + 1));
        if (!fieldName || !value) {
            return std::nullopt;
        }
        if (*fieldName == name) {
            values.push_back(*value);
        }
        if (end == std::string_view::npos) {
            return values;
        }
        body.remove_prefix(end + 1);
    }
}

}  // namespace brisvane
