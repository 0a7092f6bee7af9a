// The application layer against the simulated receiver, joined in memory:
// a wait with nothing to read is an immediate time-out, so the fault cases
// run without real waits. The pty tests cover the same paths end to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "protocols/garmin/jobs.hpp"
#include "protocols/garmin/session.hpp"
#include "sim/garmin/garmin_receiver.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix::garmin {
namespace {

using sim::GarminConfig;
using sim::GarminReceiver;

class MemoryTransport : public PacketTransport {
public:
    explicit MemoryTransport(sim::Instrument& device) : device_(device) {}

    int send_packet(const Packet& p) override {
        sent.push_back(p);
        const std::vector<uint8_t> frame = encode_frame(p);
        device_.receive(std::string_view(reinterpret_cast<const char*>(frame.data()), frame.size()));
        return 0;
    }

    int receive_packet(int timeout_ms, Packet& out) override {
        waits.push_back(timeout_ms);
        if (read_error) return kReceiveError;
        for (;;) {
            if (rx_.process()) {
                out = rx_.packet();
                return 0;
            }
            if (pending_.empty()) {
                if (!device_.has_output()) return kReceiveTimeout;
                pending_ = device_.take_chunk().bytes;
            }
            // At most one port read's worth at a time, as the serial link delivers.
            const std::size_t n = std::min(pending_.size(), LinkReceiver::kChunk);
            rx_.load({reinterpret_cast<const uint8_t*>(pending_.data()), n});
            pending_.erase(0, n);
        }
    }

    std::vector<Packet> sent;
    std::vector<int> waits;
    bool read_error = false;

private:
    sim::Instrument& device_;
    LinkReceiver rx_;
    std::string pending_;
};

struct Rig {
    explicit Rig(GarminConfig config, SessionOptions options = {})
        : device(std::move(config)), transport(device), session(transport, reporter, make(options)) {
        device.set_report_sink([this](std::string_view line) { uploads.emplace_back(line); });
    }
    static SessionOptions make(SessionOptions o) {
        if (!o.now) o.now = [] { return 123456u; };
        return o;
    }
    bool sent_command(uint16_t command) const {
        return std::any_of(transport.sent.begin(), transport.sent.end(), [command](const Packet& p) {
            return p.id == kPidCommand && packet_u16(p) == command;
        });
    }
    bool has_status(const std::string& text) const {
        auto s = reporter.statuses();
        return std::find(s.begin(), s.end(), text) != s.end();
    }

    test::RecordingReporter reporter;
    GarminReceiver device;
    MemoryTransport transport;
    Session session;
    std::vector<std::string> uploads;
};

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
sim::FaultSettings dropped(std::size_t reply) {
    sim::FaultSettings f;
    f.drop_reply = reply;
    return f;
}
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
    EXPECT_TRUE(rig.has_status("Requesting product info (15)"));
    EXPECT_TRUE(rig.has_status("Product data read"));
    EXPECT_EQ(rig.reporter.products(), std::vector<std::string>{"eTrex Software Version 2.70"});
    // Product data and the capability packet were both acknowledged.
    auto acked = [&rig](uint8_t id) {
        return std::any_of(rig.transport.sent.begin(), rig.transport.sent.end(),
                           [id](const Packet& p) { return is_ack_of(p, id); });
    };
    EXPECT_TRUE(acked(kPidProductData));
    EXPECT_TRUE(acked(kPidProtocolArray));

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
    EXPECT_EQ(rig.transport.waits.front(), 2000);
}

TEST(GarminSession, SilentReceiverUsesTheWholeBudget) {
    GarminConfig c;
    Rig rig(c, with_timeout(8));
    rig.device.set_faults(silent());
    EXPECT_EQ(rig.session.identify(), -1);
    const auto s = rig.reporter.statuses();
    EXPECT_EQ(s, (std::vector<std::string>{"Requesting product info (4)", "Requesting product info (3)",
                                           "Requesting product info (2)", "Requesting product info (1)"}));
    EXPECT_EQ(rig.reporter.last_error().text, "No valid response from GPS");
    EXPECT_EQ(rig.reporter.last_error().title, "Get GPS product data");
    EXPECT_EQ(std::count_if(rig.transport.sent.begin(), rig.transport.sent.end(),
                            [](const Packet& p) { return p.id == kPidProductRequest; }),
              4);
}

TEST(GarminSession, SpoiledProductDataIsRetriedInTheNextAttempt) {
    Rig rig(GarminConfig{});
    rig.device.set_faults(corrupt(2));   // reply 1 acknowledges the request
    ASSERT_EQ(rig.session.identify(), 0);
    EXPECT_TRUE(rig.has_status("Requesting product info (14)"));
}

TEST(GarminSession, ReadErrorsAndAbortDuringIdentification) {
    Rig broken(GarminConfig{});
    broken.transport.read_error = true;
    EXPECT_EQ(broken.session.identify(), -1);
    EXPECT_EQ(broken.reporter.last_error().text, "COM port read error");
    EXPECT_EQ(broken.reporter.last_error().title, "Requesting GPS product data");

    SessionOptions o;
    o.aborted = [] { return true; };
    Rig aborted(GarminConfig{}, o);
    EXPECT_EQ(aborted.session.identify(), -1);
    EXPECT_EQ(aborted.reporter.statuses(), std::vector<std::string>{"Transfer aborted"});
    EXPECT_EQ(aborted.reporter.count("error"), 0);
    EXPECT_TRUE(aborted.transport.sent.empty());
}

TEST(GarminSession, ReadErrorDuringADownloadHasItsOwnText) {
    Rig rig(with_track(5));
    ASSERT_EQ(rig.session.identify(), 0);
    rig.transport.read_error = true;
    std::vector<TrackPosition> got;
    EXPECT_EQ(rig.session.read_track_log(got), -1);
    EXPECT_EQ(rig.reporter.last_error().text, "E200 COM port error while waiting for data packet");
    EXPECT_TRUE(rig.sent_command(kCmdAbortTransfer));
}

TEST(GarminSession, DroppedAcknowledgementOfTheCommand) {
    Rig rig(with_track(5));
    ASSERT_EQ(rig.session.identify(), 0);
    rig.device.set_faults(dropped(4));   // the acknowledgement of command 6
    std::vector<TrackPosition> got;
    EXPECT_EQ(rig.session.read_track_log(got), -1);
    // The record count arrives where the acknowledgement belongs.
    EXPECT_EQ(rig.reporter.last_error().text, "E201 Bad acknowledge packet type or format");
    EXPECT_EQ(rig.reporter.last_error().title, "Read GPS track log");

    GarminConfig silent_after = with_track(5);
    Rig quiet(silent_after);
    ASSERT_EQ(quiet.session.identify(), 0);
    quiet.device.set_faults(silent());
    EXPECT_EQ(quiet.session.read_track_log(got), -1);
    EXPECT_EQ(quiet.reporter.last_error().text, "E200 Timeout while waiting for data packet");
    EXPECT_EQ(quiet.transport.waits.back(), 5000);
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
    EXPECT_EQ(rig.transport.waits.back(), 5000);

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
    const auto s = rig.reporter.statuses();
    EXPECT_TRUE(rig.has_status("Requesting track log download"));
    EXPECT_TRUE(std::any_of(s.begin(), s.end(),
                            [](const std::string& t) { return t.rfind("Track position 5 of 13 (", 0) == 0; }));
    EXPECT_TRUE(std::any_of(s.begin(), s.end(),
                            [](const std::string& t) { return t.rfind("Track position 10 of 13 (", 0) == 0; }));
    EXPECT_EQ(s.back().rfind("12 track positions read (", 0), 0u) << s.back();
    EXPECT_FALSE(rig.sent_command(kCmdTurnOff));
}

TEST(GarminSession, ProgressGoesToTheCommandLineCaller) {
    std::vector<std::string> notes;
    std::vector<uint32_t> times;
    SessionOptions o;
    o.notify = [&notes](std::string_view t) { notes.emplace_back(t); };
    o.on_position = [&times](const TrackPosition& p) { times.push_back(p.time); };
    GarminConfig c = with_track(10);
    Rig rig(c, o);
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
    Rig rig(with_track(0), with_power_off());
    rig.device.set_report_sink([&rig](std::string_view l) { rig.uploads.emplace_back(l); });
    ASSERT_EQ(rig.session.identify(), 0);
    std::vector<TrackPosition> got{TrackPosition{}};
    // The receiver still sends its header: one record, no positions.
    ASSERT_EQ(rig.session.read_track_log(got), 0);
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(rig.reporter.statuses().back().rfind("0 track positions read (", 0), 0u);
    EXPECT_TRUE(rig.sent_command(kCmdTurnOff));
    EXPECT_NE(std::find(rig.uploads.begin(), rig.uploads.end(), "power off"), rig.uploads.end());
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
    const std::size_t before = rig.transport.sent.size();
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
    EXPECT_EQ(rig.transport.sent.size(), before);
}

TEST(GarminSession, SpoiledRecordEndsInTimeoutAndAbortCommand) {
    Rig rig(with_track(20));
    ASSERT_EQ(rig.session.identify(), 0);
    // Identification took replies 1-3 (ack, product, capabilities); 4 acks the
    // command, 5 is the count, 6 the header, 7 the first point.
    rig.device.set_faults(corrupt(9));
    std::vector<TrackPosition> got;
    EXPECT_EQ(rig.session.read_track_log(got), -1);
    EXPECT_EQ(rig.reporter.last_error().text, "E205 Timeout while waiting for log data packet");
    EXPECT_TRUE(rig.sent_command(kCmdAbortTransfer));
    EXPECT_NE(std::find(rig.uploads.begin(), rig.uploads.end(), "abort transfer"), rig.uploads.end());
}

TEST(GarminSession, AbortInTheMiddleOfATrackLog) {
    int polls = 0;
    SessionOptions o;
    o.aborted = [&polls] { return ++polls > 1 + 6; };   // one poll in identify, then records
    Rig rig(with_track(40), o);
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
            EXPECT_EQ(list[i].time, type == 110 ? 0u : 123456u) << type;
        }
        EXPECT_EQ(rig.reporter.statuses().back().rfind("7 of 7 waypoints read (", 0), 0u) << type;
        EXPECT_TRUE(rig.has_status("Waypoint 5 of 7 received"));
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
    Rig rig(c, with_power_off());
    ASSERT_EQ(rig.session.identify(), 0);
    std::vector<Waypoint> wpts = sim::generated_waypoints(6);
    wpts[1].identifier = "ab_1";
    wpts[1].comment = "Take-off #2";
    ASSERT_EQ(rig.session.upload_waypoints(wpts), 0);
    ASSERT_GE(rig.uploads.size(), 8u);
    EXPECT_EQ(rig.uploads[0], "records 6");
    EXPECT_EQ(rig.uploads[2].rfind("waypoint AB 1 ", 0), 0u) << rig.uploads[2];
    EXPECT_NE(rig.uploads[2].find("TAKE-OFF -2"), std::string::npos);
    EXPECT_EQ(rig.uploads[7], "transfer complete 7");
    EXPECT_EQ(rig.uploads.back(), "power off");
    EXPECT_TRUE(rig.has_status("Sending waypoint 5 of 6"));
    EXPECT_TRUE(rig.has_status("Waypoint 6 of 6 sent"));

    // Nothing to send: no packet at all.
    const std::size_t before = rig.transport.sent.size();
    EXPECT_EQ(rig.session.upload_waypoints({}), 0);
    EXPECT_EQ(rig.transport.sent.size(), before);
}

TEST(GarminSession, WaypointsAsTrackLogAnnounceTheHeaderUnderA301) {
    for (int protocol : {300, 301, 302}) {
        GarminConfig c;
        c.track_protocol = protocol;
        c.track_point_type = protocol == 300 ? 300 : 301;
        Rig rig(c);
        ASSERT_EQ(rig.session.identify(), 0);
        std::vector<Waypoint> wpts = sim::generated_waypoints(12);
        ASSERT_EQ(rig.session.upload_points_as_track(wpts), 0) << protocol;
        EXPECT_EQ(rig.uploads[0], protocol == 301 ? "records 13" : "records 12") << protocol;
        const auto header = std::find(rig.uploads.begin(), rig.uploads.end(), "track header WP0");
        EXPECT_EQ(header != rig.uploads.end(), protocol == 301) << protocol;
        const auto points = std::count_if(rig.uploads.begin(), rig.uploads.end(),
                                          [](const std::string& l) { return l.rfind("track point ", 0) == 0; });
        EXPECT_EQ(points, 12) << protocol;
        const std::size_t size = protocol == 300 ? 13 : protocol == 301 ? 21 : 25;
        for (const Packet& p : rig.transport.sent) {
            if (p.id == kPidTrackPoint) {
                EXPECT_EQ(p.size, size);
            }
        }
        EXPECT_TRUE(rig.has_status("Point 12 of 12 sent"));
        EXPECT_TRUE(rig.has_status("Sending point 10 of 12"));
        EXPECT_FALSE(rig.sent_command(kCmdTurnOff));
    }
}

TEST(GarminSession, CtrOutlineUsesItsNumberAndName) {
    Rig rig(GarminConfig{}, with_track_power_off());
    ASSERT_EQ(rig.session.identify(), 0);
    const std::string name = "CTR GENEVA";
    ASSERT_EQ(rig.session.upload_points_as_track(sim::generated_waypoints(5), 2, &name), 0);
    EXPECT_NE(std::find(rig.uploads.begin(), rig.uploads.end(), "track header CTR GENEVA"), rig.uploads.end());
    EXPECT_TRUE(rig.has_status("CTR 2: Sending point 5 of 5"));
    EXPECT_TRUE(rig.has_status("CTR 2: Point 5 of 5 sent"));
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
    EXPECT_TRUE(rig.has_status("CTR 1: Point 5 of 5 sent"));
    EXPECT_TRUE(rig.has_status("CTR 3: Point 5 of 5 sent"));
    EXPECT_FALSE(rig.has_status("CTR 2: Point 5 of 5 sent"));
    EXPECT_NE(std::find(rig.uploads.begin(), rig.uploads.end(), "track header CHARLIE"), rig.uploads.end());
    EXPECT_EQ(rig.reporter.last_error().text, "No points for CTR 2 sent");
    EXPECT_EQ(rig.reporter.last_error().title, "Upload CTR");
    EXPECT_EQ(rig.reporter.count("error"), 1);
}

TEST(GarminSession, MissingAcknowledgementOfAnUpload) {
    GarminConfig c;
    Rig rig(c);
    ASSERT_EQ(rig.session.identify(), 0);
    // Replies after identification: ack of the count (4), acks of points...
    rig.device.set_faults(dropped(5));
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

}  // namespace
}  // namespace orlogix::garmin
