#pragma once
// Results of the distance optimisation: position indices into the analysed
// array and ellipsoidal lengths in metres. Zeros mean "not found / not run".
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string_view>

namespace orlogix {

// Free distance over 2..5 points (the count is the slot it is stored in).
struct PathResult {
    std::array<uint32_t, 5> index{};
    std::array<double, 4> legs{};
    double total = 0.0;
};

struct OutAndReturnResult {
    uint32_t start = 0, turn = 0, end = 0;
    double leg = 0.0;    // start - turn
    double gap = 0.0;    // start - end
    double score = 0.0;  // 2 x leg - gap
};

struct TriangleResult {
    uint32_t start = 0, tp1 = 0, tp2 = 0, tp3 = 0, end = 0;
    std::array<double, 3> sides{};  // TP1-TP2, TP2-TP3, TP3-TP1
    double gap = 0.0;               // start - end
    double score = 0.0;             // sides - gap
};

struct OptimisationResults {
    PathResult two, three, four, five;
    OutAndReturnResult out_and_return;
    TriangleResult flat, fai;
};

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
