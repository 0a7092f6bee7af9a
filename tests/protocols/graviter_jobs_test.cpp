// The Graviter job routines against the simulated variometer on the
// in-memory link, on simulated time: the identification, the memory dump of
// real flights in every memory case, the owner name, the faults and the
// fault sweep over a dump.
#include <gtest/gtest.h>

#include <cstdlib>

#include "access/job_runner.hpp"
#include "core/units.hpp"
#include "protocols/graviter/jobs.hpp"
#include "sim/graviter/graviter_instrument.hpp"
#include "support/fault_sweep.hpp"
#include "support/recording_reporter.hpp"
#include "support/sim_kit.hpp"

namespace orlogix::graviter {
namespace {

using sim::GraviterConfig;
using sim::GraviterFlight;

GraviterFlight flight(const std::string& file, std::size_t keep = 0, int type = 3, bool fixes = true) {
    GraviterFlight f;
    f.positions = test::load_flight("flights/" + file);
    if (keep && keep < f.positions.size()) f.positions.resize(keep);
    f.type = type;
    f.fixes = fixes;
    return f;
}

struct JobRig {
    explicit JobRig(GraviterConfig c, sim::FaultSettings faults = {}, AccessType access = AccessType::ReadTrackLog)
        : sim(std::make_unique<sim::GraviterInstrument>(std::move(c)), faults),
          ctx(sim.job(reporter, access, ProtocolType::Graviter)) {
        ctx->options.timeout_seconds = 3;
        ctx->port_name = "/dev/ttyS0";
    }
    int run() {
        return run_job_inline(*ctx, ctx->access_type == AccessType::ReadTrackLog ? read_track_log_job
                                                                                  : write_owner_name_job);
    }
    std::string sent() const { return sim.link().from_program(); }
    const std::vector<TrackPosition>& positions() const { return ctx->result.track_log.positions; }

    test::RecordingReporter reporter;
    mutable test::MemorySim sim;
    std::unique_ptr<JobContext> ctx;
};

// Every served fix of the flight comes back: time and altitude exact, the
// place to the float's precision.
void expect_same_fixes(const std::vector<TrackPosition>& got, std::size_t from, const std::vector<TrackPosition>& served) {
    ASSERT_GE(got.size(), from + served.size());
    for (std::size_t i = 0; i < served.size(); ++i) {
        const TrackPosition &a = got[from + i], &b = served[i];
        ASSERT_EQ(a.time, b.time) << i;
        ASSERT_EQ(a.gps_altitude, gps_altitude_metres(b.gps_altitude) * 10) << i;
        ASSERT_LE(std::abs(a.latitude - b.latitude), 150) << i;   // about 0.3 m
        ASSERT_LE(std::abs(a.longitude - b.longitude), 150) << i;
        ASSERT_EQ(a.flags & kSegmentStart, i == 0 ? kSegmentStart : 0u) << i;
    }
}

TEST(GraviterJobs, IdentifiesAt38400OrFailsAfterItsAttempts) {
    JobRig ok(GraviterConfig{}, test::corrupt_reply(1));
    ASSERT_EQ(ok.run(), 1) << ok.reporter.last_error().text;
    EXPECT_EQ(ok.sim.link().settings().front(), (std::pair<int, bool>{38400, false}));
    EXPECT_EQ(ok.sent(), "VVy");   // the spoiled first answer costs one attempt
    EXPECT_EQ(ok.reporter.products(), std::vector<std::string>{"DIGIFLY GRAVITER     V2.1 00417 PILOT   "});
    EXPECT_EQ(ok.ctx->result.device_identity, "Graviter: V2.1");
    // Empty memory: a download without positions.
    EXPECT_TRUE(ok.positions().empty());
    EXPECT_TRUE(ok.reporter.has_status("0 points received"));

    JobRig silent(GraviterConfig{}, test::silent());
    const int64_t start = silent.sim.now_ms();
    EXPECT_EQ(silent.run(), -1);
    EXPECT_EQ(silent.reporter.last_error().text, "No valid response from GPS");
    EXPECT_EQ(silent.reporter.last_error().title, "Get GPS product data");
    EXPECT_GE(silent.sim.now_ms() - start, 4000);
}

TEST(GraviterJobs, EveryMemoryCaseComesDownAsOneTrackLog) {
    GraviterConfig c;
    c.across_ring_end = true;
    c.flights = {flight("d3p.igc"), flight("tri.igc", 500, 2), flight("line.igc", 300, 3, false), flight("tri.igc")};
    JobRig rig(c);
    ASSERT_EQ(rig.run(), 1) << rig.reporter.last_error().text;
    expect_same_fixes(rig.positions(), 0, c.flights[0].positions);
    expect_same_fixes(rig.positions(), c.flights[0].positions.size(), c.flights[3].positions);
    EXPECT_EQ(rig.positions().size(), c.flights[0].positions.size() + c.flights[3].positions.size());
    // The flight without fixes raised its notice; the one of type 2 none.
    std::vector<test::Box> notices;
    for (const test::Box& b : rig.reporter.boxes())
        if (b.kind == "notice") notices.push_back(b);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].title, "No log positions");
    EXPECT_EQ(notices[0].text.substr(0, 46), "The track log starting at 2017-11-01  13:29 do");
    const TrackLogHeader& h = rig.ctx->result.track_log.header;
    EXPECT_EQ(h.instrument_family, InstrumentFamily::Graviter);
    EXPECT_EQ(h.track_log_source, 1);
    EXPECT_EQ(h.times_in_utc, 0);
    EXPECT_TRUE(rig.reporter.has_status(std::to_string(rig.positions().size()) + " points received"));
    EXPECT_TRUE(rig.reporter.has_status("2000 bytes received"));
}

TEST(GraviterJobs, TheSkipBoxSilencesTheRestOfTheNotices) {
    GraviterConfig c;
    c.flights = {flight("line.igc", 50, 3, false), flight("tri.igc", 50, 3, false), flight("d3p.igc", 50)};
    for (const bool tick : {false, true}) {
        JobRig rig(c);
        rig.reporter.tick_checks = tick;
        ASSERT_EQ(rig.run(), 1);
        EXPECT_EQ(rig.reporter.count("notice"), tick ? 1 : 2);
        EXPECT_EQ(rig.positions().size(), 50u);
    }
}

TEST(GraviterJobs, DumpFaultsFailWithTheirCodes) {
    GraviterConfig c;
    c.flights = {flight("d3p.igc", 200)};
    // Replies: the product line, the dump.
    JobRig spoiled(c, test::corrupt_reply(2));
    EXPECT_EQ(spoiled.run(), -1);
    EXPECT_EQ(spoiled.reporter.last_error().text.substr(0, 18), "E205 Format error ");
    EXPECT_EQ(spoiled.reporter.last_error().title, "Read GPS track log");
    JobRig dropped(c, test::drop_reply(2));
    EXPECT_EQ(dropped.run(), -1);
    EXPECT_EQ(dropped.reporter.last_error().text, "E205 Format error 1");
    sim::FaultSettings cut;
    cut.cut_after = 5000;
    JobRig short_dump(c, cut);
    EXPECT_EQ(short_dump.run(), -1);
    EXPECT_EQ(short_dump.reporter.last_error().text, "E205 Format error 2");

    JobRig aborted(c);
    aborted.sim.link().watch(3000, [&] { aborted.ctx->timer.abort(); });
    EXPECT_EQ(aborted.run(), -1);
    EXPECT_EQ(aborted.reporter.statuses().back(), "Transfer aborted");
    EXPECT_TRUE(aborted.positions().empty());
}

TEST(GraviterJobs, OwnerNameIsWrittenByteByByte) {
    JobRig rig(GraviterConfig{}, {}, AccessType::WritePilotData);
    rig.ctx->params.pilot.pilot_name = "ANNA";
    ASSERT_EQ(rig.run(), 0) << rig.reporter.last_error().text;
    EXPECT_EQ(rig.sent(), "VTW000208065W000209078W000210078W000211065W000212032W000213032W000214032W000215032");
    EXPECT_EQ(rig.sim.uploads.lines(), std::vector<std::string>{"owner name: ANNA    "});
    EXPECT_EQ(rig.reporter.statuses().back(), "Name sent (no verification)");

    // No acknowledgement: a whole second is waited for it.
    JobRig missing(GraviterConfig{}, test::drop_reply(2), AccessType::WritePilotData);
    missing.ctx->params.pilot.pilot_name = "ANNA";
    EXPECT_EQ(missing.run(), -1);
    EXPECT_EQ(missing.reporter.last_error().text, "E302 Missing command acknowledge");
    EXPECT_EQ(missing.reporter.last_error().title, "Upload user name");
    EXPECT_GE(missing.sim.now_ms(), 1300);
    EXPECT_EQ(missing.sent().find('W'), std::string::npos);

    // No name prepared: nothing goes out rather than eight blanks.
    JobRig empty(GraviterConfig{}, {}, AccessType::WritePilotData);
    EXPECT_EQ(empty.run(), -1);
    EXPECT_EQ(empty.reporter.last_error().text, "Missing input");
    EXPECT_EQ(empty.sent(), "");

    JobRig bad(GraviterConfig{}, test::corrupt_reply(2), AccessType::WritePilotData);
    bad.ctx->params.pilot.pilot_name = "ANNA";
    EXPECT_EQ(bad.run(), -1);
    EXPECT_EQ(bad.reporter.last_error().text, "E303 Bad command acknowledge");
}

TEST(GraviterFaultSweep, Dump) {
    GraviterConfig c;
    c.flights = {flight("d3p.igc", 120)};
    test::SweepCase k;
    k.instrument = [c] { return std::make_unique<sim::GraviterInstrument>(c); };
    static RoutineRegistry registry;
    register_graviter_jobs(registry);
    k.routines = &registry;
    k.protocol = ProtocolType::Graviter;
    k.completion = Completion::TrackLog;
    k.options.timeout_seconds = 3;
    k.complete = [](const CurrentData& d, const std::vector<std::string>&) { return d.track_log.positions.size() == 120; };
    const test::FaultSweep sweep(k);
    const std::size_t length = sweep.run().exchange.size();
    // The handshake and the flight record whole; the empty rest of the memory in prime steps.
    EXPECT_EQ(sweep.sweep(test::sweep_positions(0, 1200), true), std::vector<std::string>{});
    EXPECT_EQ(sweep.sweep(test::sweep_positions(1200, length - 20, 4001), true), std::vector<std::string>{});
    EXPECT_EQ(sweep.sweep(test::sweep_positions(length - 20, length), true), std::vector<std::string>{});
}

}  // namespace
}  // namespace orlogix::graviter
