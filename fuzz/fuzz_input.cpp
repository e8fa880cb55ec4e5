#include "fuzz/fuzz_input.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "mount/shown_text.h"

namespace brisvane::fuzzing {

namespace {

constexpr bool IsContinuation(std::uint8_t byte) {
    return (byte & 0xC0U) == 0x80U;
}

// Length and lead bits of the sequence a byte starts, 0 for a byte that starts none.
struct Lead {
    std::size_t length;
    char32_t bits;
};

constexpr Lead LeadOf(std::uint8_t byte) {
    if (byte >= 0xC2 && byte <= 0xDF) {
        return {2, byte & 0x1FU};
    }
    if (byte >= 0xE0 && byte <= 0xEF) {
        return {3, byte & 0x0FU};
    }
    if (byte >= 0xF0 && byte <= 0xF4) {
        return {4, byte & 0x07U};
    }
    return {0, 0};
}

constexpr char32_t kShortestOf[] = {0, 0, 0x80, 0x800, 0x10000};

}  // namespace

Text DecodeText(std::span<const std::uint8_t> bytes) {
    Text text;
    text.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::uint8_t byte = bytes[i];
        const Lead lead = LeadOf(byte);
        char32_t code = lead.bits;
        bool valid = lead.length != 0 && i + lead.length <= bytes.size();
        for (std::size_t k = 1; valid && k < lead.length; ++k) {
            valid = IsContinuation(bytes[i + k]);
            code = (code << 6U) | (bytes[i + k] & 0x3FU);
        }
        valid = valid && code >= kShortestOf[lead.length] && code <= 0x10FFFF;
        if (!valid) {
            text.push_back(static_cast<char16_t>(byte));
            ++i;
            continue;
        }
        if (code < 0x10000) {
            text.push_back(static_cast<char16_t>(code));
        } else {
            const char32_t offset = code - 0x10000;
            text.push_back(static_cast<char16_t>(0xD800U + (offset >> 10U)));
            text.push_back(static_cast<char16_t>(0xDC00U + (offset & 0x3FFU)));
        }
        i += lead.length;
    }
    return text;
}

std::vector<Text> SplitFields(TextView text, std::size_t count) {
    std::vector<Text> fields;
    fields.reserve(count);
    while (fields.size() + 1 < count) {
        const auto end = text.find(u'\n');
        if (end == TextView::npos) {
            fields.emplace_back(text);
            text = {};
        } else {
            fields.emplace_back(text.substr(0, end));
            text.remove_prefix(end + 1);
        }
    }
    fields.emplace_back(text);
    return fields;
}

std::int32_t ParseInt32(TextView text) {
    bool negative = false;
    if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text.remove_prefix(1);
    }
    std::uint32_t value = 0;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9') {
            break;
        }
        value = value * 10U + static_cast<std::uint32_t>(c - u'0');
    }
    if (negative) {
        value = 0U - value;
    }
    return static_cast<std::int32_t>(value);
}

bool HoldsHiddenCharacter(TextView text) {
    const auto isHigh = [](char16_t c) { return c >= 0xD800 && c < 0xDC00; };
    const auto isLow = [](char16_t c) { return c >= 0xDC00 && c < 0xE000; };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (isHigh(c) && i + 1 < text.size() && isLow(text[i + 1])) {
            ++i;
            if (IsInvisibleCharacter(0x10000 + ((c - 0xD800U) << 10U) + (text[i] - 0xDC00U))) {
                return true;
            }
            continue;
        }
        if (c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029 || isHigh(c) ||
            isLow(c) || IsInvisibleCharacter(c)) {
            return true;
        }
    }
    return false;
}

std::string Printable(TextView text, std::size_t limit) {
    std::ostringstream out;
    for (std::size_t i = 0; i < text.size() && i < limit; ++i) {
        const char16_t unit = text[i];
        if (unit >= 0x20 && unit < 0x7F && unit != u'\\') {
            out << static_cast<char>(unit);
        } else {
            out << "\\u{" << std::hex << static_cast<unsigned>(unit) << std::dec << "}";
        }
    }
    if (text.size() > limit) {
        out << "... (" << text.size() << " code units)";
    }
    return out.str();
}

void Fail(const std::string& finding) {
    std::fprintf(stderr, "\n*** FINDING: %s\n", finding.c_str());
    std::fflush(stderr);
    std::abort();
}

}  // namespace brisvane::fuzzing
