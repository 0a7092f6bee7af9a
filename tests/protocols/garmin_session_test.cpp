// The Garmin application layer and job routines against the simulated
// receiver on the in-memory link: the real link transport, framing and
// timers, on simulated time, so silences and time-outs cost nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "competition/pilot_identity.hpp"
#include "access/debug_trace.hpp"
#include "access/event_loop.hpp"
#include "access/job_framework.hpp"
#include "access/job_runner.hpp"
#include "core/current_data.hpp"
#include "protocols/garmin/jobs.hpp"
#include "protocols/garmin/session.hpp"
#include "sim/garmin/garmin_receiver.hpp"
#include "support/fault_sweep.hpp"
#include "support/recording_reporter.hpp"
#include "support/sim_kit.hpp"

namespace orlogix::garmin {
namespace {

using sim::GarminConfig;
using sim::GarminReceiver;

// The packets in a stream of frames.
std::vector<Packet> packets(const std::string& bytes) {
    std::vector<Packet> out;
    FrameReceiver rx;
    for (char c : bytes)
        if (rx.feed(static_cast<uint8_t>(c)) == FeedResult::Complete) out.push_back(rx.packet());
    return out;
}

std::unique_ptr<sim::Instrument> receiver(GarminConfig config) {
    return std::make_unique<GarminReceiver>(std::move(config));
}

// A session on an open link to the simulated receiver.
struct Rig {
    explicit Rig(GarminConfig config, sim::FaultSettings faults = {}, SessionOptions options = {})
        : sim(receiver(std::move(config)), faults),
          ctx(sim.job(reporter, AccessType::ReadTrackLog, ProtocolType::GarminSerial)),
          transport(*ctx),
          session(transport, reporter, with_clock(std::move(options))) {
        ctx->link().open("memory");
    }
    static SessionOptions with_clock(SessionOptions o) {
        if (!o.now) o.now = [] { return 123456u; };
        return o;
    }
    std::vector<Packet> sent() const { return packets(sim.link().from_program()); }
    bool sent_command(uint16_t command) const {
        const auto s = sent();
        return std::any_of(s.begin(), s.end(),
                           [command](const Packet& p) { return p.id == kPidCommand && packet_u16(p) == command; });
    }

    test::RecordingReporter reporter;
    mutable test::MemorySim sim;
    std::unique_ptr<JobContext> ctx;
    LinkTransport transport;
    Session session;
};

// A whole job routine on the simulated receiver.
struct JobRig {
    explicit JobRig(GarminConfig config, sim::FaultSettings faults = {}, AccessType access = AccessType::ReadTrackLog)
        : sim(receiver(std::move(config)), faults), ctx(sim.job(reporter, access, ProtocolType::GarminSerial)) {
        ctx->options.timeout_seconds = 4;
    }
    int run(const JobRoutine& routine) { return run_job_inline(*ctx, routine); }

    test::RecordingReporter reporter;
    test::MemorySim sim;
    std::unique_ptr<JobContext> ctx;
};

SessionOptions with_timeout(int seconds) {
    SessionOptions o;
    o.timeout_seconds = seconds;
    return o;
}
SessionOptions with_power_off() {
    SessionOptions o;
    o.power_off = true;
    return o;
}
SessionOptions with_track_power_off() {
    SessionOptions o;
    o.power_off_after_track_upload = true;
    return o;
}

GarminConfig with_track(std::size_t n, int protocol = 301, int point_type = 301) {
    GarminConfig c;
    c.track = sim::generated_track(n);
    c.track_protocol = protocol;
    c.track_point_type = point_type;
    return c;
}

TEST(GarminSession, IdentifyReadsProductAndCapabilities) {
    GarminConfig c;
    c.product = {404, 270, "eTrex Software Version 2.70"};
    c.waypoint_type = 109;
    c.track_protocol = 302;
    c.track_point_type = 304;
    Rig rig(c);
    ASSERT_EQ(rig.session.identify(), 0);
    EXPECT_EQ(rig.session.product().product_id, 404);
    EXPECT_EQ(rig.session.product().software_version, 270);
    EXPECT_EQ(rig.session.capabilities()[kCapWaypointType], 109);
    EXPECT_EQ(rig.session.capabilities()[kCapTrackProtocol], 302);
    EXPECT_EQ(rig.session.capabilities()[kCapTrackPointType], 304);
    EXPECT_TRUE(rig.reporter.has_status("Requesting product info (15)"));
    EXPECT_TRUE(rig.reporter.has_status("Product data read"));
    EXPECT_EQ(rig.reporter.products(), std::vector<std::string>{"eTrex Software Version 2.70"});
    // Product data and the capability packet were both acknowledged.
    const auto s = rig.sent();
    auto acked = [&s](uint8_t id) { return std::any_of(s.begin(), s.end(), [id](const Packet& p) { return is_ack_of(p, id); }); };
    EXPECT_TRUE(acked(kPidProductData));
    EXPECT_TRUE(acked(kPidProtocolArray));
    // Nothing was waited for.
    EXPECT_EQ(rig.sim.now_ms(), 0);

    TrackLogHeader h;
    rig.session.fill_header(h);
    EXPECT_EQ(h.product_name, "Garmin");
    EXPECT_EQ(h.instrument_description, "eTrex Software Version 2.70");
    EXPECT_EQ(h.device_identity, "Garmin: eTrex Software Version 2.70");
}

TEST(GarminSession, DeviceIdentityIsCutToFifty) {
    GarminConfig c;
    c.product.description = std::string(70, 'x');
    Rig rig(c);
    ASSERT_EQ(rig.session.identify(), 0);
    TrackLogHeader h;
    rig.session.fill_header(h);
    EXPECT_EQ(h.device_identity.size(), 50u);
    EXPECT_EQ(h.instrument_description.size(), 70u);
}

TEST(GarminSession, ProductDataWithoutAcknowledgementFirst) {
    GarminConfig c;
    c.ack_product_request = false;
    Rig rig(c);
    ASSERT_EQ(rig.session.identify(), 0);
    EXPECT_EQ(rig.reporter.statuses().front(), "Requesting product info (15)");
    EXPECT_FALSE(rig.reporter.has_status("Requesting product info (14)"));
}

TEST(GarminSession, SilentReceiverUsesTheWholeBudget) {
    Rig rig(GarminConfig{}, test::silent(), with_timeout(8));
    EXPECT_EQ(rig.session.identify(), -1);
    EXPECT_EQ(rig.reporter.statuses(),
              (std::vector<std::string>{"Requesting product info (4)", "Requesting product info (3)",
                                        "Requesting product info (2)", "Requesting product info (1)"}));
    EXPECT_EQ(rig.reporter.last_error().text, "No valid response from GPS");
    EXPECT_EQ(rig.reporter.last_error().title, "Get GPS product data");
    const auto s = rig.sent();
    EXPECT_EQ(std::count_if(s.begin(), s.end(), [](const Packet& p) { return p.id == kPidProductRequest; }), 4);
    // Four waits of 2 s, on the link's clock.
    EXPECT_EQ(rig.sim.now_ms(), 8000);
}

TEST(GarminSession, SpoiledProductDataIsRetriedInTheNextAttempt) {
    Rig rig(GarminConfig{}, test::corrupt_reply(2));   // reply 1 acknowledges the request
    ASSERT_EQ(rig.session.identify(), 0);
    EXPECT_TRUE(rig.reporter.has_status("Requesting product info (14)"));
    EXPECT_EQ(rig.sim.now_ms(), 2000);
}

TEST(GarminSession, ReadErrorsAndAbortDuringIdentification) {
    Rig broken(GarminConfig{});
    broken.sim.link().set_read_failure(true);
    EXPECT_EQ(broken.session.identify(), -1);
    EXPECT_EQ(broken.reporter.last_error().text, "COM port read error");
    EXPECT_EQ(broken.reporter.last_error().title, "Requesting GPS product data");

    SessionOptions o;
    o.aborted = [] { return true; };
    Rig aborted(GarminConfig{}, {}, o);
    EXPECT_EQ(aborted.session.identify(), -1);
    EXPECT_EQ(aborted.reporter.statuses(), std::vector<std::string>{"Transfer aborted"});
    EXPECT_EQ(aborted.reporter.count("error"), 0);
    EXPECT_TRUE(aborted.sent().empty());
}

TEST(GarminSession, ReadErrorDuringADownloadHasItsOwnText) {
    Rig rig(with_track(5));
    ASSERT_EQ(rig.session.identify(), 0);
    rig.sim.link().set_read_failure(true);
    std::vector<TrackPosition> got;
    EXPECT_EQ(rig.session.read_track_log(got), -1);
    EXPECT_EQ(rig.reporter.last_error().text, "E200 COM port error while waiting for data packet");
    EXPECT_TRUE(rig.sent_command(kCmdAbortTransfer));
}

TEST(GarminSession, DroppedAcknowledgementOfTheCommand) {
    Rig rig(with_track(5), test::drop_reply(4));   // the acknowledgement of command 6
    ASSERT_EQ(rig.session.identify(), 0);
    std::vector<TrackPosition> got;
    EXPECT_EQ(rig.session.read_track_log(got), -1);
    // The record count arrives where the acknowledgement belongs.
    EXPECT_EQ(rig.reporter.last_error().text, "E201 Bad acknowledge packet type or format");
    EXPECT_EQ(rig.reporter.last_error().title, "Read GPS track log");

    Rig quiet(with_track(5));
    ASSERT_EQ(quiet.session.identify(), 0);
    quiet.sim.instrument().set_faults(test::silent());
    EXPECT_EQ(quiet.session.read_track_log(got), -1);
    EXPECT_EQ(quiet.reporter.last_error().text, "E200 Timeout while waiting for data packet");
    EXPECT_EQ(quiet.sim.now_ms(), 5000);
}

TEST(GarminSession, NoCapabilityPacketFallsBackToTheBuiltInTable) {
    GarminConfig c;
    c.report_capabilities = false;
    c.product = {77, 350, "GPS 12 Software Version 3.50"};
    Rig rig(c);
    ASSERT_EQ(rig.session.identify(), 0);
    EXPECT_EQ(rig.session.capabilities()[kCapWaypointType], 103);
    EXPECT_EQ(rig.session.capabilities()[kCapTrackProtocol], 300);
    EXPECT_EQ(rig.session.capabilities()[kCapTrackPointType], 300);
    // It waited 5 s for the capability packet.
    EXPECT_EQ(rig.sim.now_ms(), 5000);

    c.product = {999, 350, "Unknown"};
    Rig unknown(c);
    EXPECT_EQ(unknown.session.identify(), -1);
    EXPECT_EQ(unknown.reporter.last_error().text, "GPS product ID not supported");
    EXPECT_EQ(unknown.reporter.last_error().title, "Requesting GPS product data");
}

TEST(GarminSession, UnsupportedProtocolsAreRefused) {
    struct Case {
        std::vector<ProtocolEntry> entries;
        const char* text;
        const char* title;
    };
    const Case cases[] = {
        {{{'L', 1}, {'A', 11}, {'A', 100}, {'D', 108}}, "E181 Unsupported device command protocol",
         "Read GPS product data"},
        {{{'L', 2}, {'A', 10}, {'A', 100}, {'D', 108}}, "E180 Unsupported link protocol", "Read GPS product data"},
        {{{'L', 1}, {'A', 10}, {'Q', 100}}, "Bad protocol tag character", "Requesting GPS product data"},
    };
    for (const Case& k : cases) {
        GarminConfig c;
        c.protocols = k.entries;
        Rig rig(c);
        EXPECT_EQ(rig.session.identify(), -1);
        EXPECT_EQ(rig.reporter.last_error().text, k.text);
        EXPECT_EQ(rig.reporter.last_error().title, k.title);
        EXPECT_FALSE(rig.sent_command(kCmdAbortTransfer));
    }
}

TEST(GarminSession, TrackLogWithHeaderAndProgress) {
    GarminConfig c = with_track(12);
    c.track[0].flags = 0;   // the receiver does not mark the start; the download does
    c.track[7].flags = kSegmentStart;
    Rig rig(c);
    ASSERT_EQ(rig.session.identify(), 0);
    std::vector<TrackPosition> got;
    ASSERT_EQ(rig.session.read_track_log(got), 0);
    ASSERT_EQ(got.size(), 12u);
    EXPECT_EQ(got[0].flags, kSegmentStart);
    EXPECT_EQ(got[7].flags, kSegmentStart);
    EXPECT_EQ(got[3].flags, 0u);
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].latitude, c.track[i].latitude);
        EXPECT_EQ(got[i].time, c.track[i].time);
        EXPECT_EQ(got[i].gps_altitude, c.track[i].gps_altitude);
    }
    // 13 records with the header: progress after the 5th and 10th.
    EXPECT_TRUE(rig.reporter.has_status("Requesting track log download"));
    EXPECT_TRUE(rig.reporter.has_status_prefix("Track position 5 of 13 ("));
    EXPECT_TRUE(rig.reporter.has_status_prefix("Track position 10 of 13 ("));
    EXPECT_EQ(rig.reporter.statuses().back(), "12 track positions read (0.000 secs)");
    EXPECT_FALSE(rig.sent_command(kCmdTurnOff));
}

TEST(GarminSession, ProgressGoesToTheCommandLineCaller) {
    std::vector<std::string> notes;
    std::vector<uint32_t> times;
    SessionOptions o;
    o.notify = [&notes](std::string_view t) { notes.emplace_back(t); };
    o.on_position = [&times](const TrackPosition& p) { times.push_back(p.time); };
    GarminConfig c = with_track(10);
    Rig rig(c, {}, o);
    ASSERT_EQ(rig.session.identify(), 0);
    std::vector<TrackPosition> got;
    ASSERT_EQ(rig.session.read_track_log(got), 0);
    EXPECT_EQ(notes, (std::vector<std::string>{"Progress 5/11", "Progress 10/11"}));
    ASSERT_EQ(times.size(), 10u);
    EXPECT_EQ(times[9], c.track[9].time);

    notes.clear();
    ASSERT_EQ(rig.session.upload_waypoints(sim::generated_waypoints(2)), 0);
    EXPECT_EQ(notes, (std::vector<std::string>{"Sent wpt 1/2", "Sent wpt 2/2"}));
}

TEST(GarminSession, EmptyTrackLogAndPowerOff) {
    Rig rig(with_track(0), {}, with_power_off());
    ASSERT_EQ(rig.session.identify(), 0);
    std::vector<TrackPosition> got{TrackPosition{}};
    // The receiver still sends its header: one record, no positions.
    ASSERT_EQ(rig.session.read_track_log(got), 0);
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(rig.reporter.statuses().back().rfind("0 track positions read (", 0), 0u);
    EXPECT_TRUE(rig.sent_command(kCmdTurnOff));
    EXPECT_TRUE(rig.sim.uploads.has("power off"));
}

TEST(GarminSession, HeaderRecordUnderA300IsAMismatch) {
    GarminConfig c = with_track(3, 300, 300);
    // A receiver that claims A300 but sends a header anyway.
    c.protocols = {{'L', 1}, {'A', 10}, {'A', 100}, {'D', 108}, {'A', 300}, {'D', 300}};
    c.track_protocol = 301;
    Rig rig(c);
    ASSERT_EQ(rig.session.identify(), 0);
    std::vector<TrackPosition> got;
    EXPECT_EQ(rig.session.read_track_log(got), -1);
    EXPECT_EQ(rig.reporter.last_error().text, "E208 Packet type/protocol mismatch");
    EXPECT_EQ(rig.reporter.last_error().title, "Read GPS track log");
    EXPECT_TRUE(rig.sent_command(kCmdAbortTransfer));
    EXPECT_TRUE(got.empty());
}

TEST(GarminSession, ShortTrackPointIsALengthMismatch) {
    GarminConfig c = with_track(3, 301, 300);   // sends 13-byte points
    c.protocols = {{'L', 1}, {'A', 10}, {'A', 301}, {'D', 310}, {'D', 302}};
    Rig rig(c);
    ASSERT_EQ(rig.session.identify(), 0);
    std::vector<TrackPosition> got;
    EXPECT_EQ(rig.session.read_track_log(got), -1);
    EXPECT_EQ(rig.reporter.last_error().text, "E206 Packet type/length mismatch");
}

TEST(GarminSession, MissingProtocolsFailWithoutTouchingTheReceiver) {
    GarminConfig c;
    c.protocols = {{'L', 1}, {'A', 10}};
    Rig rig(c);
    ASSERT_EQ(rig.session.identify(), 0);
    const std::size_t before = rig.sent().size();
    std::vector<TrackPosition> track;
    WaypointList list;
    EXPECT_EQ(rig.session.read_track_log(track), -1);
    EXPECT_EQ(rig.reporter.last_error().text, "E212 No track log protocol defined");
    EXPECT_EQ(rig.session.read_waypoints(&list), -1);
    EXPECT_EQ(rig.reporter.last_error().text, "E310 No waypoint log protocol defined");
    Waypoint w;
    EXPECT_EQ(rig.session.upload_waypoints({w}), -1);
    EXPECT_EQ(rig.reporter.last_error().text, "E406 No waypoint log protocol defined");
    EXPECT_EQ(rig.session.upload_points_as_track({w}), -1);
    EXPECT_EQ(rig.reporter.last_error().text, "E508 No track log protocol defined");
    EXPECT_EQ(rig.reporter.last_error().title, "Upload track log");
    EXPECT_EQ(rig.sent().size(), before);
}

TEST(GarminSession, ListsBeyondOneTransferAreRefusedNotCut) {
    Rig rig(GarminConfig{});
    ASSERT_EQ(rig.session.identify(), 0);
    const std::size_t before = rig.sent().size();
    const std::vector<Waypoint> many(65536);
    EXPECT_EQ(rig.session.upload_waypoints(many), -1);
    EXPECT_EQ(rig.reporter.last_error().text, "Too many waypoints for one transfer (65536, at most 65535)");
    EXPECT_EQ(rig.session.upload_points_as_track(std::vector<Waypoint>(65535)), -1);
    EXPECT_EQ(rig.reporter.last_error().text, "Too many points for one transfer (65535, at most 65534)");
    EXPECT_EQ(rig.sent().size(), before);
}

TEST(GarminSession, SpoiledRecordEndsInTimeoutAndAbortCommand) {
    // Identification takes replies 1-3 (ack, product, capabilities); 4 acks the
    // command, 5 is the count, 6 the header, 7 the first point.
    Rig rig(with_track(20), test::corrupt_reply(9));
    ASSERT_EQ(rig.session.identify(), 0);
    std::vector<TrackPosition> got;
    EXPECT_EQ(rig.session.read_track_log(got), -1);
    EXPECT_EQ(rig.reporter.last_error().text, "E205 Timeout while waiting for log data packet");
    EXPECT_TRUE(rig.sent_command(kCmdAbortTransfer));
    EXPECT_TRUE(rig.sim.uploads.has("abort transfer"));
}

TEST(GarminSession, AbortInTheMiddleOfATrackLog) {
    int polls = 0;
    SessionOptions o;
    o.aborted = [&polls] { return ++polls > 1 + 6; };   // one poll in identify, then records
    Rig rig(with_track(40), {}, o);
    ASSERT_EQ(rig.session.identify(), 0);
    std::vector<TrackPosition> got;
    EXPECT_EQ(rig.session.read_track_log(got), -1);
    EXPECT_TRUE(got.empty());
    EXPECT_TRUE(rig.sent_command(kCmdAbortTransfer));
    EXPECT_EQ(rig.reporter.statuses().back(), "Transfer aborted");
    EXPECT_EQ(rig.reporter.count("error"), 0);
}

TEST(GarminSession, WaypointDownloadEveryType) {
    const int types[] = {100, 101, 102, 103, 104, 107, 108, 109, 110, 150, 151, 152, 154, 155};
    for (int type : types) {
        GarminConfig c;
        c.waypoint_type = type;
        c.waypoints = sim::generated_waypoints(7);
        Rig rig(c);
        ASSERT_EQ(rig.session.identify(), 0) << type;
        WaypointList list;
        ASSERT_EQ(rig.session.read_waypoints(&list), 0) << type;
        ASSERT_EQ(list.size(), 7u) << type;
        for (std::size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i].identifier, c.waypoints[i].identifier) << type;
            EXPECT_EQ(list[i].comment, c.waypoints[i].comment) << type;
            EXPECT_EQ(list[i].latitude, c.waypoints[i].latitude) << type;
            EXPECT_EQ(list[i].longitude, c.waypoints[i].longitude) << type;
            EXPECT_EQ(list[i].height, type >= 108 ? c.waypoints[i].height : 0) << type;
            EXPECT_EQ(list[i].time, type == 110 ? 0u : 123456u) << type;
        }
        EXPECT_TRUE(rig.reporter.has_status_prefix("7 of 7 waypoints read (")) << type;
        EXPECT_TRUE(rig.reporter.has_status("Waypoint 5 of 7 received"));
    }
}

TEST(GarminSession, IdentityCheckModeStoresNothing) {
    GarminConfig c;
    c.waypoints = sim::generated_waypoints(3);
    Rig rig(c);
    ASSERT_EQ(rig.session.identify(), 0);
    std::vector<std::string> seen;
    ASSERT_EQ(rig.session.read_waypoints(nullptr, [&seen](const std::string& id, const GeoPosition& p) {
        seen.push_back(id);
        EXPECT_NEAR(p.latitude, 0.8046, 0.001);   // 550000000 semicircles: 46.1 degrees north
    }), 0);
    EXPECT_EQ(seen, (std::vector<std::string>{"WP0", "WP1", "WP2"}));
}

TEST(GarminSession, WaypointUploadIsReportedByTheReceiver) {
    GarminConfig c;
    c.waypoint_type = 103;
    Rig rig(c, {}, with_power_off());
    ASSERT_EQ(rig.session.identify(), 0);
    std::vector<Waypoint> wpts = sim::generated_waypoints(6);
    wpts[1].identifier = "ab_1";
    wpts[1].comment = "Take-off #2";
    ASSERT_EQ(rig.session.upload_waypoints(wpts), 0);
    const auto uploads = rig.sim.uploads.lines();
    ASSERT_GE(uploads.size(), 8u);
    EXPECT_EQ(uploads[0], "records 6");
    EXPECT_EQ(uploads[2].rfind("waypoint AB 1 ", 0), 0u) << uploads[2];
    EXPECT_NE(uploads[2].find("TAKE-OFF -2"), std::string::npos);
    EXPECT_EQ(uploads[7], "transfer complete 7");
    EXPECT_EQ(uploads.back(), "power off");
    EXPECT_TRUE(rig.reporter.has_status("Sending waypoint 5 of 6"));
    EXPECT_TRUE(rig.reporter.has_status("Waypoint 6 of 6 sent"));

    // Nothing to send: no packet at all.
    const std::size_t before = rig.sent().size();
    EXPECT_EQ(rig.session.upload_waypoints({}), 0);
    EXPECT_EQ(rig.sent().size(), before);
}

TEST(GarminSession, WaypointsAsTrackLogAnnounceTheHeaderUnderA301) {
    for (int protocol : {300, 301, 302}) {
        GarminConfig c;
        c.track_protocol = protocol;
        c.track_point_type = protocol == 300 ? 300 : 301;
        Rig rig(c);
        ASSERT_EQ(rig.session.identify(), 0);
        ASSERT_EQ(rig.session.upload_points_as_track(sim::generated_waypoints(12)), 0) << protocol;
        const auto uploads = rig.sim.uploads.lines();
        EXPECT_EQ(uploads[0], protocol == 301 ? "records 13" : "records 12") << protocol;
        EXPECT_EQ(rig.sim.uploads.has("track header WP0"), protocol == 301) << protocol;
        const auto points = std::count_if(uploads.begin(), uploads.end(),
                                          [](const std::string& l) { return l.rfind("track point ", 0) == 0; });
        EXPECT_EQ(points, 12) << protocol;
        const std::size_t size = protocol == 300 ? 13 : protocol == 301 ? 21 : 25;
        for (const Packet& p : rig.sent()) {
            if (p.id == kPidTrackPoint) {
                EXPECT_EQ(p.size, size);
            }
        }
        EXPECT_TRUE(rig.reporter.has_status("Point 12 of 12 sent"));
        EXPECT_TRUE(rig.reporter.has_status("Sending point 10 of 12"));
        EXPECT_FALSE(rig.sent_command(kCmdTurnOff));
    }
}

TEST(GarminSession, CtrOutlineUsesItsNumberAndName) {
    Rig rig(GarminConfig{}, {}, with_track_power_off());
    ASSERT_EQ(rig.session.identify(), 0);
    const std::string name = "CTR GENEVA";
    ASSERT_EQ(rig.session.upload_points_as_track(sim::generated_waypoints(5), 2, &name), 0);
    EXPECT_TRUE(rig.sim.uploads.has("track header CTR GENEVA"));
    EXPECT_TRUE(rig.reporter.has_status("CTR 2: Sending point 5 of 5"));
    EXPECT_TRUE(rig.reporter.has_status("CTR 2: Point 5 of 5 sent"));
    EXPECT_TRUE(rig.sent_command(kCmdTurnOff));
}

TEST(GarminSession, AirspacesAreNumberedAndUnconvertedOnesReported) {
    Rig rig(GarminConfig{});
    ASSERT_EQ(rig.session.identify(), 0);
    std::vector<CtrTrack> ctrs(3);
    ctrs[0] = {"ALPHA", true, sim::generated_waypoints(5)};
    ctrs[1] = {"BRAVO", false, {}};
    ctrs[2] = {"CHARLIE", true, sim::generated_waypoints(5)};
    // The others are still sent, but a skipped airspace fails the upload.
    EXPECT_EQ(upload_ctr_tracks(rig.session, rig.reporter, ctrs), -1);
    EXPECT_TRUE(rig.reporter.has_status("CTR 1: Point 5 of 5 sent"));
    EXPECT_TRUE(rig.reporter.has_status("CTR 3: Point 5 of 5 sent"));
    EXPECT_FALSE(rig.reporter.has_status("CTR 2: Point 5 of 5 sent"));
    EXPECT_TRUE(rig.sim.uploads.has("track header CHARLIE"));
    EXPECT_EQ(rig.reporter.last_error().text, "No points for CTR 2 sent");
    EXPECT_EQ(rig.reporter.last_error().title, "Upload CTR");
    EXPECT_EQ(rig.reporter.count("error"), 1);
}

TEST(GarminSession, MissingAcknowledgementOfAnUpload) {
    // Replies after identification: ack of the count (4), acks of points...
    Rig rig(GarminConfig{}, test::drop_reply(5));
    ASSERT_EQ(rig.session.identify(), 0);
    EXPECT_EQ(rig.session.upload_waypoints(sim::generated_waypoints(3)), -1);
    EXPECT_EQ(rig.reporter.last_error().text, "E402 Timeout while waiting for ack. packet");
    EXPECT_EQ(rig.reporter.last_error().title, "Upload waypoints");
    EXPECT_TRUE(rig.sent_command(kCmdAbortTransfer));
}

TEST(GarminSession, ElapsedTimeKeepsItsMillisecondDigits) {
    EXPECT_EQ(elapsed_seconds_text(2005), "2.005");
    EXPECT_EQ(elapsed_seconds_text(61250), "61.250");
    EXPECT_EQ(elapsed_seconds_text(0), "0.000");
}

TEST(GarminJobs, SilentReceiverFailsAfterTheBudget) {
    JobRig rig(GarminConfig{}, test::silent());
    EXPECT_EQ(rig.run(read_track_log_job), -1);
    EXPECT_EQ(rig.reporter.statuses(),
              (std::vector<std::string>{"Requesting product info (2)", "Requesting product info (1)"}));
    // The text names the device the job opened.
    EXPECT_EQ(rig.reporter.last_error().text, "No valid response from GPS on memory");
    EXPECT_EQ(rig.reporter.last_error().title, "Get GPS product data");
    EXPECT_TRUE(rig.ctx->result.track_log.positions.empty());
    // The port opened at 9600 without flow control, settled twice for 100 ms,
    // then two attempts of 2 s: the program asked twice.
    EXPECT_EQ(rig.sim.link().settings(), (std::vector<std::pair<int, bool>>{{9600, false}}));
    EXPECT_EQ(rig.sim.now_ms(), 200 + 2 * 2000);
    EXPECT_EQ(rig.sim.link().from_program(), std::string("\x10\xFE\x00\x02\x10\x03\x10\xFE\x00\x02\x10\x03", 12));
    EXPECT_FALSE(rig.sim.link().is_open());
}

TEST(GarminJobs, MissingPortEndsBeforeIdentification) {
    JobRig rig(GarminConfig{});
    rig.ctx->options.timeout_seconds = 2;
    rig.sim.link().set_present(false);
    EXPECT_EQ(rig.run(read_track_log_job), -1);
    EXPECT_EQ(rig.reporter.statuses(),
              (std::vector<std::string>{"Connecting to GPS (2)", "Connecting to GPS (1)"}));
    EXPECT_EQ(rig.reporter.count("error"), 1);
    EXPECT_EQ(rig.reporter.last_error().text, "Could not open serial port (sure it's the right one ?)");
    EXPECT_EQ(rig.reporter.last_error().title, "Connecting to GPS on memory (not among the serial ports found)");
    EXPECT_EQ(rig.sim.now_ms(), 2000);
}

TEST(GarminJobs, SpoiledChecksumIsRetriedThenFailsWithItsCode) {
    // Reply 2 is the product data: dropped by its checksum, asked for again.
    GarminConfig c = with_track(30);
    JobRig retried(c, test::corrupt_reply(2));
    ASSERT_EQ(retried.run(read_track_log_job), 0) << retried.reporter.last_error().text;
    EXPECT_TRUE(retried.reporter.has_status("Requesting product info (1)"));
    EXPECT_EQ(retried.ctx->result.track_log.positions.size(), 30u);

    // Replies after 6 (ack 254, product, capabilities, ack 10, count, header)
    // are the points: the tenth reply never arrives intact.
    JobRig failed(c, test::corrupt_reply(10));
    EXPECT_EQ(failed.run(read_track_log_job), -1);
    EXPECT_EQ(failed.reporter.last_error().text, "E205 Timeout while waiting for log data packet");
    EXPECT_EQ(failed.reporter.last_error().title, "Read GPS track log");
    EXPECT_TRUE(failed.ctx->result.track_log.positions.empty());
    EXPECT_TRUE(failed.sim.uploads.has("abort transfer"));
}

TEST(GarminJobs, TraceHoldsWhatCrossedTheLink) {
    JobRig rig(with_track(2));
    clear_trace();
    ASSERT_EQ(rig.run(read_track_log_job), 0);
    // Both directions, in order: the Garmin readers trace their input.
    EXPECT_EQ(trace_snapshot(), rig.sim.link().exchange());
}

TEST(GarminJobs, AbortKeepsThePreviousTrackLog) {
    test::RecordingReporter reporter;
    test::MemorySim sim(receiver(with_track(3000)));
    HeadlessEventLoop loop;
    CurrentData data;
    data.track_log.positions = sim::generated_track(7);
    data.track_log.header.product_name = "Previous";
    RoutineRegistry routines;
    register_garmin_jobs(routines);
    JobFramework jobs(reporter, loop, data, routines);
    jobs.set_link_factory(sim.factory());
    // A few hundred points in, the user presses Abort.
    sim.link().watch(300 * 35, [&jobs] { jobs.abort_transfer(); });
    ASSERT_EQ(jobs.start_job(AccessType::ReadTrackLog, ProtocolType::GarminSerial, Completion::TrackLog), 0);
    // The abort clears the busy flag at once; the job's completion, which
    // marks the failure, follows on the loop.
    ASSERT_TRUE(loop.run_until([&] { return !jobs.job_registered() && jobs.failed(); }, std::chrono::seconds(20)));

    EXPECT_EQ(data.track_log.positions.size(), 7u);
    EXPECT_EQ(data.track_log.header.product_name, "Previous");
    EXPECT_TRUE(reporter.has_status("Transfer aborted"));
    EXPECT_EQ(reporter.count("error"), 0);
    EXPECT_TRUE(sim.uploads.has("abort transfer"));
    EXPECT_TRUE(jobs.failed());
}

TEST(GarminJobs, TrackPointTypesRoundTrip) {
    for (int type : {300, 302, 303, 304}) {
        GarminConfig c = with_track(25, type == 300 ? 300 : 302, type);
        c.track_header_type = 311;
        JobRig rig(c);
        ASSERT_EQ(rig.run(read_track_log_job), 0) << type << rig.reporter.last_error().text;
        const TrackLog& log = rig.ctx->result.track_log;
        ASSERT_EQ(log.positions.size(), 25u) << type;
        EXPECT_EQ(log.positions[24].time, c.track[24].time) << type;
        EXPECT_EQ(log.positions[24].latitude, c.track[24].latitude) << type;
        EXPECT_EQ(log.positions[24].gps_altitude, type == 300 ? 0 : c.track[24].gps_altitude) << type;
        EXPECT_EQ(log.header.instrument_family, InstrumentFamily::Garmin);
        EXPECT_EQ(log.header.track_log_source, 1u);
        EXPECT_EQ(log.header.times_in_utc, 1u);
        EXPECT_EQ(log.header.baro_present, 0u);
        EXPECT_EQ(rig.ctx->result.device_identity, "Garmin: SIMGPS Software Version 3.50");
    }
}

TEST(GarminJobs, ReadsWaypoints) {
    GarminConfig c;
    c.waypoint_type = 110;
    c.waypoints = sim::generated_waypoints(11);
    JobRig rig(c, {}, AccessType::ReadWaypoints);
    ASSERT_EQ(rig.run(read_waypoints_job), 0) << rig.reporter.last_error().text;
    const auto& got = rig.ctx->result.waypoints;
    ASSERT_EQ(got.size(), 11u);
    EXPECT_EQ(got[10].identifier, c.waypoints[10].identifier);
    EXPECT_EQ(got[10].height, c.waypoints[10].height);
    EXPECT_TRUE(rig.reporter.has_status_prefix("11 of 11 waypoints read ("));
}

TEST(GarminJobs, CompetitionDownloadFindsThePilotsIdWaypoints) {
    GarminConfig c = with_track(20);
    c.waypoints = sim::generated_waypoints(3);
    ASSERT_EQ(append_identity_waypoints(c.waypoints, PilotIds{57, 12345}, false, 0), 0);
    JobRig rig(c);
    rig.ctx->options.competition_mode = true;
    ASSERT_EQ(rig.run(read_track_log_job), 0) << rig.reporter.last_error().text;
    EXPECT_EQ(rig.ctx->result.comp_id, 57);
    EXPECT_EQ(rig.ctx->result.civl_id, 12345);
    EXPECT_EQ(rig.reporter.products().back(), "Comp ID = 57, CIVL ID = 12345");
    EXPECT_EQ(rig.ctx->result.track_log.positions.size(), 20u);

    // A receiver without a waypoint protocol has no IDs to give.
    c.protocols = default_protocols(c);
    std::erase_if(c.protocols, [](const garmin::ProtocolEntry& e) { return e.tag == 'A' && e.number == 100; });
    JobRig bare(c);
    bare.ctx->options.competition_mode = true;
    bare.ctx->result.comp_id = 9;
    ASSERT_EQ(bare.run(read_track_log_job), 0) << bare.reporter.last_error().text;
    EXPECT_EQ(bare.ctx->result.comp_id, -1);
    EXPECT_EQ(bare.ctx->result.civl_id, -1);
}

TEST(GarminJobs, UploadedWaypointsStayInTheReceiver) {
    GarminConfig c;
    c.waypoints = sim::generated_waypoints(2);
    test::MemorySim sim(receiver(c));
    test::RecordingReporter reporter;
    auto up = sim.job(reporter, AccessType::WriteWaypoints, ProtocolType::GarminSerial);
    up->params.waypoints = sim::generated_waypoints(3);   // WP0 and WP1 again, and WP2
    up->params.waypoints[0].comment = "REPLACED";
    ASSERT_EQ(run_job_inline(*up, write_waypoints_job), 0) << reporter.last_error().text;
    auto down = sim.job(reporter, AccessType::ReadWaypoints, ProtocolType::GarminSerial);
    ASSERT_EQ(run_job_inline(*down, read_waypoints_job), 0) << reporter.last_error().text;
    ASSERT_EQ(down->result.waypoints.size(), 3u);
    EXPECT_EQ(down->result.waypoints[0].comment, "REPLACED");
    EXPECT_EQ(down->result.waypoints[2].identifier, "WP2");
}

TEST(GarminJobs, UploadsWaypointsAndWaypointsAsTrackLog) {
    GarminConfig c;
    c.waypoint_type = 109;
    JobRig rig(c, {}, AccessType::WriteWaypoints);
    rig.ctx->params.waypoints = sim::generated_waypoints(4);
    rig.ctx->params.waypoints[0].identifier = "Mont";
    rig.ctx->params.waypoints[0].comment = "Sommet";
    rig.ctx->options.power_off = true;
    ASSERT_EQ(rig.run(write_waypoints_job), 0) << rig.reporter.last_error().text;
    const auto lines = rig.sim.uploads.lines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "records 4");
    EXPECT_EQ(lines[1].rfind("waypoint MONT ", 0), 0u) << lines[1];
    EXPECT_NE(lines[1].find(" SOMMET"), std::string::npos) << lines[1];
    EXPECT_EQ(lines[5], "transfer complete 7");
    EXPECT_EQ(lines[6], "power off");

    JobRig track(GarminConfig{}, {}, AccessType::WriteTrackLog);
    track.ctx->params.waypoints = sim::generated_waypoints(12);
    ASSERT_EQ(track.run(write_track_log_job), 0) << track.reporter.last_error().text;
    const auto tl = track.sim.uploads.lines();
    ASSERT_EQ(tl.size(), 15u);
    EXPECT_EQ(tl[0], "records 13");
    EXPECT_EQ(tl[1], "track header WP0");
    EXPECT_EQ(tl[14], "transfer complete 6");
    // From the window, power-off is not asked for after a track upload.
    EXPECT_FALSE(track.sim.uploads.has("power off"));
}

// The fault sweep over the Garmin transfers: the line cut after every byte
// (and each byte spoiled) of an exchange; see support/fault_sweep.hpp.
const RoutineRegistry& garmin_routines() {
    static RoutineRegistry routines;
    static const bool registered = (register_garmin_jobs(routines), true);
    (void)registered;
    return routines;
}

test::SweepCase sweep_case(GarminConfig config, AccessType access, Completion completion) {
    test::SweepCase k;
    k.instrument = [config] { return receiver(config); };
    k.routines = &garmin_routines();
    k.access = access;
    k.completion = completion;
    return k;
}

std::string frame_bytes(const Packet& p) {
    const std::vector<uint8_t> f = encode_frame(p);
    return std::string(f.begin(), f.end());
}

TEST(GarminFaultSweep, TrackDownloadOfARealFlight) {
    GarminConfig c;
    c.track = test::load_flight("garmin/tri.igc");
    ASSERT_GT(c.track.size(), 4000u);
    test::SweepCase k = sweep_case(c, AccessType::ReadTrackLog, Completion::TrackLog);
    k.complete = [&c](const CurrentData& d, const std::vector<std::string>&) {
        const auto& got = d.track_log.positions;
        if (got.size() != c.track.size() || d.track_log.header.product_name != "Garmin") return false;
        for (std::size_t i = 0; i < got.size(); ++i)
            if (got[i].time != c.track[i].time || got[i].latitude != c.track[i].latitude ||
                got[i].longitude != c.track[i].longitude)
                return false;
        return true;
    };
    const test::FaultSweep sweep(k);
    const std::string exchange = sweep.run().exchange;
    // The handshake runs up to the acknowledgement of the first point; the
    // last packets start after the acknowledgement of the point before the last.
    const std::string ack = frame_bytes(make_ack(kPidTrackPoint));
    const std::size_t first_ack = exchange.find(ack);
    const std::size_t last_ack = exchange.rfind(ack);
    ASSERT_NE(first_ack, std::string::npos);
    const std::size_t handshake = first_ack + ack.size();
    const std::size_t tail = exchange.rfind(ack, last_ack - 1) + ack.size();
    ASSERT_LT(handshake, tail);
    // Identification, whose spoiled bytes the waypoint sweep covers too, is
    // only cut; from the track log command on, bytes are also spoiled.
    const std::size_t command = exchange.find(frame_bytes(make_u16_packet(kPidCommand, kCmdTransferTrack)));
    ASSERT_LT(command, handshake);
    EXPECT_EQ(sweep.sweep(test::sweep_positions(0, command), false), std::vector<std::string>{});
    std::vector<std::size_t> ends = test::sweep_positions(command, handshake);
    for (std::size_t n : test::sweep_positions(tail, exchange.size())) ends.push_back(n);
    EXPECT_EQ(sweep.sweep(ends, true), std::vector<std::string>{});
    // In between, thinned: a prime step lands on every offset within a packet.
    EXPECT_EQ(sweep.sweep(test::sweep_positions(handshake, tail, 1009), false), std::vector<std::string>{});
}

TEST(GarminFaultSweep, WaypointDownload) {
    GarminConfig c;
    c.waypoints = sim::generated_waypoints(12);
    test::SweepCase k = sweep_case(c, AccessType::ReadWaypoints, Completion::WaypointsRead);
    k.complete = [&c](const CurrentData& d, const std::vector<std::string>&) {
        if (d.waypoints.size() != c.waypoints.size()) return false;
        for (std::size_t i = 0; i < d.waypoints.size(); ++i)
            if (d.waypoints[i].identifier != c.waypoints[i].identifier ||
                d.waypoints[i].latitude != c.waypoints[i].latitude)
                return false;
        return true;
    };
    const test::FaultSweep sweep(k);
    const std::size_t length = sweep.run().exchange.size();
    ASSERT_GT(length, 1000u);
    EXPECT_EQ(sweep.sweep(test::sweep_positions(0, length), true), std::vector<std::string>{});
}

TEST(GarminFaultSweep, WaypointAndTrackUploads) {
    const std::vector<Waypoint> wpts = sim::generated_waypoints(8);
    test::SweepCase k = sweep_case(GarminConfig{}, AccessType::WriteWaypoints, Completion::Written);
    k.params.waypoints = wpts;
    k.complete = [&wpts](const CurrentData&, const std::vector<std::string>& uploads) {
        const auto n = std::count_if(uploads.begin(), uploads.end(),
                                     [](const std::string& l) { return l.rfind("waypoint ", 0) == 0; });
        return n == static_cast<long>(wpts.size()) && !uploads.empty() && uploads.back() == "transfer complete 7";
    };
    const test::FaultSweep waypoints(k);
    std::size_t length = waypoints.run().exchange.size();
    EXPECT_EQ(waypoints.sweep(test::sweep_positions(0, length), true), std::vector<std::string>{});

    k.access = AccessType::WriteTrackLog;
    k.complete = [&wpts](const CurrentData&, const std::vector<std::string>& uploads) {
        const auto n = std::count_if(uploads.begin(), uploads.end(),
                                     [](const std::string& l) { return l.rfind("track point ", 0) == 0; });
        return n == static_cast<long>(wpts.size()) && !uploads.empty() && uploads.back() == "transfer complete 6";
    };
    const test::FaultSweep track(k);
    length = track.run().exchange.size();
    EXPECT_EQ(track.sweep(test::sweep_positions(0, length), true), std::vector<std::string>{});
}

}  // namespace
}  // namespace orlogix::garmin
