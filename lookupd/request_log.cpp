#include "lookupd/request_log.h"

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
            static constexpr char kHex[] = "0123456789abcdef";
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
    char time[32];
    std::snprintf(time, sizeof time, "%.2fms",  // NOLINT(cert-err33-c)
                  std::chrono::duration<double, std::milli>(elapsed).count());
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
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace brisvane::lookupd
