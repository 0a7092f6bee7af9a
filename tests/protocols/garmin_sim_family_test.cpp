// The "garmin" family of orlogix-sim: its settings and what they make the
// simulated receiver announce.
#include <gtest/gtest.h>

#include <string>

#include "protocols/garmin/link_codec.hpp"
#include "protocols/garmin/records.hpp"
#include "sim/family_registry.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix::garmin {
namespace {

// Sends a product request to a receiver made from settings and collects
// the packets it answers with (acknowledging each, as the program would).
std::vector<Packet> product_exchange(sim::Instrument& device) {
    std::vector<Packet> got;
    auto send = [&device](const Packet& p) {
        auto f = encode_frame(p);
        device.receive(std::string_view(reinterpret_cast<const char*>(f.data()), f.size()));
    };
    send(make_packet(kPidProductRequest, {}));
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

std::unique_ptr<sim::Instrument> make(std::map<std::string, std::string> settings, test::RecordingReporter& r) {
    sim::FamilyRegistry registry;
    sim::register_all_families(registry);
    const sim::FamilyEntry* e = registry.find("garmin");
    EXPECT_NE(e, nullptr);
    if (!e) return nullptr;
    sim::FamilyOptions o;
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
             {{"ack_request", "maybe"}}}) {
        test::RecordingReporter r;
        EXPECT_EQ(make(settings, r), nullptr) << settings.begin()->first;
        EXPECT_EQ(r.count("error"), 1) << settings.begin()->first;
    }
}

}  // namespace
}  // namespace orlogix::garmin
