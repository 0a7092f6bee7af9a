// Garmin transfers over USB against the in-memory USB receiver: both ways of
// answering (interrupt pipe, or "data available" and the bulk pipe), a real
// flight, waypoints both ways, uploads as a track log and the USB codes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "competition/pilot_identity.hpp"
#include "protocols/garmin/usb_session.hpp"
#include "sim/garmin/garmin_usb_receiver.hpp"
#include "support/recording_reporter.hpp"
#include "support/sim_kit.hpp"

namespace orlogix::garmin {
namespace {

struct UsbRig {
    explicit UsbRig(sim::GarminUsbConfig config, UsbSessionOptions options = {})
        : usb(std::move(config)), session(usb, reporter, std::move(options)) {
        std::string why;
        EXPECT_EQ(usb.open("usb:001:002", why), 0);
    }
    sim::GarminUsbReceiver usb;
    test::RecordingReporter reporter;
    UsbSession session;
};

sim::GarminUsbConfig with(std::vector<TrackPosition> track, bool bulk) {
    sim::GarminUsbConfig c;
    c.receiver.track = std::move(track);
    c.bulk = bulk;
    return c;
}

TEST(GarminUsbSession, ARealFlightComesDownOnEitherPipe) {
    const std::vector<TrackPosition> flight = test::load_flight("flights/tri.igc");
    ASSERT_GT(flight.size(), 1000u);
    for (const bool bulk : {false, true}) {
        for (const int type : {301, 304}) {
            sim::GarminUsbConfig c = with(flight, bulk);
            c.receiver.track_point_type = type;
            c.zero_length = bulk;
            UsbSessionOptions o;
            o.power_off = true;
            UsbRig rig(c, o);
            ASSERT_EQ(rig.session.identify(), 0) << rig.reporter.last_error().text;
            EXPECT_EQ(rig.session.unit_id(), 3456789u);
            std::vector<TrackPosition> got;
            ASSERT_EQ(rig.session.read_track_log(got), 0) << rig.reporter.last_error().text;
            ASSERT_EQ(got.size(), flight.size());
            EXPECT_EQ(got.back().time, flight.back().time);
            EXPECT_EQ(got.back().latitude, flight.back().latitude);
            EXPECT_EQ(got[0].flags & kSegmentStart, kSegmentStart);
            EXPECT_TRUE(rig.reporter.has_status(std::to_string(flight.size()) + " track positions read"));
            EXPECT_EQ(rig.usb.reports.back(), "power off");
            TrackLogHeader h;
            rig.session.fill_header(h);
            EXPECT_EQ(h.device_identity, "Garmin USB: 3456789");
        }
    }
}

TEST(GarminUsbSession, WaypointsBothWaysAndAsATrackLog) {
    sim::GarminUsbConfig c;
    c.receiver.waypoint_type = 109;
    c.receiver.waypoints = sim::generated_waypoints(7);
    ASSERT_EQ(append_identity_waypoints(c.receiver.waypoints, PilotIds{57, -1}, false, 0), 0);
    UsbRig rig(c);
    ASSERT_EQ(rig.session.identify(), 0) << rig.reporter.last_error().text;
    WaypointList list;
    ASSERT_EQ(rig.session.read_waypoints(&list), 0) << rig.reporter.last_error().text;
    ASSERT_EQ(list.size(), 8u);
    EXPECT_EQ(list.items()[3].identifier, c.receiver.waypoints[3].identifier);
    EXPECT_TRUE(rig.reporter.has_status("8 waypoints read"));
    IdentityRecogniser found(false);
    ASSERT_EQ(rig.session.read_waypoints(nullptr, [&](const std::string& id, const GeoPosition& g) {
        found.feed(id, g);
    }), 0);
    EXPECT_EQ(found.found().comp_id, 57);

    ASSERT_EQ(rig.session.upload_waypoints(sim::generated_waypoints(3)), 0);
    const std::vector<Waypoint> three = sim::generated_waypoints(3);
    ASSERT_EQ(rig.session.upload_points_as_track(three), 0);
    const std::vector<std::string> expected{
        "records 3",
        "waypoint WP0 " + std::to_string(three[0].latitude) + " " + std::to_string(three[0].longitude),
        "waypoint WP1 " + std::to_string(three[1].latitude) + " " + std::to_string(three[1].longitude),
        "waypoint WP2 " + std::to_string(three[2].latitude) + " " + std::to_string(three[2].longitude),
        "transfer complete 7",
        "records 4",  // A301: the header and three points
        "track header",
        "track point " + std::to_string(three[0].latitude) + " " + std::to_string(three[0].longitude) + " size 21",
        "track point " + std::to_string(three[1].latitude) + " " + std::to_string(three[1].longitude) + " size 21",
        "track point " + std::to_string(three[2].latitude) + " " + std::to_string(three[2].longitude) + " size 21",
        "transfer complete 6",
    };
    EXPECT_EQ(rig.usb.reports, expected);
}

TEST(GarminUsbSession, FailuresCarryTheUsbCodes) {
    const std::vector<TrackPosition> short_track = sim::generated_track(5);
    sim::GarminUsbConfig no_caps = with(short_track, false);
    no_caps.receiver.report_capabilities = false;
    sim::GarminUsbConfig odd_caps = with(short_track, true);
    odd_caps.receiver.protocols = {{'L', 1}};
    sim::GarminUsbConfig odd_array = with(short_track, false);
    odd_array.odd_capabilities = true;  // 31 bytes
    sim::GarminUsbConfig endless = with(short_track, false);
    endless.endless_248 = true;
    sim::GarminUsbConfig bulk_fails = with(short_track, true);
    bulk_fails.bulk_reads_fail = true;
    sim::GarminUsbConfig no_track = with(short_track, false);
    no_track.receiver.protocols = {{'P', 0}, {'L', 1}, {'A', 10}, {'A', 100}, {'D', 108}};
    const struct {
        const char* what;
        sim::GarminUsbConfig config;
        bool download;
        const char* error;
    } cases[] = {
        // No capabilities: the next read times out on the interrupt pipe (114 - (-1)).
        {"no capability packet", no_caps, false, "E115 Packet read error"},
        {"no device command protocol", odd_caps, false, "E181 Unsupported device command protocol"},
        {"a capability array of 31 bytes", odd_array, false, "E125 Bad protocol data packet"},
        {"packet 248 for ever", endless, false, "E124 Bad protocol array data packet"},
        // Bulk mode from the session start; the product data never comes (104 - (-7)).
        {"bulk product read fails", bulk_fails, false, "E111 Packet read error"},
        {"no track protocol", no_track, true, "E237 No track log protocol defined"},
    };
    for (const auto& c : cases) {
        UsbRig rig(c.config);
        const int identified = rig.session.identify();
        if (!c.download) {
            EXPECT_EQ(identified, -1) << c.what;
            EXPECT_EQ(rig.reporter.last_error().text, c.error) << c.what;
            EXPECT_EQ(rig.reporter.last_error().title, "Read GPS product data") << c.what;
            continue;
        }
        ASSERT_EQ(identified, 0) << c.what << rig.reporter.last_error().text;
        std::vector<TrackPosition> got;
        EXPECT_EQ(rig.session.read_track_log(got), -1) << c.what;
        EXPECT_EQ(rig.reporter.last_error().text, c.error) << c.what;
        EXPECT_EQ(rig.reporter.last_error().title, "Read track log") << c.what;
    }
    // A receiver that is not there: the session start's first read fails.
    sim::GarminUsbReceiver closed(sim::GarminUsbConfig{});
    test::RecordingReporter r;
    UsbSession session(closed, r);
    EXPECT_EQ(session.identify(), -1);
    EXPECT_EQ(r.last_error().text, "E001 Bulk OUT error");
}

TEST(GarminUsbSession, AbortMidTrackRestartsTheSession) {
    int polls = 0;
    UsbSessionOptions o;
    o.aborted = [&polls] { return ++polls > 20; };
    UsbRig rig(with(sim::generated_track(200), true), o);
    ASSERT_EQ(rig.session.identify(), 0);
    std::vector<TrackPosition> got(3);
    EXPECT_EQ(rig.session.read_track_log(got), -1);
    EXPECT_EQ(got.size(), 3u);  // untouched
    EXPECT_TRUE(rig.reporter.has_status("Transfer aborted"));
    EXPECT_EQ(rig.reporter.count("error"), 0);
}

}  // namespace
}  // namespace orlogix::garmin
