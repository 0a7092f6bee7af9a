#pragma once
// The optimisation's settings, progress and cancellation; its results are
// plain records in core so that writers can take them.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string_view>

#include "core/flight_records.hpp"

namespace orlogix {

struct OptimisationSettings {
    uint32_t loop_flight_gap = 800;  // metres; 0 switches the loop searches off
    bool no_loop_opt = false;        // the command line's NOLOOPOPT
    unsigned threads = 0;            // worker threads for the triangle search; 0: one per core (at most 2)
};

// Progress line writer; empty when the caller shows no progress.
using ProgressText = std::function<void(std::string_view)>;

// Cooperative cancellation: the owner sets the flag, the analysis polls it.
class HaltToken {
public:
    HaltToken() = default;
    explicit HaltToken(const std::atomic<bool>* flag) : flag_(flag) {}
    bool halted() const { return flag_ != nullptr && flag_->load(std::memory_order_relaxed); }

private:
    const std::atomic<bool>* flag_ = nullptr;
};

inline constexpr int kOptimiseNoMemory = -1;
inline constexpr int kOptimiseHalted = -2;

}  // namespace orlogix
