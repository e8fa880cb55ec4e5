// Runs short actions at given times on a thread of its own: the service's deadlines (a request
// that takes too long to arrive, an answer that is overdue, a directory step that hangs).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>

namespace brisvane::lookupd {

class DeadlineTimer {
  public:
    using Clock = std::chrono::steady_clock;
    using Id = std::uint64_t;  // 0 is never an armed deadline

    DeadlineTimer();
    // Drops the deadlines still armed, without running them.
    ~DeadlineTimer();
    DeadlineTimer(const DeadlineTimer&) = delete;
    DeadlineTimer& operator=(const DeadlineTimer&) = delete;
    DeadlineTimer(DeadlineTimer&&) = delete;
    DeadlineTimer& operator=(DeadlineTimer&&) = delete;

    // Runs `expire` on the timer's thread at `when` (at once if it has passed), unless disarmed
    // before. `expire` must be short; it may arm and disarm deadlines itself.
    Id Arm(Clock::time_point when, std::function<void()> expire);

    // Once this returns, the deadline's action neither runs nor will run (it waits for an action
    // that has started, unless called from that action). Disarming 0 or a deadline that has run
    // does nothing.
    void Disarm(Id id);

  private:
    void Run(const std::stop_token& stop);

    std::mutex mutex_;
    std::condition_variable_any changed_;
    std::map<std::pair<Clock::time_point, Id>, std::function<void()>> due_;
    std::unordered_map<Id, Clock::time_point> armed_;
    Id nextId_ = 1;
    Id running_ = 0;       // the deadline whose action runs now
    std::jthread thread_;  // last: stopped and joined before the members above go
};

}  // namespace brisvane::lookupd
