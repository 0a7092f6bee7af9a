#include "support/sim_kit.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "core/file_read.hpp"
#include "formats/igc/reader.hpp"

#include "core/units.hpp"

namespace orlogix::test {

sim::FaultSettings silent() {
    sim::FaultSettings f;
    f.silent = true;
    return f;
}

sim::FaultSettings corrupt_reply(std::size_t reply) {
    sim::FaultSettings f;
    f.corrupt_reply = reply;
    return f;
}

sim::FaultSettings drop_reply(std::size_t reply) {
    sim::FaultSettings f;
    f.drop_reply = reply;
    return f;
}

bool Uploads::has(const std::string& line) const {
    const auto l = lines();
    return std::find(l.begin(), l.end(), line) != l.end();
}

bool Uploads::wait_for(std::size_t n) const { return log_.wait_for(n, std::chrono::seconds(5)); }

MemorySim::MemorySim(std::unique_ptr<sim::Instrument> instrument, sim::FaultSettings faults)
    : instrument_(std::move(instrument)), runner_(*instrument_), link_(std::make_shared<MemoryLink>(runner_)) {
    instrument_->set_faults(faults);
    instrument_->set_report_sink(uploads.sink());
}

std::unique_ptr<JobContext> MemorySim::job(Reporter& reporter, AccessType access, ProtocolType protocol) {
    auto ctx = std::make_unique<JobContext>(reporter, access, protocol, "memory");
    ctx->set_link(link_);
    return ctx;
}

LinkFactory MemorySim::factory() {
    return [link = link_](const JobContext&) -> std::shared_ptr<Link> { return link; };
}

PtySim::PtySim(std::unique_ptr<sim::Instrument> instrument, sim::FaultSettings faults) {
    instrument->set_faults(faults);
    instrument->set_report_sink(uploads.sink());
    harness_ = std::make_unique<sim::Harness>(std::move(instrument));
    started_ = harness_->start() == 0;
    EXPECT_TRUE(started_) << "no pseudo-terminal";
}

std::unique_ptr<JobContext> PtySim::job(Reporter& reporter, AccessType access, ProtocolType protocol) {
    return std::make_unique<JobContext>(reporter, access, protocol, device_path());
}

std::vector<TrackPosition> load_flight(const std::string& relative_path) {
    std::string bytes;
    EXPECT_EQ(read_file(std::string(ORLOGIX_TEST_DATA) + "/" + relative_path, bytes), 0) << relative_path;
    IgcParsed parsed;
    IgcParseError err;
    EXPECT_GT(parse_igc(bytes, parsed, err), 0) << relative_path << ": " << err.text;
    return parsed.positions;
}

Waypoint waypoint_at(const std::string& comment, double lat, double lon, int height, const std::string& id,
                     int airfield) {
    Waypoint w;
    w.identifier = id;
    w.comment = comment;
    SemicirclePair sc;
    degrees_to_semicircles(lat, lon, sc);
    w.latitude = sc.latitude;
    w.longitude = sc.longitude;
    w.height = height;
    w.airfield = airfield;
    return w;
}

}  // namespace orlogix::test
