#include "lookupd/request_log.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>

#include "mount/shown_text.h"
#include "mount/utf8.h"

namespace brisvane::lookupd {

namespace {

constexpr std::string_view kHexDigits = "0123456789abcdef";

// Appends `text` escaped as the log writes it; in a quoted value, '"' and '\\' too.
void AppendEscaped(std::string& out, std::string_view text, bool quotedValue) {
    while (!text.empty()) {
        const char first = text.front();
        if (quotedValue && (first == '"' || first == '\\')) {
            out += '\\';
            out += first;
            text.remove_prefix(1);
            continue;
        }
        const Utf8Character character = FirstCharacter(text);
        if (!character.codePoint) {
            const auto byte = static_cast<unsigned char>(first);
            out += "\\x";
            out += kHexDigits[byte >> 4U];
            out += kHexDigits[byte & 0xFU];
        } else if (ActsOnTheDisplay(*character.codePoint)) {
            std::array<char, 8> digits{};
            const auto written =
                std::to_chars(digits.data(), digits.data() + digits.size(),
                              static_cast<std::uint32_t>(*character.codePoint), 16);
            out += "\\u{";
            out.append(digits.data(), written.ptr);
            out += '}';
        } else {
            out += text.substr(0, character.length);
        }
        text.remove_prefix(character.length);
    }
}

}  // namespace

std::string Quoted(std::string_view text) {
    std::string out = "\"";
    AppendEscaped(out, text, true);
    return out + "\"";
}

std::string EscapedLine(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    AppendEscaped(out, line, false);
    return out;
}

std::string FormatRequestLine(const HttpResponse& response, std::chrono::nanoseconds elapsed,
                              std::string_view clientAddress, bool withUsername) {
    std::array<char, 32> digits{};
    const double milliseconds = std::chrono::duration<double, std::milli>(elapsed).count();
    const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), milliseconds,
                                       std::chars_format::fixed, 2);
    const std::string time = std::string(digits.data(), written.ptr) + "ms";
    std::string line = "lookup status=" + std::to_string(response.status) +
                       " outcome=" + std::string(OutcomeName(response.outcome)) + " time=" + time +
                       " client=" + std::string(clientAddress);
    if (withUsername && !response.username.empty()) {
        line += " user=" + Quoted(response.username);
    }
    if (!response.warning.empty()) {
        line += " warning=" + Quoted(response.warning);
    }
    return line;
}

void Log::Line(std::string_view line) {
    const std::string escaped = EscapedLine(line);
    const std::lock_guard lock(mutex_);
    // Nothing useful is left to do when standard output fails.
    static_cast<void>(std::fwrite(escaped.data(), 1, escaped.size(), stdout));
    static_cast<void>(std::fputc('\n', stdout));
    static_cast<void>(std::fflush(stdout));
}

}  // namespace brisvane::lookupd
