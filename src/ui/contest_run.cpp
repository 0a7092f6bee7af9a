#include "ui/contest_run.hpp"

namespace orlogix::ui {

ContestRun::ContestRun(QObject* parent) : QObject(parent) {}

ContestRun::~ContestRun() { stop(); }

void ContestRun::start(std::shared_ptr<const std::vector<TrackPosition>> positions, const ContestRules& rules,
                       double time_limit_seconds) {
    stop();
    halt_ = false;
    running_ = true;
    types_done_ = 0;
    rules_ = &rules;
    result_.reset();
    const unsigned generation = ++generation_;
    // Posted to this object, so that the slots run on its thread; whatever is
    // still queued when the object goes is dropped with it.
    worker_ = std::thread([this, generation, positions = std::move(positions), &rules, time_limit_seconds] {
        ContestOptions options;
        options.time_limit_seconds = time_limit_seconds;
        auto say = [this, generation](std::string_view text) {
            const QString line = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
            QMetaObject::invokeMethod(
                this,
                [this, generation, line] {
                    // Once halted, the types still ending say nothing worth showing.
                    if (generation != generation_ || halt_) return;
                    ++types_done_;
                    emit progress(line);
                },
                Qt::QueuedConnection);
        };
        auto flight = std::make_shared<ScoredFlight>();
        flight->score = score_contest(*positions, rules, options, say, HaltToken(&halt_));
        flight->positions = positions;
        QMetaObject::invokeMethod(
            this,
            [this, generation, flight = std::shared_ptr<const ScoredFlight>(std::move(flight))] {
                if (generation != generation_) return;
                running_ = false;
                result_ = flight;
                emit finished();
            },
            Qt::QueuedConnection);
    });
}

void ContestRun::halt() { halt_ = true; }

void ContestRun::stop() {
    halt_ = true;
    if (worker_.joinable()) worker_.join();
    // A run stopped here never reports: what it queued is stale.
    if (running_) {
        ++generation_;
        running_ = false;
    }
}

}  // namespace orlogix::ui
