// The service's log: one line per request on standard output (journald keeps it), and a line
// for each event of the service itself.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <string_view>

#include "lookupd/lookup_handler.h"

namespace brisvane::lookupd {

// One escaping rule for every line of the log, so that nothing a client, the directory or a
// file sends can start a line of its own, hide, reorder or colour what the log shows, and every
// line reads the same in a terminal, the journal and a file:
//  - a character that acts on the display (ActsOnTheDisplay in mount/shown_text.h: controls,
//    DEL, line and paragraph separators, bidirectional controls and the other invisible
//    characters) is written "\u{" and its value in lower-case hexadecimal and "}": "\u{a}",
//    "\u{85}", "\u{202e}";
//  - a byte outside well-formed UTF-8 is written "\x" and its two hexadecimal digits: "\xff";
//  - within a quoted value, '"' is written "\"" and '\' "\\": the value ends at the first '"'
//    that is not part of an escape, and spaces and '=' inside it split nothing.

// "lookup status=200 outcome=found time=1.24ms client=127.0.0.1", then user="..." when
// `withUsername` (and the request had a name), then warning="..." when there is one: fields
// "name=value" joined by spaces, the values from outside quoted.
std::string FormatRequestLine(const HttpResponse& response, std::chrono::nanoseconds elapsed,
                              std::string_view clientAddress, bool withUsername);

// `text` in double quotes, escaped as a quoted value.
std::string Quoted(std::string_view text);

// `line` with its characters and bytes escaped as the log writes them; '"' and '\' stay, so a
// line whose values are already quoted comes back unchanged.
std::string EscapedLine(std::string_view line);

class Log {
  public:
    // Writes `line`, escaped (EscapedLine), and a line feed to standard output at once, whole.
    void Line(std::string_view line);

  private:
    std::mutex mutex_;
};

}  // namespace brisvane::lookupd
