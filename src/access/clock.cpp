#include "access/clock.hpp"

#include <chrono>

namespace orlogix {

namespace {

class SteadyClock : public Clock {
public:
    int64_t now_ms() const override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    void wait_ms(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, int64_t ms,
                 const std::function<bool()>& stop) override {
        if (ms > 0) cv.wait_for(lock, std::chrono::milliseconds(ms), stop);
    }
};

}  // namespace

Clock& steady_clock() {
    static SteadyClock clock;
    return clock;
}

void ManualClock::wait_ms(std::unique_lock<std::mutex>&, std::condition_variable&, int64_t ms,
                          const std::function<bool()>& stop) {
    if (!stop || !stop()) advance(ms);
}

}  // namespace orlogix
