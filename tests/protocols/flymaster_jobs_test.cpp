// The Flymaster job routines against the simulated variometer on the
// in-memory link, on simulated time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "access/job_runner.hpp"
#include "core/current_data.hpp"
#include "competition/pilot_identity.hpp"
#include "core/units.hpp"
#include "protocols/flymaster/jobs.hpp"
#include "protocols/flymaster/sentences.hpp"
#include "sim/flymaster/flymaster_instrument.hpp"
#include "support/fault_sweep.hpp"
#include "support/recording_reporter.hpp"
#include "support/sim_kit.hpp"

namespace orlogix::flymaster {
namespace {

using sim::FlymasterConfig;
using sim::FlymasterTrack;

FlymasterTrack flight(const std::string& file) {
    FlymasterTrack t;
    t.positions = test::load_flight("flights/" + file);
    t.start = t.positions.front().time;
    t.duration = t.positions.back().time - t.start;
    return t;
}

FlymasterConfig config(std::vector<FlymasterTrack> tracks = {}, std::string model = "F1", std::string version = "1.19") {
    FlymasterConfig c;
    c.model = std::move(model);
    c.version = std::move(version);
    c.tracks = std::move(tracks);
    return c;
}

struct JobRig {
    explicit JobRig(FlymasterConfig c, sim::FaultSettings faults = {}, AccessType access = AccessType::ReadTrackLog)
        : instrument(new sim::FlymasterInstrument(std::move(c))),
          sim(std::unique_ptr<sim::Instrument>(instrument), faults),
          ctx(sim.job(reporter, access, ProtocolType::Flymaster)) {
        ctx->options.timeout_seconds = 3;
        ctx->port_name = "/dev/ttyS0";
    }
    int run(const JobRoutine& routine) { return run_job_inline(*ctx, routine); }
    std::string sent() const { return sim.link().from_program(); }

    test::RecordingReporter reporter;
    sim::FlymasterInstrument* instrument;   // owned by sim
    mutable test::MemorySim sim;
    std::unique_ptr<JobContext> ctx;
};

TEST(FlymasterJobs, IdentifyWithoutXonOrFailsAfterItsAttempts) {
    JobRig ok(config(), test::corrupt_reply(1), AccessType::ReadWaypoints);
    ok.run(read_waypoints_job);
    EXPECT_EQ(ok.sent().substr(0, 13), "$PBRSNP,*21\r\n");
    // The spoiled first reply costs one attempt.
    EXPECT_TRUE(ok.reporter.has_status("Requesting product info (1)") && ok.reporter.has_status("Product data read"));
    EXPECT_EQ(ok.reporter.products(), std::vector<std::string>{"Flymaster F1  SN12345  SW1.19"});
    EXPECT_EQ(ok.ctx->result.device_identity, "Flymaster: 12345");

    JobRig silent(config(), test::silent(), AccessType::ReadWaypoints);
    EXPECT_EQ(silent.run(read_waypoints_job), -1);
    EXPECT_TRUE(silent.reporter.has_status("Requesting product info (2)"));
    EXPECT_EQ(silent.reporter.last_error().text, "No valid response from GPS");
    EXPECT_EQ(silent.reporter.last_error().title, "Get GPS product data");
}

TEST(FlymasterJobs, RealFlightComesDownAsBlocksToTheSameFixes) {
    const FlymasterTrack served = flight("d3p.igc");
    JobRig rig(config({served, flight("fai.igc")}));
    rig.reporter.choice = {{1, 0}};   // both chosen: only the lowest index comes down
    ASSERT_EQ(rig.run(read_track_log_job), 1) << rig.reporter.last_error().text;
    const std::vector<TrackPosition>& got = rig.ctx->result.track_log.positions;
    ASSERT_EQ(got.size(), served.positions.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        const TrackPosition &a = got[i], &b = served.positions[i];
        ASSERT_EQ(a.time, b.time) << i;
        ASSERT_LE(std::abs(a.latitude - b.latitude), 199) << i;   // 1/60000 degree
        ASSERT_LE(std::abs(a.longitude - b.longitude), 199) << i;
        ASSERT_LE(std::abs(a.baro_altitude - b.baro_altitude), 1) << i;
        ASSERT_EQ(gps_altitude_metres(a.gps_altitude), gps_altitude_metres(b.gps_altitude)) << i;
    }
    EXPECT_EQ(got.front().flags & kSegmentStart, kSegmentStart);
    const TrackLogHeader& h = rig.ctx->result.track_log.header;
    EXPECT_EQ(h.instrument_family, InstrumentFamily::Flymaster);
    EXPECT_EQ(h.device_identity, "Flymaster: 12345");
    EXPECT_EQ(h.instrument_description, "Flymaster F1, V1.19, S/N 12345");
    EXPECT_EQ(h.track_log_source, 1);
    EXPECT_NE(rig.sent().find(std::string(kTrackListRequest) + track_request(served.start)), std::string::npos);
    EXPECT_TRUE(rig.reporter.has_status(std::to_string(got.size()) + " points received"));
    EXPECT_EQ(rig.sim.uploads.lines().back().substr(0, 11), "track sent:");
}

TEST(FlymasterJobs, BlockFaultsAreResentOrStopTheInstrument) {
    // Replies: product, the list line, flight information, blocks.
    const FlymasterTrack served = flight("line.igc");
    JobRig one_bad(config({served}), test::corrupt_reply(4));
    ASSERT_EQ(one_bad.run(read_track_log_job), 1) << one_bad.reporter.last_error().text;
    EXPECT_EQ(one_bad.ctx->result.track_log.positions.size(), served.positions.size());
    EXPECT_TRUE(one_bad.reporter.has_status("E205 Bad checksum in data block"));
    EXPECT_EQ(one_bad.reporter.count("error"), 0);

    sim::FaultSettings cut;
    cut.cut_after = 200;
    JobRig dead(config({served}), cut);
    EXPECT_EQ(dead.run(read_track_log_job), -1);
    EXPECT_EQ(dead.reporter.last_error().text, "E203 Timeout receiving data");
    EXPECT_EQ(dead.reporter.last_error().title, "Read GPS track log");
    EXPECT_EQ(dead.sent().back(), static_cast<char>(kCancel));
    EXPECT_TRUE(dead.ctx->result.track_log.positions.empty());

    JobRig none(config());
    EXPECT_EQ(none.run(read_track_log_job), -1);
    EXPECT_EQ(none.reporter.last_error().text, "0 tracks in track list found");
}

TEST(FlymasterJobs, WaypointsGoUpAnsweredAndComeBackDown) {
    for (const char* firmware : {"1.14", "1.18", "1.19"}) {
        SCOPED_TRACE(firmware);
        JobRig up(config({}, "F1", firmware), {}, AccessType::WriteWaypoints);
        up.ctx->params.waypoints = {test::waypoint_at("TAKEOFF", 47.15, 7.15, 1000, {}, 1), test::waypoint_at("Lz, west", -33.125, -70.5, 12)};
        ASSERT_EQ(up.run(write_waypoints_job), 0) << up.reporter.last_error().text;
        EXPECT_TRUE(up.reporter.has_status("2 waypoints sent"));
        // Only 1.19 marks the airfield.
        const bool marked = up.sent().find("TAKEOFF         ,1000,1*") != std::string::npos;
        EXPECT_EQ(marked, std::string(firmware) == "1.19");

        FlymasterConfig kept = config({}, "F1", firmware);
        kept.waypoints = up.instrument->waypoints();
        JobRig down(kept, {}, AccessType::ReadWaypoints);
        ASSERT_EQ(down.run(read_waypoints_job), 0) << down.reporter.last_error().text;
        const std::vector<Waypoint>& got = down.ctx->result.waypoints;
        ASSERT_EQ(got.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            EXPECT_NEAR(got[i].latitude, up.ctx->params.waypoints[i].latitude, 200);
            EXPECT_NEAR(got[i].longitude, up.ctx->params.waypoints[i].longitude, 200);
            EXPECT_EQ(got[i].height, up.ctx->params.waypoints[i].height);
        }
        EXPECT_EQ(got[0].identifier, "TAKEOF");
        EXPECT_EQ(got[1].comment, "Lz west");   // the comma went up as a blank, blanks collapse
    }
    // A dropped answer ends the upload.
    JobRig dropped(config(), test::drop_reply(2), AccessType::WriteWaypoints);
    dropped.ctx->params.waypoints = {test::waypoint_at("A", 1, 1, 1)};
    EXPECT_EQ(dropped.run(write_waypoints_job), -1);
    EXPECT_EQ(dropped.reporter.last_error().text, "1 waypoints sent, 0 errors, response timeout");
}

TEST(FlymasterJobs, IdentityCheckAndIdsOnAB1nav) {
    FlymasterConfig c = config({flight("line.igc")}, "B1NAV");
    ASSERT_EQ(append_identity_waypoints(c.waypoints, PilotIds{57, 12345}, false, 0), 0);
    JobRig comp(c);
    comp.ctx->options.competition_mode = true;
    ASSERT_EQ(comp.run(read_track_log_job), 1) << comp.reporter.last_error().text;
    EXPECT_EQ(comp.ctx->result.comp_id, 57);
    EXPECT_EQ(comp.ctx->result.civl_id, 12345);

    for (const char* model : {"B1NAV", "F1"}) {
        JobRig ids(config({}, model), {}, AccessType::WritePilotData);
        PilotData& pilot = ids.ctx->params.pilot;
        pilot.kind = kIds;
        pilot.pilot_name = "ANNA BERG";
        pilot.comp_id = "57";
        pilot.civl_id = "12345";
        const bool b1 = std::string(model) == "B1NAV";
        EXPECT_EQ(ids.run(write_pilot_data_job), b1 ? 0 : -1);
        if (b1) EXPECT_EQ(ids.sim.uploads.lines(), std::vector<std::string>{"set data: PFMIDS,57,12345,ANNA BERG"});
        else EXPECT_EQ(ids.reporter.last_error().text, "Command available for B1 NAV only");
    }
}

// Broken block streams: each fails under "Read GPS track log", and the
// instrument is told to stop where the stream itself went wrong.
TEST(FlymasterJobs, BrokenBlockStreamsFailTheDownload) {
    const FlymasterTrack served = flight("d3p.igc");
    const std::vector<std::string> blocks = sim::flymaster_blocks(served, config());
    ASSERT_GE(blocks.size(), 3u);
    ASSERT_EQ(static_cast<uint8_t>(blocks[2][0]), 0xA2);   // information, key position, deltas
    std::string bad_info = blocks[0];
    bad_info.back() = static_cast<char>(bad_info.back() ^ 0x5A);
    const struct {
        const char* name;
        std::vector<std::string> blocks;
        const char* error;
        bool cancelled;   // 0xB3 went out last
    } cases[] = {
        {"end mark first", {}, "E205 Missing flight info block", true},
        {"delta before key", {blocks[0], blocks[2]}, "E205 Missing key track position block", true},
        {"bad checksum three times", {bad_info}, "E205 Bad checksum in data block", true},
        {"no positions", {blocks[0]}, "No points detected", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FlymasterConfig broken = config({served});
        broken.blocks = c.blocks;
        JobRig rig(broken);
        EXPECT_EQ(rig.run(read_track_log_job), -1);
        EXPECT_EQ(rig.reporter.last_error().text, c.error);
        EXPECT_EQ(rig.reporter.last_error().title, "Read GPS track log");
        EXPECT_EQ(rig.sent().back() == static_cast<char>(kCancel), c.cancelled);
        EXPECT_TRUE(rig.ctx->result.track_log.positions.empty());
    }
}

// An abort in the middle of the blocks stops the instrument and leaves the log.
TEST(FlymasterJobs, AbortMidDownloadCancelsTheInstrument) {
    const FlymasterTrack served = flight("d3p.igc");
    JobRig clean(config({served}));
    ASSERT_EQ(clean.run(read_track_log_job), 1);
    const std::size_t request = clean.sim.link().exchange().find(track_request(served.start));
    ASSERT_NE(request, std::string::npos);

    JobRig rig(config({served}));
    rig.sim.link().watch(request + 1000, [&] { rig.ctx->timer.abort(); });
    EXPECT_EQ(rig.run(read_track_log_job), -1);
    EXPECT_EQ(rig.reporter.statuses().back(), "Transfer aborted");
    EXPECT_EQ(rig.reporter.count("error"), 0);
    EXPECT_EQ(rig.sent().back(), static_cast<char>(kCancel));
    EXPECT_EQ(rig.sim.uploads.lines().back().substr(0, 19), "download cancelled ");
    EXPECT_TRUE(rig.ctx->result.track_log.positions.empty());
}

// An answer naming another waypoint is an error of type 7 in both answer forms.
TEST(FlymasterJobs, AnswerWithAnotherNameCountsAsError) {
    for (const char* firmware : {"1.14", "1.19"}) {
        SCOPED_TRACE(firmware);
        FlymasterConfig c = config({}, "F1", firmware);
        c.answer_name = "SOMEWHERE ELSE  ";
        JobRig rig(c, {}, AccessType::WriteWaypoints);
        rig.ctx->params.waypoints = {test::waypoint_at("TAKEOFF", 47.15, 7.15, 1000), test::waypoint_at("LZ", 47, 7, 500)};
        EXPECT_EQ(rig.run(write_waypoints_job), -1);
        EXPECT_EQ(rig.reporter.last_error().text, "2 waypoints sent, 2 errors, first error was type 7");
        EXPECT_EQ(rig.reporter.last_error().title, "Waypoint upload response error");
    }
}

const RoutineRegistry& flymaster_routines() {
    static RoutineRegistry routines;
    static const bool registered = (register_flymaster_jobs(routines), true);
    (void)registered;
    return routines;
}

test::SweepCase sweep_case(FlymasterConfig c, AccessType access, Completion completion) {
    test::SweepCase k;
    k.instrument = [c] { return std::make_unique<sim::FlymasterInstrument>(c); };
    k.routines = &flymaster_routines();
    k.access = access;
    k.protocol = ProtocolType::Flymaster;
    k.completion = completion;
    k.options.timeout_seconds = 3;
    return k;
}

// Every byte of the product exchange and the track list, then of the
// binary download of a short flight (a key position, deltas, a gap with a
// new key position), cut and spoiled: each run fails with a report and the
// old log, or (a spoiled block being sent again) brings the whole flight.
TEST(FlymasterFaultSweep, TrackListReadAndBinaryDownload) {
    FlymasterTrack t;
    for (uint32_t i = 0; i < 40; ++i) {
        TrackPosition p;
        p.time = 700000000 + i * 2 + (i >= 30 ? 600 : 0);
        p.latitude = 562500000 + static_cast<int32_t>(i) * 900;
        p.longitude = 85000000 - static_cast<int32_t>(i) * 700;
        p.gps_altitude = static_cast<int32_t>(10000 + i * 30);
        p.baro_altitude = 990 + static_cast<int32_t>(i * 3);
        t.positions.push_back(p);
    }
    t.start = t.positions.front().time;
    t.duration = t.positions.back().time - t.start;
    test::SweepCase k = sweep_case(config({t}), AccessType::ReadTrackLog, Completion::TrackLog);
    k.complete = [](const CurrentData& d, const std::vector<std::string>&) {
        return d.track_log.positions.size() == 40 && d.track_log.header.instrument_family == InstrumentFamily::Flymaster;
    };
    const test::FaultSweep sweep(k);
    const test::SweepRun clean = sweep.run();
    ASSERT_TRUE(clean.complete);
    const std::size_t download = clean.exchange.find("$PFMDNL,1");
    ASSERT_NE(download, std::string::npos);
    EXPECT_EQ(sweep.sweep(test::sweep_positions(0, download), true), std::vector<std::string>{}) << "track list";
    EXPECT_EQ(sweep.sweep(test::sweep_positions(download, clean.exchange.size()), true), std::vector<std::string>{})
        << "binary download";
}

// Every answer is checked: a cut or a spoiled byte anywhere before the
// last answer fails the upload with a report.
TEST(FlymasterFaultSweep, WaypointUpload) {
    test::SweepCase k = sweep_case(config(), AccessType::WriteWaypoints, Completion::Written);
    for (int i = 0; i < 3; ++i) k.params.waypoints.push_back(test::waypoint_at("POINT", 47 + i, 11 - i, 100 * i));
    k.complete = [](const CurrentData&, const std::vector<std::string>& uploads) {
        return std::count_if(uploads.begin(), uploads.end(),
                             [](const std::string& l) { return l.rfind("waypoint ", 0) == 0; }) == 3;
    };
    const test::FaultSweep sweep(k);
    const test::SweepRun clean = sweep.run();
    EXPECT_EQ(sweep.sweep(test::sweep_positions(0, clean.exchange.size()), true), std::vector<std::string>{});
}

}  // namespace
}  // namespace orlogix::flymaster
