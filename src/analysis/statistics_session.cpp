#include "analysis/statistics_session.hpp"

#include <cerrno>

#include "analysis/optimise.hpp"
#include "analysis/track_filters.hpp"

namespace orlogix {

namespace {
constexpr const char* kInitTitle = "Initialize track statistics dialog box";
}

StatisticsSession::~StatisticsSession() { stop(); }

int StatisticsSession::prepare(Reporter& r, long long count, std::vector<TrackPosition> selection,
                               const TrackLogHeader& header, const StatisticsSettings& settings,
                               const CalendarTime& now) {
    stop();
    settings_ = settings;
    if (count < 0) {
        system_error_box(r, "Track log memory allocation", ENOMEM);
        return -1;
    }
    if (count == 0 || selection.empty()) {
        r.error_box(kInitTitle, "No position(s) selected");
        return -1;
    }
    if (selection.size() < 10) {
        r.error_box(kInitTitle, "Too few positions selected");
        return -1;
    }
    const std::size_t removed = vario_filter(selection, settings.vario_filter);
    if (removed > 0)
        r.notice_box("Vario filter",
                     strformat("%d positions have been removed due to vario filtering", static_cast<int>(removed)));
    if (settings.log_filter) {
        const std::size_t before = selection.size();
        const std::size_t kept = speed_analysis(selection);
        if (kept <= 9) {
            r.error_box(kInitTitle, "Too few positions left after track speed analysis");
            return -1;
        }
        if (kept != before) r.notice_box("Track speed analysis", "Position(s) have been removed during track speed analysis");
    }
    stats_ = FlightStatistics{};
    stats_.positions = std::move(selection);
    fill_statistics(stats_, header, now);
    return 0;
}

void StatisticsSession::start(Reporter& r, ProgressText status) {
    stop();
    halt_ = false;
    finished_ = false;
    status_ = std::move(status);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        fields_.clear();
    }
    worker_ = std::thread([this, &r] {
        OptimisationResults results;
        const int rc = optimise_track(stats_.positions, settings_.optimisation, results, status_, HaltToken(&halt_));
        if (rc == kOptimiseNoMemory) {
            r.error_box("Analysing track", "Memory allocation error");
            return;
        }
        if (rc != 0) return;  // halted: no results
        stats_.results = results;
        std::vector<std::string> fields = result_texts(results);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            fields_ = std::move(fields);
        }
        finished_ = true;
    });
}

void StatisticsSession::halt() {
    halt_ = true;
    if (!finished_ && status_) status_("Computation halted");
}

void StatisticsSession::stop() {
    halt_ = true;
    if (worker_.joinable()) worker_.join();
}

int StatisticsSession::check_save(Reporter& r) const {
    if (finished_) return 0;
    r.error_box("Save track log", "Statistics not yet finished");
    return -1;
}

std::vector<std::string> StatisticsSession::result_fields() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fields_;
}

}  // namespace orlogix
