#pragma once
// Simulated instruments for the family tests: on the in-memory link (the
// usual case, no real waiting) or on a pseudo-terminal (a family's one
// end-to-end run through the termios link), with what the instrument
// reports collected; the instrument fault switches by name; real flights.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "access/job_context.hpp"
#include "access/memory_link.hpp"
#include "core/records.hpp"
#include "sim/harness.hpp"
#include "sim/instrument.hpp"
#include "sim/memory_runner.hpp"
#include "sim/upload_log.hpp"

namespace orlogix::test {

// A waypoint at a place given in degrees.
Waypoint waypoint_at(const std::string& comment, double lat, double lon, int height, const std::string& id = {},
                     int airfield = 0);

// The instrument's fault switches; reply numbers count from 1.
sim::FaultSettings silent();
sim::FaultSettings corrupt_reply(std::size_t reply);
sim::FaultSettings drop_reply(std::size_t reply);

// Lines the instrument reported (uploads, commands it saw).
class Uploads {
public:
    std::vector<std::string> lines() const { return log_.lines(); }
    bool has(const std::string& line) const;
    bool wait_for(std::size_t n) const;   // a few seconds at most; for the pseudo-terminal
    sim::ReportSink sink() { return log_.sink(); }

private:
    sim::UploadLog log_;
};

// An instrument joined to jobs by the in-memory link, on its simulated clock.
class MemorySim {
public:
    explicit MemorySim(std::unique_ptr<sim::Instrument> instrument, sim::FaultSettings faults = {});
    MemorySim(const MemorySim&) = delete;
    MemorySim& operator=(const MemorySim&) = delete;

    sim::Instrument& instrument() { return *instrument_; }
    MemoryLink& link() { return *link_; }
    int64_t now_ms() { return link_->clock().now_ms(); }
    // A context for one job, on this instrument's link.
    std::unique_ptr<JobContext> job(Reporter& reporter, AccessType access, ProtocolType protocol);
    // For a job framework: every job it starts talks to this instrument.
    LinkFactory factory();

    Uploads uploads;

private:
    std::unique_ptr<sim::Instrument> instrument_;
    sim::MemoryRunner runner_;
    std::shared_ptr<MemoryLink> link_;
};

// An instrument served on a pseudo-terminal by its own thread, as orlogix-sim does.
class PtySim {
public:
    explicit PtySim(std::unique_ptr<sim::Instrument> instrument, sim::FaultSettings faults = {});
    PtySim(const PtySim&) = delete;
    PtySim& operator=(const PtySim&) = delete;

    bool started() const { return started_; }
    const std::string& device_path() const { return harness_->device_path(); }
    sim::Runner& runner() { return harness_->runner(); }
    void stop() { harness_->stop(); }
    // A context for one job on the pseudo-terminal's device.
    std::unique_ptr<JobContext> job(Reporter& reporter, AccessType access, ProtocolType protocol);

    Uploads uploads;

private:
    std::unique_ptr<sim::Harness> harness_;
    bool started_ = false;
};

// The fixes of an IGC file below tests/data, e.g. "flights/tri.igc".
std::vector<TrackPosition> load_flight(const std::string& relative_path);

}  // namespace orlogix::test
