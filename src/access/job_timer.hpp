#pragma once
// The one timing object of a job: abortable pauses, deadlines and silence
// time-outs, all measured on the job's clock (the steady clock unless the
// job's link brings its own). Every wait wakes at once when the job is aborted.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "access/clock.hpp"

namespace orlogix {

// Milliseconds on the steady clock (the tick counter of the protocols).
int64_t tick_ms();

// A point in time a job waits for; restart() serves silence time-outs
// (restart whenever bytes arrive).
class Deadline {
public:
    Deadline() = default;
    explicit Deadline(int64_t ms) { restart(ms); }
    Deadline(Clock& clock, int64_t ms) : clock_(&clock) { restart(ms); }
    void restart(int64_t ms) { ms_ = ms; end_ = clock_->now_ms() + ms; }
    void restart() { restart(ms_); }
    bool expired() const { return clock_->now_ms() >= end_; }
    int64_t remaining_ms() const {
        int64_t r = end_ - clock_->now_ms();
        return r > 0 ? r : 0;
    }

private:
    Clock* clock_ = &steady_clock();
    int64_t ms_ = 0;
    int64_t end_ = 0;
};

class JobTimer {
public:
    // Sets the abort flag and wakes every pause.
    void abort();
    bool aborted() const { return aborted_.load(std::memory_order_acquire); }
    // The flag itself, for work that polls it (the flight analysis's halt token).
    const std::atomic<bool>& abort_flag() const { return aborted_; }

    // Sleeps ms milliseconds; false (at once) when the job is or becomes aborted.
    bool pause_ms(int64_t ms);
    // Sleeps until the deadline; false when aborted.
    bool pause_until(const Deadline& d) { return pause_ms(d.remaining_ms()); }
    // Sleeps ms milliseconds even after an abort: the clean-up that brings an
    // instrument back to its command mode needs its pauses whole.
    void settle_ms(int64_t ms);

    // The clock the job's waits run on; set before the job starts.
    void set_clock(Clock& clock) { clock_ = &clock; }
    Clock& clock() const { return *clock_; }
    int64_t now_ms() const { return clock_->now_ms(); }
    Deadline deadline(int64_t ms) const { return Deadline(*clock_, ms); }

private:
    std::atomic<bool> aborted_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    Clock* clock_ = &steady_clock();
};

// Attempts of an identification exchange: the budget (TIMEOUT seconds, 30 by
// default) with one attempt every 2 seconds, an odd second counting as one
// more attempt (15 for 30 s, 3 for 5 s).
inline int identification_attempts(int timeout_seconds) {
    int seconds = timeout_seconds > 0 ? timeout_seconds : 30;
    return (seconds + 1) / 2;
}

}  // namespace orlogix
