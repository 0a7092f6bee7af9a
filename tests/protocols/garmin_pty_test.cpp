// The Garmin jobs end to end: the real job routines over the real termios
// link, against the simulated receiver on a pseudo-terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "access/debug_trace.hpp"
#include "access/dispatch.hpp"
#include "access/event_loop.hpp"
#include "access/job_context.hpp"
#include "access/job_framework.hpp"
#include "access/job_runner.hpp"
#include "core/current_data.hpp"
#include "core/text_buffer.hpp"
#include "formats/igc_reader.hpp"
#include "protocols/garmin/jobs.hpp"
#include "sim/garmin/garmin_receiver.hpp"
#include "sim/harness.hpp"
#include "sim/upload_log.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix::garmin {
namespace {

using namespace std::chrono_literals;
using sim::GarminConfig;

sim::FaultSettings silent() {
    sim::FaultSettings f;
    f.silent = true;
    return f;
}
sim::FaultSettings corrupt(std::size_t reply) {
    sim::FaultSettings f;
    f.corrupt_reply = reply;
    return f;
}

std::vector<TrackPosition> flight_positions() {
    std::string bytes;
    EXPECT_EQ(read_file(std::string(ORLOGIX_TEST_DATA) + "/garmin/tri.igc", bytes), 0);
    IgcParsed parsed;
    IgcParseError err;
    EXPECT_GT(parse_igc(bytes, parsed, err), 0) << err.text;
    return parsed.positions;
}

struct PtyRig {
    explicit PtyRig(GarminConfig config, sim::FaultSettings faults = {}) {
        auto device = std::make_unique<sim::GarminReceiver>(std::move(config));
        device->set_faults(faults);
        device->set_report_sink(uploads.sink());
        harness = std::make_unique<sim::Harness>(std::move(device));
        EXPECT_EQ(harness->start(), 0);
    }
    std::unique_ptr<JobContext> context(AccessType access) {
        auto ctx = std::make_unique<JobContext>(reporter, access, ProtocolType::GarminSerial, harness->device_path());
        ctx->options.timeout_seconds = 4;
        return ctx;
    }
    bool has_status(const std::string& text) const {
        auto s = reporter.statuses();
        return std::find(s.begin(), s.end(), text) != s.end();
    }
    bool has_status_prefix(const std::string& prefix) const {
        auto s = reporter.statuses();
        return std::any_of(s.begin(), s.end(), [&](const std::string& t) { return t.rfind(prefix, 0) == 0; });
    }
    bool uploaded(const std::string& line) const {
        auto l = uploads.lines();
        return std::find(l.begin(), l.end(), line) != l.end();
    }

    test::RecordingReporter reporter;
    sim::UploadLog uploads;
    std::unique_ptr<sim::Harness> harness;
};

TEST(GarminOverPty, DownloadsARealFlight) {
    const std::vector<TrackPosition> flight = flight_positions();
    ASSERT_GT(flight.size(), 4000u);
    GarminConfig c;
    c.product = {450, 320, "GPSMAP 76S Software Version 3.20"};
    c.track = flight;
    c.track_protocol = 301;
    c.track_point_type = 301;
    PtyRig rig(c);
    auto ctx = rig.context(AccessType::ReadTrackLog);
    clear_trace();
    ASSERT_EQ(run_job_inline(*ctx, read_track_log_job), 0) << rig.reporter.last_error().text;

    // The trace starts with the product request, followed by what came back.
    const std::string trace = trace_snapshot();
    EXPECT_EQ(trace.substr(0, 6), std::string("\x10\xFE\x00\x02\x10\x03", 6));
    EXPECT_NE(trace.find("GPSMAP 76S"), std::string::npos);

    const TrackLog& log = ctx->result.track_log;
    ASSERT_EQ(log.positions.size(), flight.size());
    for (std::size_t i = 0; i < flight.size(); ++i) {
        const TrackPosition& got = log.positions[i];
        const TrackPosition& want = flight[i];
        ASSERT_EQ(got.latitude, want.latitude) << i;
        ASSERT_EQ(got.longitude, want.longitude) << i;
        ASSERT_EQ(got.time, want.time) << i;
        // Whole metres survive the float; below zero the receiver's rounding
        // rule (add 0.5, cut toward zero) lands one decimetre higher.
        ASSERT_EQ(got.gps_altitude, want.gps_altitude + (want.gps_altitude < 0 ? 1 : 0)) << i;
        ASSERT_EQ(got.baro_altitude, 0) << i;
    }
    EXPECT_EQ(log.positions[0].flags & kSegmentStart, kSegmentStart);
    EXPECT_EQ(log.header.instrument_family, InstrumentFamily::Garmin);
    EXPECT_EQ(log.header.track_log_source, 1u);
    EXPECT_EQ(log.header.times_in_utc, 1u);
    EXPECT_EQ(log.header.baro_present, 0u);
    EXPECT_EQ(ctx->result.product_name, "Garmin");
    EXPECT_EQ(ctx->result.instrument_description, "GPSMAP 76S Software Version 3.20");
    EXPECT_EQ(ctx->result.device_identity, "Garmin: GPSMAP 76S Software Version 3.20");

    const std::string n = std::to_string(flight.size() + 1);
    EXPECT_TRUE(rig.has_status("Requesting product info (2)"));
    EXPECT_TRUE(rig.has_status("Product data read"));
    EXPECT_TRUE(rig.has_status("Requesting track log download"));
    EXPECT_TRUE(rig.has_status_prefix("Track position 5 of " + n + " ("));
    EXPECT_TRUE(rig.has_status_prefix("Track position 4510 of " + n + " ("));
    EXPECT_EQ(rig.reporter.statuses().back().rfind(std::to_string(flight.size()) + " track positions read (", 0), 0u);
    EXPECT_EQ(rig.reporter.products(), std::vector<std::string>{"GPSMAP 76S Software Version 3.20"});
    EXPECT_EQ(rig.reporter.count("error"), 0);
}

TEST(GarminOverPty, SilentReceiver) {
    PtyRig rig(GarminConfig{}, silent());
    auto ctx = rig.context(AccessType::ReadTrackLog);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(run_job_inline(*ctx, read_track_log_job), -1);
    const auto took = std::chrono::steady_clock::now() - start;
    // Two attempts of 2 s each for a budget of 4 s.
    EXPECT_GE(took, 3900ms);
    EXPECT_LT(took, 8000ms);
    const auto s = rig.reporter.statuses();
    const std::vector<std::string> countdown{"Requesting product info (2)", "Requesting product info (1)"};
    EXPECT_TRUE(std::search(s.begin(), s.end(), countdown.begin(), countdown.end()) != s.end());
    EXPECT_EQ(rig.reporter.last_error().text, "No valid response from GPS on " + rig.harness->device_path());
    EXPECT_EQ(rig.reporter.last_error().title, "Get GPS product data");
    EXPECT_TRUE(ctx->result.track_log.positions.empty());
    // The program really asked twice.
    const std::string request{'\x10', '\xFE', '\x00', '\x02', '\x10', '\x03'};
    const std::string got = rig.harness->runner().received();
    std::size_t count = 0;
    for (std::size_t at = got.find(request); at != std::string::npos; at = got.find(request, at + 1)) ++count;
    EXPECT_EQ(count, 2u);
}

TEST(GarminOverPty, MissingPortEndsBeforeIdentification) {
    test::RecordingReporter reporter;
    JobContext ctx(reporter, AccessType::ReadTrackLog, ProtocolType::GarminSerial, "/dev/orlogix-no-such-port");
    ctx.options.timeout_seconds = 2;
    EXPECT_EQ(run_job_inline(ctx, read_track_log_job), -1);
    const auto s = reporter.statuses();
    EXPECT_TRUE(std::none_of(s.begin(), s.end(),
                             [](const std::string& t) { return t.rfind("Requesting product info", 0) == 0; }));
    EXPECT_EQ(reporter.count("error"), 1);
    EXPECT_EQ(reporter.last_error().title, "Connecting to GPS on /dev/orlogix-no-such-port");
}

TEST(GarminOverPty, SpoiledChecksumIsRetriedThenFailsWithItsCode) {
    // Reply 2 is the product data: dropped by its checksum, asked for again.
    GarminConfig c;
    c.track = sim::generated_track(30);
    PtyRig retried(c, corrupt(2));
    auto ctx = retried.context(AccessType::ReadTrackLog);
    ASSERT_EQ(run_job_inline(*ctx, read_track_log_job), 0) << retried.reporter.last_error().text;
    EXPECT_TRUE(retried.has_status("Requesting product info (1)"));
    EXPECT_EQ(ctx->result.track_log.positions.size(), 30u);

    // Replies after 6 (ack 254, product, capabilities, ack 10, count, header)
    // are the points: the tenth reply never arrives intact.
    PtyRig failed(c, corrupt(10));
    auto ctx2 = failed.context(AccessType::ReadTrackLog);
    EXPECT_EQ(run_job_inline(*ctx2, read_track_log_job), -1);
    EXPECT_EQ(failed.reporter.last_error().text, "E205 Timeout while waiting for log data packet");
    EXPECT_EQ(failed.reporter.last_error().title, "Read GPS track log");
    EXPECT_TRUE(ctx2->result.track_log.positions.empty());
    EXPECT_TRUE(failed.uploads.wait_for(1, 2s));
    EXPECT_TRUE(failed.uploaded("abort transfer"));
}

TEST(GarminOverPty, AbortKeepsThePreviousTrackLog) {
    GarminConfig c;
    c.track = sim::generated_track(3000);
    PtyRig rig(c);

    HeadlessEventLoop loop;
    CurrentData data;
    data.track_log.positions = sim::generated_track(7);
    data.track_log.header.product_name = "Previous";
    RoutineRegistry routines;
    register_garmin_jobs(routines);
    JobFramework jobs(rig.reporter, loop, data, routines);
    jobs.init_jobs();
    jobs.set_port_name(rig.harness->device_path());
    JobOptions options;
    options.timeout_seconds = 4;
    ASSERT_EQ(jobs.start_job(AccessType::ReadTrackLog, ProtocolType::GarminSerial, Completion::TrackLog, {}, options),
              0);
    // Let a few hundred points through, then abort.
    ASSERT_TRUE(rig.harness->runner().wait_sent(300 * 30, 20s));
    ASSERT_EQ(jobs.abort_job(), 0);
    ASSERT_TRUE(loop.run_until([&] { return !jobs.job_registered(); }, 20s));

    EXPECT_EQ(data.track_log.positions.size(), 7u);
    EXPECT_EQ(data.track_log.header.product_name, "Previous");
    EXPECT_TRUE(rig.has_status("Transfer aborted"));
    EXPECT_EQ(rig.reporter.count("error"), 0);
    EXPECT_TRUE(rig.uploads.wait_for(1, 2s));
    EXPECT_TRUE(rig.uploaded("abort transfer"));
    EXPECT_TRUE(jobs.failed());
}

TEST(GarminOverPty, WaypointTypesRoundTrip) {
    for (int type : {100, 103, 108, 110, 151, 155}) {
        GarminConfig c;
        c.waypoint_type = type;
        c.waypoints = sim::generated_waypoints(11);
        PtyRig rig(c);
        auto ctx = rig.context(AccessType::ReadWaypoints);
        ASSERT_EQ(run_job_inline(*ctx, read_waypoints_job), 0) << type << rig.reporter.last_error().text;
        const auto& got = ctx->result.waypoints;
        ASSERT_EQ(got.size(), 11u) << type;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].identifier, c.waypoints[i].identifier) << type;
            EXPECT_EQ(got[i].comment, c.waypoints[i].comment) << type;
            EXPECT_EQ(got[i].longitude, c.waypoints[i].longitude) << type;
            EXPECT_EQ(got[i].height, type >= 108 ? c.waypoints[i].height : 0) << type;
        }
        EXPECT_TRUE(rig.has_status_prefix("11 of 11 waypoints read ("));
    }
}

TEST(GarminOverPty, TrackPointTypesRoundTrip) {
    for (int type : {300, 302, 303, 304}) {
        GarminConfig c;
        c.track_protocol = type == 300 ? 300 : 302;
        c.track_header_type = 311;
        c.track_point_type = type;
        c.track = sim::generated_track(25);
        PtyRig rig(c);
        auto ctx = rig.context(AccessType::ReadTrackLog);
        ASSERT_EQ(run_job_inline(*ctx, read_track_log_job), 0) << type << rig.reporter.last_error().text;
        const auto& got = ctx->result.track_log.positions;
        ASSERT_EQ(got.size(), 25u) << type;
        EXPECT_EQ(got[24].time, c.track[24].time) << type;
        EXPECT_EQ(got[24].latitude, c.track[24].latitude) << type;
        EXPECT_EQ(got[24].gps_altitude, type == 300 ? 0 : c.track[24].gps_altitude) << type;
    }
}

TEST(GarminOverPty, UploadsWaypointsAndWaypointsAsTrackLog) {
    GarminConfig c;
    c.waypoint_type = 109;
    PtyRig rig(c);
    auto ctx = rig.context(AccessType::WriteWaypoints);
    ctx->params.waypoints = sim::generated_waypoints(4);
    ctx->params.waypoints[0].identifier = "Mont";
    ctx->params.waypoints[0].comment = "Sommet";
    ctx->options.power_off = true;
    ASSERT_EQ(run_job_inline(*ctx, write_waypoints_job), 0) << rig.reporter.last_error().text;
    ASSERT_TRUE(rig.uploads.wait_for(7, 2s));
    const auto lines = rig.uploads.lines();
    EXPECT_EQ(lines[0], "records 4");
    EXPECT_EQ(lines[1].rfind("waypoint MONT ", 0), 0u) << lines[1];
    EXPECT_NE(lines[1].find(" SOMMET"), std::string::npos) << lines[1];
    EXPECT_EQ(lines[5], "transfer complete 7");
    EXPECT_EQ(lines[6], "power off");

    PtyRig track_rig(GarminConfig{});
    auto ctx2 = track_rig.context(AccessType::WriteTrackLog);
    ctx2->params.waypoints = sim::generated_waypoints(12);
    ASSERT_EQ(run_job_inline(*ctx2, write_track_log_job), 0) << track_rig.reporter.last_error().text;
    ASSERT_TRUE(track_rig.uploads.wait_for(15, 2s));
    const auto tl = track_rig.uploads.lines();
    EXPECT_EQ(tl[0], "records 13");
    EXPECT_EQ(tl[1], "track header WP0");
    EXPECT_EQ(tl[14], "transfer complete 6");
    // From the window, power-off is not asked for after a track upload.
    EXPECT_FALSE(track_rig.uploaded("power off"));
}

}  // namespace
}  // namespace orlogix::garmin
