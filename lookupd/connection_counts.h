// The HTTP server's count of its open connections, per client address and in all, and the
// caps it answers 503 over.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace brisvane::lookupd {

// Which cap a request is over.
enum class OverCap { kNone, kPerAddress, kTotal };

// A connection counts from its opening to its close, except while it is idle between one
// answer and its next request: a client that closes a connection once answered and opens the
// next at once is not refused because the server has yet to see the first one close. The caps
// are judged when a request arrives, so a connection over one is answered rather than cut.
// Thread-safe.
class ConnectionCounts {
  public:
    // `perAddress` 0: no cap per address.
    ConnectionCounts(unsigned total, unsigned perAddress)
        : total_(total), perAddress_(perAddress) {}

    void Opened(const std::string& address);
    void Closed(const std::string& address, bool idle);
    // The connection has answered a request and waits for the next one.
    void Idle(const std::string& address);
    // A request has arrived on a connection that was idle (`wasIdle`) or new; says which cap
    // counts it over, if any.
    OverCap Requested(const std::string& address, bool wasIdle);

    unsigned Open() const;

  private:
    struct Count {
        unsigned open = 0;
        unsigned idle = 0;
    };

    const unsigned total_;
    const unsigned perAddress_;
    mutable std::mutex mutex_;
    std::unordered_map<std::string, Count> byAddress_;
    Count all_;
};

}  // namespace brisvane::lookupd
