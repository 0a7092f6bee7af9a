// The "garmin" family of orlogix-sim: its settings, what they make the
// simulated receiver announce and serve, and what a host sees of it
// (gpsbabel's reading of its waypoints, the device the job's texts name).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>

#include "access/job_context.hpp"
#include "access/job_runner.hpp"
#include "protocols/garmin/jobs.hpp"
#include "protocols/garmin/link_codec.hpp"
#include "protocols/garmin/records.hpp"
#include "protocols/garmin/session.hpp"
#include "sim/family_registry.hpp"
#include "sim/garmin/garmin_receiver.hpp"
#include "sim/harness.hpp"
#include "support/peer_programs.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix::garmin {
namespace {

// Sends one packet to a receiver and collects the packets it answers with
// (acknowledging each, as the program would).
std::vector<Packet> exchange(sim::Instrument& device, const Packet& first) {
    std::vector<Packet> got;
    auto send = [&device](const Packet& p) {
        auto f = encode_frame(p);
        device.receive(std::string_view(reinterpret_cast<const char*>(f.data()), f.size()));
    };
    send(first);
    FrameReceiver rx;
    for (int rounds = 0; rounds < 5 && device.has_output(); ++rounds) {
        for (char c : device.take_all_output()) {
            if (rx.feed(static_cast<uint8_t>(c)) != FeedResult::Complete) continue;
            got.push_back(rx.packet());
            if (rx.packet().id != kPidAck) send(make_ack(rx.packet().id));
        }
    }
    return got;
}
std::vector<Packet> product_exchange(sim::Instrument& device) {
    return exchange(device, make_packet(kPidProductRequest, {}));
}

std::unique_ptr<sim::Instrument> make(std::map<std::string, std::string> settings, test::RecordingReporter& r,
                                      sim::FamilyOptions o = {}) {
    sim::FamilyRegistry registry;
    sim::register_all_families(registry);
    const sim::FamilyEntry* e = registry.find("garmin");
    EXPECT_NE(e, nullptr);
    if (!e) return nullptr;
    o.settings = std::move(settings);
    return e->make(o, r);
}

TEST(GarminSimFamily, SettingsShapeTheProductExchange) {
    test::RecordingReporter r;
    auto device = make({{"product", "77"}, {"version", "350"}, {"description", "GPS 12"},
                        {"capabilities", "none"}, {"ack_request", "off"}},
                       r);
    ASSERT_NE(device, nullptr);
    auto got = product_exchange(*device);
    ASSERT_EQ(got.size(), 1u);   // product data only: no acknowledgement, no capabilities
    ProductData p;
    ASSERT_EQ(decode_product_data(got[0].bytes(), p), 0);
    EXPECT_EQ(p.product_id, 77);
    EXPECT_EQ(p.software_version, 350);
    EXPECT_EQ(p.description, "GPS 12");
}

TEST(GarminSimFamily, AnnouncesItsDataTypes) {
    test::RecordingReporter r;
    auto device = make({{"waypoint_type", "155"}, {"track_protocol", "302"}, {"track_header", "311"},
                        {"track_point", "304"}},
                       r);
    ASSERT_NE(device, nullptr);
    auto got = product_exchange(*device);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_TRUE(is_ack_of(got[0], kPidProductRequest));
    ASSERT_EQ(got[2].id, kPidProtocolArray);
    CapabilityTable t;
    ASSERT_EQ(parse_protocol_array(got[2].bytes(), 1, 1, t), kCapParsed);
    EXPECT_EQ(t[kCapWaypointType], 155);
    EXPECT_EQ(t[kCapTrackProtocol], 302);
    EXPECT_EQ(t[kCapTrackHeader], 311);
    EXPECT_EQ(t[kCapTrackPointType], 304);
}

TEST(GarminSimFamily, ExplicitCapabilityList) {
    test::RecordingReporter r;
    auto device = make({{"capabilities", "L2,A10"}}, r);
    ASSERT_NE(device, nullptr);
    auto got = product_exchange(*device);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[2].bytes().size(), 6u);
    EXPECT_EQ(got[2].data[0], 'L');
    EXPECT_EQ(got[2].data[1], 2);
}

TEST(GarminSimFamily, BadSettingsAreRefused) {
    for (auto settings : std::vector<std::map<std::string, std::string>>{
             {{"colour", "red"}}, {{"track_point", "305"}}, {{"product", "x"}}, {{"capabilities", "L"}},
             {{"ack_request", "maybe"}}, {{"points", "65535"}}}) {
        test::RecordingReporter r;
        EXPECT_EQ(make(settings, r), nullptr) << settings.begin()->first;
        EXPECT_EQ(r.count("error"), 1) << settings.begin()->first;
    }
}

// The record count is 16 bits: 65535 points and a header would announce 0.
TEST(GarminSimFamily, TransfersBeyondASixteenBitCountAreRefusedAtStartUp) {
    const struct {
        std::size_t points;
        const char* protocol;
        std::size_t waypoints;
        const char* refusal;   // empty: accepted
    } cases[] = {
        {65534, "301", 0, ""},
        {65535, "301", 0, "Track log too long: 65536 records, a Garmin transfer counts at most 65535"},
        {65535, "300", 0, ""},
        {65536, "300", 0, "Track log too long: 65536 records, a Garmin transfer counts at most 65535"},
        {0, "301", 65535, ""},
        {0, "301", 70000, "Too many waypoints: 70000, a Garmin transfer counts at most 65535"},
    };
    for (const auto& c : cases) {
        test::RecordingReporter r;
        sim::FamilyOptions o;
        o.track.positions = sim::generated_track(c.points);
        o.waypoints.resize(c.waypoints);
        auto device = make({{"track_protocol", c.protocol}}, r, o);
        EXPECT_EQ(device == nullptr, *c.refusal != 0) << c.points << " " << c.waypoints;
        EXPECT_EQ(r.last_error().text, c.refusal) << c.points << " " << c.waypoints;
    }
}

TEST(GarminSimFamily, ReceiverNeverAnnouncesACutCount) {
    for (std::size_t points : {65534u, 65535u}) {
        sim::GarminConfig c;
        c.track = sim::generated_track(points);
        sim::GarminReceiver device(c);
        const auto got = exchange(device, make_u16_packet(kPidCommand, kCmdTransferTrack));
        ASSERT_GE(got.size(), 1u);
        EXPECT_TRUE(is_ack_of(got[0], kPidCommand));
        if (points == 65534) {
            ASSERT_GE(got.size(), 2u);
            EXPECT_EQ(got[1].id, kPidRecords);
            EXPECT_EQ(packet_u16(got[1]), 65535);
        } else {
            EXPECT_EQ(got.size(), 1u);   // silent rather than a count of 0
        }
    }
}

constexpr const char* kGpsbabel = "/usr/bin/gpsbabel";

// gpsbabel as host: each waypoint text record ends with facility, city,
// address and cross road, which it reads up to their zero bytes.
TEST(GarminSimFamily, GpsbabelReadsEmptyFacilities) {
    if (!::orlogix::test::peer_available("gpsbabel")) GTEST_SKIP();
    for (int type : {108, 109, 110}) {
        sim::GarminConfig c;
        c.waypoint_type = type;
        c.waypoints = sim::generated_waypoints(4);
        sim::Harness harness(std::make_unique<sim::GarminReceiver>(c));
        ASSERT_EQ(harness.start(), 0);
        const std::string command =
            std::string(kGpsbabel) + " -w -i garmin -f " + harness.device_path() + " -o unicsv -F - 2>&1";
        std::string out;
        if (FILE* p = popen(command.c_str(), "r")) {
            char buf[4096];
            for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
            pclose(p);
        }
        harness.stop();
        // unicsv: a header naming the columns, then a row per waypoint;
        // columns nobody filled are left out.
        std::istringstream in(out);
        std::vector<std::vector<std::string>> rows;
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            std::vector<std::string> cells;
            std::istringstream cl(line);
            for (std::string cell; std::getline(cl, cell, ',');) {
                if (cell.size() >= 2 && cell.front() == '"' && cell.back() == '"')
                    cell = cell.substr(1, cell.size() - 2);
                cells.push_back(cell);
            }
            rows.push_back(cells);
        }
        ASSERT_EQ(rows.size(), 5u) << type << "\n" << out;
        const auto& header = rows[0];
        const auto name = std::find(header.begin(), header.end(), "Name") - header.begin();
        const auto facility = std::find(header.begin(), header.end(), "Facility") - header.begin();
        for (std::size_t i = 1; i < rows.size(); ++i) {
            ASSERT_EQ(rows[i].size(), header.size()) << type;
            EXPECT_EQ(rows[i][name], "WP" + std::to_string(i - 1)) << type;
            if (facility < static_cast<long>(header.size())) {
                EXPECT_EQ(rows[i][facility], "") << type;
            }
        }
    }
}

// Packets handed out in order; an empty slot is a failed read.
class ScriptedTransport : public PacketTransport {
public:
    explicit ScriptedTransport(std::deque<std::optional<Packet>> script) : script_(std::move(script)) {}
    int send_packet(const Packet&) override { return 0; }
    int receive_packet(int, Packet& out) override {
        if (script_.empty()) return kReceiveTimeout;
        const std::optional<Packet> next = script_.front();
        script_.pop_front();
        if (!next) return kReceiveError;
        out = *next;
        return 0;
    }

private:
    std::deque<std::optional<Packet>> script_;
};

TEST(GarminSimFamily, PortErrorsNameTheDevice) {
    const sim::GarminConfig receiver;
    const Packet product = make_packet(kPidProductData, encode_product_data(receiver.product));
    const Packet protocols = make_packet(kPidProtocolArray, encode_protocol_array(sim::default_protocols(receiver)));
    const struct {
        std::deque<std::optional<Packet>> script;
        const char* text;
    } cases[] = {
        {{std::nullopt}, "COM port read error on /dev/ttyUSB7"},
        {{product, std::nullopt}, "COM port error while waiting for protocol capability packet on /dev/ttyUSB7"},
        {{product, protocols, make_ack(kPidCommand), std::nullopt},
         "E302 COM port error while waiting for count packet on /dev/ttyUSB7"},
    };
    for (const auto& c : cases) {
        ScriptedTransport transport(c.script);
        test::RecordingReporter r;
        SessionOptions o;
        o.device = "/dev/ttyUSB7";
        Session session(transport, r, o);
        WaypointList list;
        EXPECT_TRUE(session.identify() < 0 || session.read_waypoints(&list) < 0);
        EXPECT_EQ(r.last_error().text, c.text);
    }
}

TEST(GarminSimFamily, NoAnswerNamesTheDeviceTheJobOpened) {
    sim::Harness harness(std::make_unique<sim::GarminReceiver>(sim::GarminConfig{}));
    sim::FaultSettings silent;
    silent.silent = true;
    harness.instrument().set_faults(silent);
    ASSERT_EQ(harness.start(), 0);
    // COM1: the first adapter of a device tree whose ttyUSB0 is the receiver.
    const std::filesystem::path tree =
        std::filesystem::temp_directory_path() / ("garmin_ports_" + std::to_string(getpid()));
    std::filesystem::create_directories(tree / "sys/class/tty/ttyUSB0/device/driver");
    std::filesystem::create_directories(tree / "dev");
    std::filesystem::create_symlink(harness.device_path(), tree / "dev/ttyUSB0");
    const struct {
        std::string port;
        std::string named;
    } cases[] = {
        {harness.device_path(), harness.device_path()},
        {"COM1", "COM1 (" + (tree / "dev/ttyUSB0").string() + ")"},
    };
    for (const auto& c : cases) {
        test::RecordingReporter r;
        JobContext ctx(r, AccessType::ReadWaypoints, ProtocolType::GarminSerial, c.port);
        ctx.device_roots = {(tree / "dev").string(), (tree / "sys").string()};
        ctx.options.timeout_seconds = 2;   // one attempt
        EXPECT_EQ(run_job_inline(ctx, read_waypoints_job), -1);
        EXPECT_EQ(r.last_error().text, "No valid response from GPS on " + c.named);
        EXPECT_EQ(r.last_error().title, "Get GPS product data");
    }
    std::filesystem::remove_all(tree);
}

}  // namespace
}  // namespace orlogix::garmin
