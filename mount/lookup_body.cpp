#include "mount/lookup_body.h"

namespace brisvane {

namespace {

constexpr bool IsUnreserved(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
           (byte >= '0' && byte <= '9') || byte == '*' || byte == '-' || byte == '.' || byte == '_';
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

}  // namespace brisvane
