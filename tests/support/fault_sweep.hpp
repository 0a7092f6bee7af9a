#pragma once
// The fault sweep: one transfer run again and again through the job
// framework against a fresh simulated instrument on the in-memory link, the
// line cut after N bytes (or the byte at N spoiled) for each N asked for.
// Each run must end, on simulated time: with an error report and the
// current data as they were, or, where the fault spared everything the
// program needed, with the whole transfer done.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "access/dispatch.hpp"
#include "access/job_framework.hpp"
#include "access/memory_link.hpp"
#include "core/current_data.hpp"
#include "sim/instrument.hpp"

namespace orlogix::test {

struct SweepCase {
    // A fresh instrument for every run.
    std::function<std::unique_ptr<sim::Instrument>()> instrument;
    const RoutineRegistry* routines = nullptr;
    AccessType access = AccessType::ReadTrackLog;
    ProtocolType protocol = ProtocolType::GarminSerial;
    Completion completion = Completion::None;
    JobParams params;
    JobOptions options;
    // True when the transfer arrived whole: in the current data (downloads)
    // or in what the instrument reported (uploads).
    std::function<bool(const CurrentData&, const std::vector<std::string>& uploads)> complete;
};

struct SweepRun {
    bool ended = false;          // within the real-time guard
    bool failed = false;         // the job's failure flag
    int errors = 0;              // error boxes shown
    std::string error;           // the last one's text
    bool data_unchanged = false;
    bool complete = false;
    // The clean run only (no faults):
    std::string exchange;              // every byte that crossed the line
    std::size_t last_reply_byte = 0;   // index of the last byte the instrument sent
};

class FaultSweep {
public:
    explicit FaultSweep(SweepCase c) : case_(std::move(c)) {}

    // One run with these line faults (none: the clean run).
    SweepRun run(const LineFaults& faults = {}) const;
    // Cuts after each position (and spoils each, when asked) and returns a
    // line for every run that broke the rules; empty when all held.
    std::vector<std::string> sweep(const std::vector<std::size_t>& positions, bool spoil) const;

private:
    SweepCase case_;
};

// The cut positions of an IGC download's exchange: those right after a line
// end (a byte of `ends`) from after the first B-record up to the G-record,
// where a cut leaves a shorter unsigned track, and all the others.
struct IgcCutPositions {
    std::vector<std::size_t> line_ends, others;
};
IgcCutPositions igc_cut_positions(const std::string& exchange, std::string_view ends = "\n");

// from, from + step, ... below to.
std::vector<std::size_t> sweep_positions(std::size_t from, std::size_t to, std::size_t step = 1);

}  // namespace orlogix::test
