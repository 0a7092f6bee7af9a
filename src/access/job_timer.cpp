#include "access/job_timer.hpp"

namespace orlogix {

int64_t tick_ms() { return steady_clock().now_ms(); }

void JobTimer::abort() {
    {
        // Taking the mutex orders the flag with a waiter's predicate check.
        std::lock_guard lock(mutex_);
        aborted_.store(true, std::memory_order_release);
    }
    wake_.notify_all();
}

bool JobTimer::pause_ms(int64_t ms) {
    std::unique_lock lock(mutex_);
    if (ms > 0 && !aborted()) clock_->wait_ms(lock, wake_, ms, [this] { return aborted(); });
    return !aborted();
}

void JobTimer::settle_ms(int64_t ms) {
    std::unique_lock lock(mutex_);
    if (ms > 0) clock_->wait_ms(lock, wake_, ms, [] { return false; });
}

}  // namespace orlogix
