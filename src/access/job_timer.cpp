#include "access/job_timer.hpp"

namespace orlogix {

int64_t tick_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

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
    if (ms > 0) wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return aborted(); });
    return !aborted();
}

}  // namespace orlogix
