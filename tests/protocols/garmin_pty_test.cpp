// The Garmin family's one end-to-end run: the real job routine over the
// real termios link, against the simulated receiver on a pseudo-terminal.
// Everything else runs on the in-memory link (garmin_session_test.cpp).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "access/debug_trace.hpp"
#include "access/job_runner.hpp"
#include "protocols/garmin/jobs.hpp"
#include "sim/garmin/garmin_receiver.hpp"
#include "support/recording_reporter.hpp"
#include "support/sim_kit.hpp"

namespace orlogix::garmin {
namespace {

TEST(GarminOverPty, DownloadsARealFlight) {
    const std::vector<TrackPosition> flight = test::load_flight("garmin/tri.igc");
    ASSERT_GT(flight.size(), 4000u);
    sim::GarminConfig c;
    c.product = {450, 320, "GPSMAP 76S Software Version 3.20"};
    c.track = flight;
    c.track_protocol = 301;
    c.track_point_type = 301;
    test::PtySim pty(std::make_unique<sim::GarminReceiver>(c));
    ASSERT_TRUE(pty.started());
    test::RecordingReporter reporter;
    auto ctx = pty.job(reporter, AccessType::ReadTrackLog, ProtocolType::GarminSerial);
    ctx->options.timeout_seconds = 4;
    clear_trace();
    ASSERT_EQ(run_job_inline(*ctx, read_track_log_job), 0) << reporter.last_error().text;

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
    EXPECT_TRUE(reporter.has_status("Requesting product info (2)"));
    EXPECT_TRUE(reporter.has_status("Product data read"));
    EXPECT_TRUE(reporter.has_status("Requesting track log download"));
    EXPECT_TRUE(reporter.has_status_prefix("Track position 5 of " + n + " ("));
    EXPECT_TRUE(reporter.has_status_prefix("Track position 4510 of " + n + " ("));
    EXPECT_EQ(reporter.statuses().back().rfind(std::to_string(flight.size()) + " track positions read (", 0), 0u);
    EXPECT_EQ(reporter.products(), std::vector<std::string>{"GPSMAP 76S Software Version 3.20"});
    EXPECT_EQ(reporter.count("error"), 0);
}

}  // namespace
}  // namespace orlogix::garmin
