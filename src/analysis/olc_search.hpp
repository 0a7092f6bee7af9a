#pragma once
// OLC scoring of a flight: free distance over five points, free and FAI
// triangles with the 20 % closing rule, plus the 2-point distance and the
// out-and-return shown for information. Runs on a worker with halt and
// progress counters that a dialog timer reads.
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "analysis/optimisation_results.hpp"
#include "core/records.hpp"

namespace orlogix {

struct OlcScore {
    bool found = false;
    std::array<uint32_t, 5> index{};  // position indices: start, turn points, end
    std::array<double, 4> legs{};     // metres (triangles: TP1-TP2, TP2-TP3, TP3-TP1, then the gap)
    double total = 0.0;               // metres: distance, or sides - gap for triangles
    double points = 0.0;
};

enum class OlcBest { None, FreeDistance, FreeTriangle, FaiTriangle };

struct OlcResults {
    OlcScore two;             // "MAX. DISTANCE" (not an OLC parameter)
    OlcScore free_distance;   // five points
    OlcScore out_and_return;  // start, turn, end (not an OLC parameter)
    OlcScore free_triangle;   // start, TP1, TP2, TP3, end
    OlcScore fai_triangle;
    OlcBest best = OlcBest::None;
    std::array<uint32_t, 5> olc_points{};  // w0..w4
    std::string best_text;
};

inline constexpr int32_t kOlcOutAndReturnGap = 400;  // metres, fixed

// Free distance F, free triangle T and FAI triangle A: F wins when above both,
// T when at least F and above A, else A.
OlcBest choose_best(double free_distance, double free_triangle, double fai_triangle);
std::string best_text(OlcBest best, double points);

// The progress a dialog timer shows: done and total in work units.
struct OlcProgress {
    std::atomic<double> done{0.0};
    std::atomic<double> total{0.0};
};
// "%d %%" of done / total, "Done:" above 99 %, "" while the total is 0.
std::string progress_text(double done, double total);

// The whole search. 0 when completed, kOptimiseHalted or kOptimiseNoMemory
// (status has then received the step's own message). status may be empty.
int olc_search(const std::vector<TrackPosition>& positions, OlcResults& results, const ProgressText& status,
               const HaltToken& halt, OlcProgress* progress = nullptr, unsigned threads = 0);

// The dialog's worker: owns the positions while it runs, halts and joins before they go.
class OlcSession {
public:
    OlcSession() = default;
    OlcSession(const OlcSession&) = delete;
    OlcSession& operator=(const OlcSession&) = delete;
    ~OlcSession();

    // Needs at least 5 positions ("Number of positions must be 5 or more"). 0, or -1.
    int start(Reporter& r, std::vector<TrackPosition> positions, ProgressText status);
    void halt() { halt_ = true; }
    // "E&xit": halts and waits for the worker.
    void stop();
    bool finished() const { return finished_.load(); }
    const OlcProgress& progress() const { return progress_; }
    // Valid once finished.
    const OlcResults& results() const { return results_; }
    const std::vector<TrackPosition>& positions() const { return positions_; }

private:
    std::vector<TrackPosition> positions_;
    OlcResults results_;
    OlcProgress progress_;
    std::atomic<bool> halt_{false};
    std::atomic<bool> finished_{false};
    std::thread worker_;
};

}  // namespace orlogix
