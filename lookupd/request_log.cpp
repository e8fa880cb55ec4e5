#include "lookupd/request_log.h"

#include <array>
#include <charconv>
#include <cstdio>

namespace brisvane::lookupd {

std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20U || byte == 0x7FU) {
            static constexpr std::string_view kHex = "0123456789abcdef";
            out += "\\x";
            out += kHex[byte >> 4U];
            out += kHex[byte & 0xFU];
        } else {
            out += c;
        }
    }
    return out + "\"";
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
    const std::lock_guard lock(mutex_);
    // Nothing useful is left to do when standard output fails.
    static_cast<void>(std::fwrite(line.data(), 1, line.size(), stdout));
    static_cast<void>(std::fputc('\n', stdout));
    static_cast<void>(std::fflush(stdout));
}

}  // namespace brisvane::lookupd
