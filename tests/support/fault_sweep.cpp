#include "support/fault_sweep.hpp"

#include <chrono>

#include "access/event_loop.hpp"
#include "support/recording_reporter.hpp"
#include "support/sim_kit.hpp"

namespace orlogix::test {

namespace {

constexpr std::size_t kShownProblems = 12;

// The current data before every run; a failed run must leave them so.
void fill_previous(CurrentData& data) {
    data.track_log.positions.assign(7, TrackPosition{});
    for (std::size_t i = 0; i < 7; ++i) data.track_log.positions[i].time = 1000 + static_cast<uint32_t>(i);
    data.track_log.header.product_name = "Previous";
    std::vector<Waypoint> w(3);
    w[0].identifier = "PREV";
    data.waypoints.replace(std::move(w));
}

bool still_previous(const CurrentData& data) {
    CurrentData previous;
    fill_previous(previous);
    const auto& got = data.track_log.positions;
    if (got.size() != previous.track_log.positions.size()) return false;
    for (std::size_t i = 0; i < got.size(); ++i)
        if (got[i].time != previous.track_log.positions[i].time) return false;
    return data.track_log.header.product_name == "Previous" && data.waypoints.size() == 3 &&
           data.waypoints[0].identifier == "PREV";
}

}  // namespace

SweepRun FaultSweep::run(const LineFaults& faults) const {
    RecordingReporter reporter;
    HeadlessEventLoop loop;
    CurrentData data;
    fill_previous(data);
    MemorySim sim(case_.instrument());
    sim.link().set_faults(faults);

    SweepRun out;
    {
        JobFramework jobs(reporter, loop, data, *case_.routines);
        jobs.set_link_factory(sim.factory());
        if (jobs.start_job(case_.access, case_.protocol, case_.completion, case_.params, case_.options) != 0)
            return out;
        // Simulated time: a run that has not ended after this long never will.
        out.ended = loop.run_until([&] { return !jobs.busy() && !jobs.job_registered(); }, std::chrono::seconds(20));
        out.failed = jobs.failed();
        jobs.shutdown();
        loop.run_pending();
    }
    out.errors = reporter.count("error");
    out.error = reporter.last_error().text;
    out.data_unchanged = still_previous(data);
    out.complete = case_.complete && case_.complete(data, sim.uploads.lines());
    if (faults.cut_after || faults.spoil_at) return out;
    out.exchange = sim.link().exchange();
    std::size_t at = 0;
    for (const Crossing& c : sim.link().transcript()) {
        at += c.bytes.size();
        if (!c.from_program) out.last_reply_byte = at - 1;
    }
    return out;
}

std::vector<std::string> FaultSweep::sweep(const std::vector<std::size_t>& cut_positions, bool spoil) const {
    const SweepRun clean = run();
    std::vector<std::string> problems;
    if (!clean.ended || clean.failed || !clean.complete) {
        problems.push_back("the clean run failed: " + clean.error);
        return problems;
    }
    auto check = [&](std::size_t n, bool spoiled, const SweepRun& r) {
        const std::string where = (spoiled ? "spoiled at " : "cut after ") + std::to_string(n) + ": ";
        if (!r.ended) {
            problems.push_back(where + "did not end");
            return false;
        }
        // A cut that spares every reply only loses the program's last words.
        const bool must_fail = !spoiled && n <= clean.last_reply_byte;
        if (r.failed) {
            if (r.errors == 0) problems.push_back(where + "failed without an error report");
            if (!r.data_unchanged) problems.push_back(where + "failed (" + r.error + ") but changed the data");
        } else {
            if (must_fail) problems.push_back(where + "succeeded");
            if (r.errors > 0) problems.push_back(where + "succeeded after reporting " + r.error);
            if (!r.complete) problems.push_back(where + "succeeded but the transfer is incomplete");
        }
        return true;
    };
    std::size_t left = 0;
    for (std::size_t n : cut_positions) {
        // A dozen problems say enough.
        if (problems.size() > kShownProblems) {
            ++left;
            continue;
        }
        if (n >= clean.exchange.size()) continue;
        LineFaults cut;
        cut.cut_after = n;
        if (!check(n, false, run(cut))) break;
        if (!spoil) continue;
        LineFaults spoiled;
        spoiled.spoil_at = n;
        if (!check(n, true, run(spoiled))) break;
    }
    if (left > 0) problems.push_back("stopped with " + std::to_string(left) + " positions left");
    return problems;
}

std::vector<std::size_t> sweep_positions(std::size_t from, std::size_t to, std::size_t step) {
    std::vector<std::size_t> out;
    for (std::size_t n = from; n < to; n += step) out.push_back(n);
    return out;
}

IgcCutPositions igc_cut_positions(const std::string& exchange, std::string_view ends) {
    const std::size_t first_b = exchange.find("\nB") + 1, g = exchange.rfind("\nG") + 1;
    IgcCutPositions out;
    for (std::size_t n = 0; n < exchange.size(); ++n) {
        const bool line_end = n > first_b && n <= g && ends.find(exchange[n - 1]) != std::string_view::npos;
        (line_end ? out.line_ends : out.others).push_back(n);
    }
    return out;
}

}  // namespace orlogix::test
