#pragma once
// The contest score of a flight on a worker thread of its own, for the
// windows that show it: progress and the result come back through the event
// loop, a halt ends the search with the best found so far, and the worker is
// always joined before the run goes.
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "analysis/contest/contest_solver.hpp"
#include "core/records.hpp"

namespace orlogix::ui {

// A finished score and the fixes its indices refer to.
struct ScoredFlight {
    std::shared_ptr<const std::vector<TrackPosition>> positions;
    ContestScore score;
};

class ContestRun : public QObject {
    Q_OBJECT
public:
    explicit ContestRun(QObject* parent = nullptr);
    ~ContestRun() override;

    // Scores positions under rules, within the time limit (0: none). A run
    // still going is halted and joined first; its result never arrives.
    void start(std::shared_ptr<const std::vector<TrackPosition>> positions, const ContestRules& rules,
               double time_limit_seconds = 0.0);
    // The search stops soon; finished() follows with the best found (halted).
    void halt();
    // Halts and waits for the worker.
    void stop();
    bool running() const { return running_; }
    // The last finished run's result, or nullptr.
    std::shared_ptr<const ScoredFlight> result() const { return result_; }
    const ContestRules* rules() const { return rules_; }
    int types_done() const { return types_done_; }

signals:
    // A flight type is done ("FAI triangle: 166.21"); none after a halt.
    void progress(const QString& line);
    void finished();

private:
    std::thread worker_;
    std::atomic<bool> halt_{false};
    unsigned generation_ = 0;  // results of an earlier run are dropped
    bool running_ = false;
    int types_done_ = 0;
    const ContestRules* rules_ = nullptr;
    std::shared_ptr<const ScoredFlight> result_;
};

}  // namespace orlogix::ui
