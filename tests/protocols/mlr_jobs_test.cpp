// The MLR job routines against the simulated receiver on the in-memory
// link, on simulated time: a real flight's track, both waypoint downloads,
// the upload, the faults of each transfer and the kit's fault sweep.
#include <gtest/gtest.h>

#include "access/job_runner.hpp"
#include "protocols/mlr/frames.hpp"
#include "protocols/mlr/jobs.hpp"
#include "protocols/mlr/sentences.hpp"
#include "sim/mlr/mlr_receiver.hpp"
#include "sim/memory_runner.hpp"
#include "support/fault_sweep.hpp"
#include "support/recording_reporter.hpp"
#include "support/sim_kit.hpp"

namespace orlogix::mlr {
namespace {

std::vector<Waypoint> three_waypoints() {
    return {test::waypoint_at("", 46.5, 7.25, 1200, "TOWER"), test::waypoint_at("", -33.9, 151.2, -13, "SYD"),
            test::waypoint_at("", 0.01, -0.02, 0, "ZERO-1")};
}

sim::MlrConfig receiver(std::vector<TrackPosition> positions = {}, std::vector<Waypoint> waypoints = {}) {
    sim::MlrConfig c;
    c.positions = std::move(positions);
    c.waypoints = std::move(waypoints);
    return c;
}

struct JobRig {
    explicit JobRig(sim::MlrConfig c, sim::FaultSettings faults = {}, AccessType access = AccessType::ReadTrackLog,
                    ProtocolType protocol = ProtocolType::Mlr)
        : sim(std::make_unique<sim::MlrReceiver>(std::move(c)), faults),
          ctx(sim.job(reporter, access, protocol)) {
        ctx->options.timeout_seconds = 4;
        ctx->port_name = "/dev/ttyS0";
        sim.instrument().set_report_sink(sim.uploads.sink());
    }
    int run(const JobRoutine& routine) { return run_job_inline(*ctx, routine); }
    std::string sent() const { return sim.link().from_program(); }
    bool ends_stopped() const {
        const std::string s = sent();
        return s.size() >= kStopSentence.size() && s.substr(s.size() - kStopSentence.size()) == kStopSentence &&
               sim.link().settings().back().first == 4800;
    }

    test::RecordingReporter reporter;
    mutable test::MemorySim sim;
    std::unique_ptr<JobContext> ctx;
};

TEST(MlrJobs, RealFlightComesDownAtTheFastRateWithEveryFix) {
    const std::vector<TrackPosition> served = test::load_flight("flights/tri.igc");
    JobRig rig(receiver(served));
    ASSERT_EQ(rig.run(read_track_log_job), 0) << rig.reporter.last_error().text;
    const std::vector<TrackPosition>& got = rig.ctx->result.track_log.positions;
    ASSERT_EQ(got.size(), served.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        ASSERT_TRUE(got[i].time == served[i].time && got[i].latitude == served[i].latitude &&
                    got[i].longitude == served[i].longitude && got[i].gps_altitude == served[i].gps_altitude &&
                    got[i].baro_altitude == 0 && (got[i].flags & 1) == (i == 0 ? 1u : (served[i].flags & 1)))
            << i;
    const TrackLogHeader& h = rig.ctx->result.track_log.header;
    EXPECT_EQ(h.instrument_family, InstrumentFamily::Mlr);
    EXPECT_EQ(h.times_in_utc, 1u);
    EXPECT_EQ(h.product_name, "MLR");
    EXPECT_EQ(h.instrument_description, "SP24 XC");
    EXPECT_EQ(rig.ctx->result.device_identity, "MLR: 10442");
    EXPECT_EQ(rig.reporter.products(), std::vector<std::string>{"MLR XC SW3.10"});
    for (const char* s : {"Requesting product info (2)", "Product data read", "Requesting track log",
                          "Sentence number 1 received", "4514 points received"})
        EXPECT_TRUE(rig.reporter.has_status(s)) << s;
    // Identified at 4800, frames at 38400, back at 4800 with the stop sentence.
    const auto rates = rig.sim.link().settings();
    ASSERT_EQ(rates.size(), 3u);
    EXPECT_EQ(rates[0], std::make_pair(4800, false));
    EXPECT_EQ(rates[1].first, 38400);
    EXPECT_EQ(std::string(rig.sent()),
              std::string(kProductRequest) + std::string(kStopSentence) + std::string(kTrackStart) +
                  std::string(kStopSentence));
    EXPECT_TRUE(rig.ends_stopped());
}

TEST(MlrJobs, WaypointsByFastTransferAndByListening) {
    const std::vector<Waypoint> served = three_waypoints();
    JobRig fast(receiver({}, served), {}, AccessType::ReadWaypoints, ProtocolType::MlrFast);
    ASSERT_EQ(fast.run(read_waypoints_job), 0) << fast.reporter.last_error().text;
    const std::vector<Waypoint>& got = fast.ctx->result.waypoints;
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[2].identifier, "ZERO-1");
    EXPECT_EQ(got[1].height, -13);
    EXPECT_EQ(got[0].latitude, served[0].latitude);
    EXPECT_EQ(got[1].longitude, served[1].longitude);
    EXPECT_TRUE(got[0].comment.empty());
    EXPECT_TRUE(fast.reporter.has_status("Requesting waypoints"));
    EXPECT_TRUE(fast.ends_stopped());

    std::vector<Waypoint> named = served;
    named[0].comment = "Top station";
    sim::MlrConfig c = receiver({}, named);
    c.nmea = true;
    JobRig listen(c, {}, AccessType::ReadWaypoints);
    listen.ctx->params.baud = kListenerMode;
    ASSERT_EQ(listen.run(read_waypoints_job), 0) << listen.reporter.last_error().text;
    const std::vector<Waypoint>& heard = listen.ctx->result.waypoints;
    ASSERT_EQ(heard.size(), 3u);   // the first identifier comes round again: not counted twice
    EXPECT_EQ(heard[0].identifier, "TOWER");
    EXPECT_EQ(heard[0].comment, "Top station");
    EXPECT_LE(std::abs(heard[1].latitude - served[1].latitude), 200);   // thousandths of a minute
    EXPECT_TRUE(listen.reporter.has_status("Searching for sentences"));
    EXPECT_TRUE(listen.reporter.has_status("Waypoints read (3)"));
    // The listener never asks for a fast transfer.
    EXPECT_EQ(listen.sent().find(kWaypointStart), std::string::npos);
}

TEST(MlrJobs, UploadSendsOneSentenceEvery500ms) {
    std::vector<Waypoint> list = three_waypoints();
    list[1].comment = "Opera, *house* $1";
    JobRig rig(receiver(), {}, AccessType::WriteWaypoints);
    rig.ctx->params.waypoints = list;
    ASSERT_EQ(rig.run(write_waypoints_job), 0) << rig.reporter.last_error().text;
    const std::vector<std::string> lines = rig.sim.uploads.lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "waypoint 3354.000,S,15112.000,E,SYD   0Opera- -house- -1     ");
    EXPECT_TRUE(rig.reporter.has_status("Waypoint 3 sent"));
    EXPECT_EQ(rig.reporter.notes().back(), "Sent wpt 3/3");

    JobRig empty(receiver(), {}, AccessType::WriteWaypoints);
    ASSERT_EQ(empty.run(write_waypoints_job), 0);
    const int64_t identified = empty.sim.now_ms();
    JobRig timed(receiver(), {}, AccessType::WriteWaypoints);
    timed.ctx->params.waypoints = list;
    ASSERT_EQ(timed.run(write_waypoints_job), 0);
    // 500 ms between sentences and after the last; an empty list waits 500 ms once.
    EXPECT_EQ(timed.sim.now_ms() - identified, 2 * 500);
}

TEST(MlrJobs, FaultsEndEachTransferWithItsText) {
    const std::vector<TrackPosition> served = [] {
        std::vector<TrackPosition> p = test::load_flight("flights/line.igc");
        p.resize(100);
        return p;
    }();
    struct Case {
        const char* name;
        sim::FaultSettings faults;
        std::size_t bad_frame;
        const char* error;
    };
    sim::FaultSettings after_product;
    after_product.cut_after = 43;   // the product reply "$PMLR,IDGPS,01,SP24 XC,B,10442,3.10,XC*hh" CR LF, then nothing
    const Case cases[] = {
        {"silent", test::silent(), 0, "No valid response from GPS"},
        {"silent transfer", after_product, 0, "E210 Track log data timeout"},
        {"corrupted frame", {}, 3, "E208 Format error 2"},
        {"dropped frame", test::drop_reply(3), 0, "E204 Bad sentence sequence"},
        {"dropped end", test::drop_reply(7), 0, "E210 Track log data timeout"},
    };
    for (const Case& c : cases) {
        sim::MlrConfig config = receiver(served);
        config.bad_frame = c.bad_frame;
        JobRig rig(config, c.faults);
        const int64_t began = rig.sim.now_ms();
        EXPECT_EQ(rig.run(read_track_log_job), -1) << c.name;
        EXPECT_EQ(rig.reporter.last_error().text, c.error) << c.name;
        EXPECT_TRUE(rig.ends_stopped()) << c.name;
        // Two attempts of 2000 ms for a TIMEOUT of 4 s.
        if (std::string(c.name) == "silent") {
            EXPECT_NEAR(rig.sim.now_ms() - began, 2 * 2000, 300);
        }
    }
    // Silence in a waypoint transfer ends it too.
    sim::FaultSettings cut = after_product;
    JobRig quiet(receiver({}, three_waypoints()), cut, AccessType::ReadWaypoints, ProtocolType::MlrFast);
    EXPECT_EQ(quiet.run(read_waypoints_job), -1);
    EXPECT_EQ(quiet.reporter.last_error().text, "E310 Waypoint data timeout");

    // An abort in the middle: the receiver is stopped and back at 4800.
    JobRig aborted(receiver(served));
    aborted.sim.link().watch(400, [&] { aborted.ctx->timer.abort(); });
    EXPECT_EQ(aborted.run(read_track_log_job), -1);
    EXPECT_TRUE(aborted.reporter.has_status("Transfer aborted"));
    EXPECT_TRUE(aborted.ends_stopped());
}

TEST(MlrJobs, AHostThatSkipsTheRateChangeGetsGarbledFramesAndOldSp24TimesAreMovedBack) {
    sim::MlrConfig old = receiver(test::load_flight("flights/line.igc"));
    old.firmware = "2.71";   // sends its times 14 s ahead
    JobRig rig(old);
    ASSERT_EQ(rig.run(read_track_log_job), 0);
    EXPECT_EQ(rig.ctx->result.track_log.positions[7].time, old.positions[7].time);

    sim::MlrReceiver receiver_at_4800(receiver(test::load_flight("flights/line.igc")));
    sim::MemoryRunner line(receiver_at_4800);
    line.set_line_rate(4800);
    line.from_program(kTrackStart, 0);
    std::vector<char> got(4000);
    got.resize(line.to_program(got.data(), got.size(), 2000));
    ASSERT_FALSE(got.empty());
    FrameDecoder frames(kMlrTrackFrames);
    int taken = 0;
    for (const char c : got) taken += frames.feed(static_cast<uint8_t>(c)) == FrameDecoder::Result::Frame;
    EXPECT_EQ(taken, 0);
    EXPECT_EQ(std::count(got.begin(), got.end(), '\xFF'), static_cast<long>(got.size()));
}

const RoutineRegistry& mlr_routines() {
    static RoutineRegistry routines;
    static const bool registered = (register_mlr_jobs(routines), true);
    (void)registered;
    return routines;
}

TEST(MlrJobs, FaultSweepOverWaypointAndTrackDownloads) {
    test::SweepCase k;
    k.instrument = [] { return std::make_unique<sim::MlrReceiver>(receiver({}, three_waypoints())); };
    k.routines = &mlr_routines();
    k.access = AccessType::ReadWaypoints;
    k.protocol = ProtocolType::MlrFast;
    k.completion = Completion::WaypointsRead;
    k.options.timeout_seconds = 2;
    k.complete = [](const CurrentData& d, const std::vector<std::string>&) { return d.waypoints.size() == 3; };
    const test::FaultSweep waypoints(k);
    const std::size_t length = waypoints.run().exchange.size();
    EXPECT_EQ(waypoints.sweep(test::sweep_positions(0, length), true), std::vector<std::string>{});

    std::vector<TrackPosition> fixes = test::load_flight("flights/line.igc");
    fixes.resize(120);
    k.instrument = [fixes] { return std::make_unique<sim::MlrReceiver>(receiver(fixes)); };
    k.access = AccessType::ReadTrackLog;
    k.protocol = ProtocolType::Mlr;
    k.completion = Completion::TrackLog;
    k.complete = [](const CurrentData& d, const std::vector<std::string>&) {
        return d.track_log.positions.size() == 120;
    };
    const test::FaultSweep track(k);
    const std::size_t all = track.run().exchange.size();
    std::vector<std::size_t> at = test::sweep_positions(0, 200);
    for (const std::size_t p : test::sweep_positions(200, all - 100, 7)) at.push_back(p);
    for (const std::size_t p : test::sweep_positions(all - 100, all)) at.push_back(p);
    EXPECT_EQ(track.sweep(at, true), std::vector<std::string>{});
}

}  // namespace
}  // namespace orlogix::mlr
