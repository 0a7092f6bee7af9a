// The Top Navigator and XC Trainer job routines against the simulated
// instruments on the in-memory link, on simulated time: tracks in both forms
// and every variant, waypoints both ways, the faults and the fault sweep.
#include <gtest/gtest.h>

#include <map>

#include "access/job_runner.hpp"
#include "core/units.hpp"
#include "protocols/topnav/jobs.hpp"
#include "protocols/topnav/track_download.hpp"
#include "protocols/topnav/waypoint_transfer.hpp"
#include "sim/topnav/topnav_instrument.hpp"
#include "support/fault_sweep.hpp"
#include "support/recording_reporter.hpp"
#include "support/sim_kit.hpp"

namespace orlogix::topnav {
namespace {

using P = ProtocolType;
using sim::TopNavConfig;

const std::vector<TrackPosition>& flight() {
    static const std::vector<TrackPosition> f = test::load_flight("flights/flat-xcontest-8.01.igc");
    return f;
}

TopNavConfig config(bool xc, bool mxp, int variant, std::vector<TrackPosition> positions = flight()) {
    TopNavConfig c;
    c.xc_trainer = xc;
    c.mxp = mxp;
    c.variant = variant;
    c.positions = std::move(positions);
    return c;
}

struct JobRig {
    JobRig(TopNavConfig c, P protocol, AccessType access = AccessType::ReadTrackLog, sim::FaultSettings faults = {})
        : sim(std::make_unique<sim::TopNavInstrument>(std::move(c)), faults),
          ctx(sim.job(reporter, access, protocol)) {
        ctx->options.timeout_seconds = 3;
        ctx->port_name = "/dev/ttyS0";
    }
    int run(const JobRoutine& routine) { return run_job_inline(*ctx, routine); }
    const std::vector<TrackPosition>& got() const { return ctx->result.track_log.positions; }

    test::RecordingReporter reporter;
    test::MemorySim sim;
    std::unique_ptr<JobContext> ctx;
};

// Every position received is a served one at the same second: the place to
// within half a 1/6000 degree, the heights of the variant in whole metres.
void expect_served(const std::vector<TrackPosition>& served, const std::vector<TrackPosition>& got, int variant) {
    std::map<uint32_t, const TrackPosition*> by_time;
    for (const TrackPosition& p : served) by_time.emplace(p.time, &p);
    for (std::size_t i = 0; i < got.size(); ++i) {
        const auto it = by_time.find(got[i].time);
        ASSERT_NE(it, by_time.end()) << "position " << i << " at a time never served";
        const TrackPosition& s = *it->second;
        EXPECT_NEAR(got[i].latitude, s.latitude, 995) << i;
        EXPECT_NEAR(got[i].longitude, s.longitude, 995) << i;
        EXPECT_EQ(got[i].gps_altitude, variant == 0 ? 0 : gps_altitude_metres(s.gps_altitude) * 10) << i;
        EXPECT_EQ(got[i].baro_altitude, variant == 1 ? 0 : s.baro_altitude) << i;
        EXPECT_EQ(got[i].flags, i == 0 ? kSegmentStart : 0u) << i;
    }
}

TEST(TopNavJobs, TracksInEveryFormAndVariant) {
    struct Case {
        P protocol;
        bool mxp;
        int sent_variant, read_variant;
        int baud;
        bool xon;
        const char* product;
    };
    const Case cases[] = {
        {P::TopNavigator, false, 1, 1, 9600, false, "TopNav"},
        {P::XcTrainer, false, 0, 0, 57600, true, "XcTrainer"},
        {P::XcTrainer, false, 1, 1, 57600, true, "XcTrainer"},
        {P::XcTrainer, false, 2, 2, 57600, true, "XcTrainer"},
        {P::TopNavigatorMxp, true, 0, 0, 57600, false, "TopNav"},
        {P::TopNavigatorMxp, true, 1, 1, 57600, false, "TopNav"},
        {P::XcTrainerMxp, true, 2, 2, 57600, true, "XcTrainer"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.protocol) << " variant " << c.sent_variant);
        const bool xc = c.protocol == P::XcTrainer || c.protocol == P::XcTrainerMxp;
        JobRig rig(config(xc, c.mxp, c.sent_variant), c.protocol);
        ASSERT_EQ(rig.run(c.mxp ? read_mxp_track_job : read_block_track_job), 0) << rig.reporter.last_error().text;
        ASSERT_EQ(rig.got().size(), flight().size());
        expect_served(flight(), rig.got(), c.read_variant);
        EXPECT_EQ(rig.sim.link().settings().front(), std::make_pair(c.baud, c.xon));
        const JobResult& r = rig.ctx->result;
        const TrackLogHeader& h = r.track_log.header;
        EXPECT_EQ(h.instrument_family, InstrumentFamily::TopNavigator);
        EXPECT_EQ(h.track_log_source, 1u);
        EXPECT_EQ(h.times_in_utc, 0u);
        EXPECT_EQ(h.baro_present, c.read_variant == 1 ? 0u : 1u);
        EXPECT_EQ(r.product_name, c.product);
        EXPECT_EQ(r.device_identity, std::string(c.product) + ": 4660");
        EXPECT_EQ(r.comp_id, -1);
        EXPECT_EQ(r.civl_id, -1);
        // The raw copy is the log as it came, to be saved as a .tnc file.
        EXPECT_EQ(r.raw_topnav.bytes, rig.sim.link().to_program());
        EXPECT_TRUE(rig.reporter.has_status("Waiting for data"));
        EXPECT_EQ(rig.reporter.statuses().back(), format_counts("% points received", 2735));
    }
    // The MXP header names the instrument; its progress comes every 100 positions.
    JobRig mxp(config(true, true, 2), P::XcTrainerMxp);
    ASSERT_EQ(mxp.run(read_mxp_track_job), 0);
    EXPECT_EQ(mxp.reporter.products(), std::vector<std::string>{"XC Trainer V1.2-34, S/N 4660"});
    EXPECT_TRUE(mxp.reporter.has_status_prefix("Track position 2700 of 2735 ("));
}

TEST(TopNavJobs, SparseFlightKeepsTheFixesAtTheBlockStarts) {
    // Fixes every 5 s: each block carries the fix at its start and 29 bad entries.
    const std::vector<TrackPosition> sparse = test::load_flight("flights/d3p.igc");
    JobRig rig(config(true, false, 2, sparse), P::XcTrainer);
    ASSERT_EQ(rig.run(read_block_track_job), 0) << rig.reporter.last_error().text;
    ASSERT_GT(rig.got().size(), sparse.size() / 7);
    ASSERT_LT(rig.got().size(), sparse.size() / 5);
    expect_served(sparse, rig.got(), 2);
    const test::Box notice = rig.reporter.boxes().back();
    EXPECT_EQ(notice.kind, "notice");
    EXPECT_EQ(notice.title, "Read GPS track log");
    EXPECT_EQ(notice.text, format_counts("Error(s) in % block(s) ignored", rig.got().size() - 1));
}

sim::FaultSettings cut_after(std::size_t n) {
    sim::FaultSettings f;
    f.cut_after = n;
    return f;
}

TEST(TopNavJobs, FaultsEndWithTheirTexts) {
    const std::vector<TrackPosition> short_flight(flight().begin(), flight().begin() + 200);
    struct Case {
        const char* what;
        P protocol;
        sim::FaultSettings faults;
        const char* text;
        const char* title;
        int64_t silence_ms;   // how long the job listened after the last byte
    };
    const Case cases[] = {
        {"block cut", P::XcTrainer, cut_after(3000), "Transfer aborted", "Read GPS track log", 10000},
        {"block time record lost", P::XcTrainer, test::corrupt_reply(33), "E202 Format error 3",
         "Read GPS track log", 0},
        {"MXP silent", P::XcTrainerMxp, test::silent(), "E202 Track log incomplete (0 of 0)",
         "Decode track log sentence", 10000},
        {"MXP cut", P::TopNavigatorMxp, cut_after(3000), "E202 Track log incomplete (98 of 200)",
         "Decode track log sentence", 2000},
        {"MXP corrupt", P::TopNavigatorMxp, test::corrupt_reply(5), "E202 Bad checksum", "Decode track log sentence",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const bool mxp = c.protocol == P::XcTrainerMxp || c.protocol == P::TopNavigatorMxp;
        JobRig rig(config(c.protocol == P::XcTrainer || c.protocol == P::XcTrainerMxp, mxp, 1, short_flight),
                   c.protocol, AccessType::ReadTrackLog, c.faults);
        EXPECT_EQ(rig.run(mxp ? read_mxp_track_job : read_block_track_job), -1);
        EXPECT_EQ(rig.reporter.last_error().text, c.text);
        EXPECT_EQ(rig.reporter.last_error().title, c.title);
        EXPECT_TRUE(rig.ctx->result.raw_topnav.empty());
        if (c.silence_ms > 0) {
            // Connecting takes 200 ms; the bytes that came all came at once.
            EXPECT_GE(rig.sim.now_ms(), 200 + c.silence_ms);
            EXPECT_LT(rig.sim.now_ms(), 200 + c.silence_ms + 100);
        }
    }
    // An abort in the middle: "Transfer aborted", nothing handed over.
    JobRig aborted(config(false, false, 1, short_flight), P::TopNavigator);
    aborted.sim.link().watch(2000, [&] { aborted.ctx->timer.abort(); });
    EXPECT_EQ(aborted.run(read_block_track_job), -1);
    EXPECT_EQ(aborted.reporter.statuses().back(), "Transfer aborted");
    EXPECT_TRUE(aborted.ctx->result.raw_topnav.empty());
    // A server session's download keeps no raw copy.
    JobRig session(config(false, true, 1, short_flight), P::TopNavigatorMxp);
    session.ctx->options.origin = JobOrigin::ServerSession;
    ASSERT_EQ(session.run(read_mxp_track_job), 0);
    EXPECT_EQ(session.got().size(), 200u);
    EXPECT_TRUE(session.ctx->result.raw_topnav.empty());
}

std::vector<Waypoint> some_waypoints() {
    return {test::waypoint_at("", 46.5, 7 + 15.5 / 60, 1200, "ABC"), test::waypoint_at("", -33.25, -70.5, -5, "SOUTH"),
            test::waypoint_at("", 0.125, 179.5, 0, "EDGE")};
}

TopNavConfig waypoint_config(bool xc, std::vector<Waypoint> w = some_waypoints()) {
    TopNavConfig c;
    c.xc_trainer = xc;
    c.send_waypoints = true;
    c.waypoints = std::move(w);
    return c;
}

TEST(TopNavJobs, WaypointReadFaults) {
    // The Top Navigator's lines cut in the middle: 10 s of silence fail.
    JobRig cut(waypoint_config(false), P::TopNavigator, AccessType::ReadWaypoints, cut_after(50));
    EXPECT_EQ(cut.run(read_waypoint_lines_job), -1);
    EXPECT_EQ(cut.reporter.last_error().text, "Transfer aborted");
    EXPECT_EQ(cut.reporter.last_error().title, "Read GPS waypoints");
    // The answer cannot be written.
    JobRig deaf(waypoint_config(false), P::TopNavigator, AccessType::ReadWaypoints);
    deaf.sim.link().set_write_failure(true);
    EXPECT_EQ(deaf.run(read_waypoint_lines_job), -1);
    EXPECT_EQ(deaf.reporter.last_error().text, "E304 COM port write error");
    // A packet cut short, and a spoiled one.
    JobRig short_packet(waypoint_config(true), P::XcTrainer, AccessType::ReadWaypoints, cut_after(45));
    EXPECT_EQ(short_packet.run(read_waypoint_packets_job), -1);
    EXPECT_EQ(short_packet.reporter.last_error().text, "E302 Format error 1");
    JobRig spoiled(waypoint_config(true), P::XcTrainer, AccessType::ReadWaypoints, test::corrupt_reply(2));
    EXPECT_EQ(spoiled.run(read_waypoint_packets_job), -1);
    EXPECT_EQ(spoiled.reporter.last_error().text, "E302 Format error 2");
    // A latitude of 0x044113 puts an XOFF into the packet: the line discipline
    // takes it, the packet comes short, and the read fails instead of hanging.
    JobRig xoff(waypoint_config(true, {test::waypoint_at("", 0x044113 / 6000.0, 7.25, 100, "XOFF"),
                                       test::waypoint_at("", 46, 7, 100, "NEXT")}),
                P::XcTrainer, AccessType::ReadWaypoints);
    EXPECT_EQ(xoff.run(read_waypoint_packets_job), -1);
    EXPECT_EQ(xoff.reporter.last_error().text, "E302 Format error 1");
    EXPECT_NE(xoff.sim.link().to_program().find('\x13'), std::string::npos);
}

TEST(TopNavJobs, UploadSendsPacketsFourHundredMillisecondsApart) {
    for (const bool xc : {false, true}) {
        JobRig rig(TopNavConfig{}, xc ? P::XcTrainer : P::TopNavigator, AccessType::WriteWaypoints);
        rig.ctx->params.waypoints = some_waypoints();
        rig.sim.link().set_write_failure(xc);
        EXPECT_EQ(rig.run(write_waypoints_job), xc ? -1 : 0) << rig.reporter.last_error().text;
        // Heights below 0 go out as 0; the line has XON/XOFF for the XC Trainer only.
        EXPECT_EQ(rig.sim.uploads.lines().size(), xc ? 0u : 3u);
        if (!xc) {
            EXPECT_EQ(rig.sim.uploads.lines()[1], "waypoint SOUTH -33.25000 -70.50000 0");
        }
        EXPECT_EQ(rig.sim.link().settings().front(), std::make_pair(9600, xc));
        EXPECT_EQ(rig.sim.now_ms(), xc ? 200 : 200 + 3 * 400);
        EXPECT_EQ(rig.reporter.statuses().back(), xc ? "0 waypoints sent" : "3 waypoints sent");
        if (xc) {
            EXPECT_EQ(rig.reporter.last_error().text, "E401 COM port write error");
        }
    }
}

const RoutineRegistry& topnav_routines() {
    static RoutineRegistry routines;
    static const bool registered = (register_topnav_jobs(routines), true);
    (void)registered;
    return routines;
}

// Every cut of a block download fails once the log has started (the wait
// for its first byte has no end, so the sweep starts after it); every cut
// and every spoiled byte of an MXP download fails or leaves the whole log.
TEST(TopNavFaultSweep, BlockAndMxpDownloads) {
    const std::vector<TrackPosition> fixes(flight().begin(), flight().begin() + 40);
    for (const bool mxp : {false, true}) {
        SCOPED_TRACE(mxp ? "MXP" : "blocks");
        test::SweepCase k;
        const TopNavConfig c = config(true, mxp, 2, fixes);
        k.instrument = [c] { return std::make_unique<sim::TopNavInstrument>(c); };
        k.routines = &topnav_routines();
        k.protocol = mxp ? P::XcTrainerMxp : P::XcTrainer;
        k.completion = Completion::TrackLog;
        k.options.timeout_seconds = 3;
        k.complete = [](const CurrentData& d, const std::vector<std::string>&) {
            return d.track_log.positions.size() == 40 && !d.raw_topnav.empty();
        };
        const test::FaultSweep sweep(k);
        const std::size_t length = sweep.run().exchange.size();
        EXPECT_EQ(sweep.sweep(test::sweep_positions(mxp ? 0 : 1, length), mxp), std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace orlogix::topnav
