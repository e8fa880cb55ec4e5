#include "lookupd/deadline_timer.h"

namespace brisvane::lookupd {

DeadlineTimer::DeadlineTimer() : thread_([this](const std::stop_token& stop) { Run(stop); }) {}

DeadlineTimer::~DeadlineTimer() {
    thread_.request_stop();
    changed_.notify_all();
}

DeadlineTimer::Id DeadlineTimer::Arm(Clock::time_point when, std::function<void()> expire) {
    Id id = 0;
    bool earliest = false;
    {
        const std::lock_guard lock(mutex_);
        id = nextId_++;
        const auto placed = due_.emplace(std::pair(when, id), std::move(expire)).first;
        armed_.emplace(id, when);
        earliest = placed == due_.begin();
    }
    if (earliest) {
        changed_.notify_all();
    }
    return id;
}

void DeadlineTimer::Disarm(Id id) {
    if (id == 0) {
        return;
    }
    std::unique_lock lock(mutex_);
    if (const auto found = armed_.find(id); found != armed_.end()) {
        due_.erase(std::pair(found->second, id));
        armed_.erase(found);
        return;
    }
    if (std::this_thread::get_id() != thread_.get_id()) {
        changed_.wait(lock, [&] { return running_ != id; });
    }
}

void DeadlineTimer::Run(const std::stop_token& stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        if (due_.empty()) {
            changed_.wait(lock, stop, [this] { return !due_.empty(); });
            continue;
        }
        const auto first = due_.begin();
        if (first->first.first > Clock::now()) {
            const Clock::time_point when = first->first.first;
            changed_.wait_until(lock, stop, when, [this, when] {
                return !due_.empty() && due_.begin()->first.first < when;
            });
            continue;
        }
        running_ = first->first.second;
        std::function<void()> expire = std::move(first->second);
        armed_.erase(running_);
        due_.erase(first);
        lock.unlock();
        expire();
        expire = nullptr;
        lock.lock();
        running_ = 0;
        changed_.notify_all();
    }
}

}  // namespace brisvane::lookupd
