#include "fuzz/fuzz_input.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string_view>

#include "mount/shown_text.h"
#include "mount/utf8.h"

namespace brisvane::fuzzing {

namespace {

// The lone surrogate that a three-byte sequence ED A0..BF 80..BF encodes, which strict UTF-8
// refuses and this reading keeps.
std::optional<char16_t> EncodedSurrogate(std::string_view bytes) {
    if (bytes.size() < 3) {
        return std::nullopt;
    }
    const auto lead = static_cast<std::uint8_t>(bytes[0]);
    const auto second = static_cast<std::uint8_t>(bytes[1]);
    const auto third = static_cast<std::uint8_t>(bytes[2]);
    if (lead != 0xED || second < 0xA0 || second > 0xBF || third < 0x80 || third > 0xBF) {
        return std::nullopt;
    }
    return static_cast<char16_t>(0xD000U | ((second & 0x3FU) << 6U) | (third & 0x3FU));
}

}  // namespace

Text DecodeText(std::span<const std::uint8_t> bytes) {
    const std::string_view all(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    Text text;
    text.reserve(bytes.size());
    std::size_t i = 0;
    while (i < all.size()) {
        const std::string_view rest = all.substr(i);
        const Utf8Character character = FirstCharacter(rest);
        if (character.codePoint) {
            AppendUtf16(text, *character.codePoint);
            i += character.length;
        } else if (const std::optional<char16_t> surrogate = EncodedSurrogate(rest)) {
            text.push_back(*surrogate);
            i += 3;
        } else {
            text.push_back(static_cast<char16_t>(bytes[i]));
            ++i;
        }
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
