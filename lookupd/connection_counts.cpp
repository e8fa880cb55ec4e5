#include "lookupd/connection_counts.h"

namespace brisvane::lookupd {

void ConnectionCounts::Opened(const std::string& address) {
    const std::lock_guard lock(mutex_);
    ++byAddress_[address].open;
    ++all_.open;
}

void ConnectionCounts::Closed(const std::string& address, bool idle) {
    const std::lock_guard lock(mutex_);
    --all_.open;
    all_.idle -= idle ? 1 : 0;
    const auto found = byAddress_.find(address);
    if (found == byAddress_.end()) {
        return;
    }
    found->second.idle -= idle ? 1 : 0;
    if (--found->second.open == 0) {
        byAddress_.erase(found);
    }
}

void ConnectionCounts::Idle(const std::string& address) {
    const std::lock_guard lock(mutex_);
    ++byAddress_[address].idle;
    ++all_.idle;
}

OverCap ConnectionCounts::Requested(const std::string& address, bool wasIdle) {
    const std::lock_guard lock(mutex_);
    Count& count = byAddress_[address];
    if (wasIdle) {
        --count.idle;
        --all_.idle;
    }
    if (perAddress_ > 0 && count.open - count.idle > perAddress_) {
        return OverCap::kPerAddress;
    }
    if (all_.open - all_.idle > total_) {
        return OverCap::kTotal;
    }
    return OverCap::kNone;
}

unsigned ConnectionCounts::Open() const {
    const std::lock_guard lock(mutex_);
    return all_.open;
}

}  // namespace brisvane::lookupd
