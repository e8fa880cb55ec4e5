// The service's log: one line per request on standard output (journald keeps it), and a line
// for each event of the service itself.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <string_view>

#include "lookupd/lookup_handler.h"

namespace brisvane::lookupd {

// "lookup status=200 outcome=found time=1.24ms client=127.0.0.1", then user="..." when
// `withUsername` (and the request had a name), then warning="..." when there is one. Quoted
// values have '"', '\' and control characters escaped, so one request is always one line.
std::string FormatRequestLine(const HttpResponse& response, std::chrono::nanoseconds elapsed,
                              std::string_view clientAddress, bool withUsername);

// `text` in double quotes, with '"', '\' and bytes below 0x20 or 0x7F escaped.
std::string Quoted(std::string_view text);

class Log {
  public:
    // Writes `line` and a line feed to standard output at once, whole.
    void Line(std::string_view line);

  private:
    std::mutex mutex_;
};

}  // namespace brisvane::lookupd
