#pragma once
// Where a job's time comes from. The serial link runs on the steady clock;
// the in-memory link runs on a clock that moves only when someone waits, so
// a 30-second identification budget or a 10-second silence passes at once.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace orlogix {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start.
    virtual int64_t now_ms() const = 0;
    // Lets ms pass for a caller that holds lock; returns early when cv is
    // notified and stop() holds.
    virtual void wait_ms(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, int64_t ms,
                         const std::function<bool()>& stop) = 0;
};

// The steady clock: real time, shared by everyone.
Clock& steady_clock();

// Simulated time: a wait moves the time on by its length and returns at once
// (unless stop() already holds). Safe to use from several threads.
class ManualClock : public Clock {
public:
    int64_t now_ms() const override { return now_.load(std::memory_order_acquire); }
    void wait_ms(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, int64_t ms,
                 const std::function<bool()>& stop) override;
    void advance(int64_t ms) {
        if (ms > 0) now_.fetch_add(ms, std::memory_order_acq_rel);
    }

private:
    std::atomic<int64_t> now_{0};
};

}  // namespace orlogix
