#pragma once
// The engine behind the "Flight statistics" dialog: checks and filters the
// selection, fills the statistics, runs the optimisation on a worker thread
// with halt and finished flags. No window code: the dialog drives it.
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "analysis/flight_statistics.hpp"
#include "analysis/optimisation_results.hpp"
#include "core/report.hpp"

namespace orlogix {

struct StatisticsSettings {
    uint32_t vario_filter = 0;  // m/s, 0 off
    bool log_filter = true;     // track speed analysis
    OptimisationSettings optimisation;
};

class StatisticsSession {
public:
    StatisticsSession() = default;
    StatisticsSession(const StatisticsSession&) = delete;
    StatisticsSession& operator=(const StatisticsSession&) = delete;
    // Halts and joins the worker before the positions go away.
    ~StatisticsSession();

    // Takes the selection copy (count: its size, or -1 when it could not be
    // made), runs the filters and the statistics. 0 to show the dialog, -1 to close it.
    int prepare(Reporter& r, long long count, std::vector<TrackPosition> selection, const TrackLogHeader& header,
                const StatisticsSettings& settings, const CalendarTime& now);

    // Starts the optimisation worker; status receives the progress line on the
    // worker's thread and, from halt(), on the caller's: it must take both.
    // A worker still running is halted and joined first.
    void start(Reporter& r, ProgressText status);
    // "&Halt computation": sets the halt flag; "Computation halted" on the status while unfinished.
    void halt();
    // Halts and waits for the worker (the dialog's exit).
    void stop();
    bool finished() const { return finished_.load(); }
    // 0 when the statistics may be saved; else "Statistics not yet finished".
    int check_save(Reporter& r) const;

    const FlightStatistics& statistics() const { return stats_; }
    // The seven result field texts, once finished.
    std::vector<std::string> result_fields() const;

private:
    FlightStatistics stats_;
    StatisticsSettings settings_;
    std::thread worker_;
    std::atomic<bool> halt_{false};
    std::atomic<bool> finished_{false};
    ProgressText status_;
    mutable std::mutex mutex_;
    std::vector<std::string> fields_;
};

}  // namespace orlogix
