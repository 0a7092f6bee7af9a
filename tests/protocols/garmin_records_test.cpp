// Garmin records: byte layouts written out by hand from the documented
// record tables, the capability packet, the built-in product table, and
// round trips of every data type between encoder and decoder.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include "protocols/garmin/records.hpp"

namespace orlogix::garmin {
namespace {

using Bytes = std::vector<uint8_t>;

void put32(Bytes& d, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) d[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void put_float(Bytes& d, std::size_t at, float v) { put32(d, at, std::bit_cast<uint32_t>(v)); }
void put_text(Bytes& d, std::size_t at, const std::string& s) { std::memcpy(d.data() + at, s.data(), s.size()); }
std::string text_at(const Bytes& d, std::size_t at, std::size_t n) {
    return std::string(reinterpret_cast<const char*>(d.data() + at), n);
}

Bytes d301(float altitude, uint8_t segment) {
    Bytes d(21, 0);
    put32(d, 0, 0x1C000000);
    put32(d, 4, 0xFC000000);
    put32(d, 8, 600000000);
    put_float(d, 12, altitude);
    put32(d, 16, 0x41200000);   // depth 10.0
    d[20] = segment;
    return d;
}

TEST(GarminTrackPoint, D301FieldsAndAltitudeRules) {
    TrackPosition p;
    ASSERT_EQ(decode_track_point(d301(123.45f, 1), 301, p), 0);
    EXPECT_EQ(p.latitude, 0x1C000000);
    EXPECT_EQ(p.longitude, static_cast<int32_t>(0xFC000000));
    EXPECT_EQ(p.time, 600000000u);
    EXPECT_EQ(p.gps_altitude, 1234);
    EXPECT_EQ(p.depth, 0x41200000u);
    EXPECT_EQ(p.flags & kSegmentStart, kSegmentStart);
    EXPECT_EQ(p.baro_altitude, 0);

    ASSERT_EQ(decode_track_point(d301(-12.34f, 0), 301, p), 0);
    EXPECT_EQ(p.gps_altitude, -122);
    EXPECT_EQ(p.flags & kSegmentStart, 0u);

    ASSERT_EQ(decode_track_point(d301(1.0e25f, 0), 301, p), 0);
    EXPECT_EQ(p.gps_altitude, 0);
    ASSERT_EQ(decode_track_point(d301(std::bit_cast<float>(0x7FC00000u), 0), 301, p), 0);
    EXPECT_EQ(p.gps_altitude, 0);
    ASSERT_EQ(decode_track_point(d301(-3.0e30f, 0), 301, p), 0);
    EXPECT_EQ(p.gps_altitude, 0);
    // Only altitudes whose decimetres fit the 32-bit field are kept.
    ASSERT_EQ(decode_track_point(d301(1.0e9f, 0), 301, p), 0);
    EXPECT_EQ(p.gps_altitude, 0);
    ASSERT_EQ(decode_track_point(d301(2.0e8f, 0), 301, p), 0);
    EXPECT_EQ(p.gps_altitude, 2000000000);
    ASSERT_EQ(decode_track_point(d301(-2.1e8f, 0), 301, p), 0);
    EXPECT_EQ(p.gps_altitude, -2099999999);  // +0.5, then toward zero
}

TEST(GarminTrackPoint, InvalidTimesBecomeZero) {
    for (uint32_t t : {0xFFFFFFFFu, 0x7FFFFFFFu}) {
        Bytes d(13, 0);
        put32(d, 8, t);
        TrackPosition p;
        ASSERT_EQ(decode_track_point(d, 300, p), 0);
        EXPECT_EQ(p.time, 0u);
    }
}

TEST(GarminTrackPoint, ShortRecordsAndUnknownTypesFail) {
    TrackPosition p;
    const std::pair<int, std::size_t> minimum[] = {{300, 13}, {301, 21}, {302, 25}, {303, 17}, {304, 23}};
    for (auto [type, size] : minimum) {
        EXPECT_EQ(decode_track_point(Bytes(size - 1, 0), type, p), -1) << type;
        EXPECT_EQ(decode_track_point(Bytes(size, 0), type, p), 0) << type;
    }
    EXPECT_EQ(decode_track_point(Bytes(40, 0), 305, p), -1);
}

TEST(GarminTrackPoint, SegmentByteAndDepthOnlyWhereTheTypeHasThem) {
    Bytes d(25, 0);
    put_float(d, 12, 100.0f);
    put32(d, 16, 0x12345678);
    d[20] = 1;   // the D301 flag byte; D302 keeps its flag at 24
    d[24] = 0;
    TrackPosition p;
    ASSERT_EQ(decode_track_point(d, 302, p), 0);
    EXPECT_EQ(p.flags, 0u);
    EXPECT_EQ(p.depth, 0x12345678u);
    ASSERT_EQ(decode_track_point(d, 303, p), 0);
    EXPECT_EQ(p.depth, 0u);
    EXPECT_EQ(p.gps_altitude, 1000);
}

TEST(GarminTrackPoint, EveryTypeRoundTrips) {
    TrackPosition in;
    in.flags = kSegmentStart;
    in.time = 1000000123;
    in.latitude = -123456789;
    in.longitude = 987654321;
    in.gps_altitude = 15230;
    in.depth = 0x40490FDB;
    for (int type = 300; type <= 304; ++type) {
        TrackPosition out;
        ASSERT_EQ(decode_track_point(encode_track_point(in, type), type, out), 0) << type;
        EXPECT_EQ(out.latitude, in.latitude) << type;
        EXPECT_EQ(out.longitude, in.longitude) << type;
        EXPECT_EQ(out.time, in.time) << type;
        EXPECT_EQ(out.gps_altitude, type == 300 ? 0 : in.gps_altitude) << type;
        EXPECT_EQ(out.depth, (type == 301 || type == 302) ? in.depth : 0u) << type;
        EXPECT_EQ(out.flags, (type <= 302) ? kSegmentStart : 0u) << type;
    }
}

TEST(GarminTrackHeader, NamesAndIndex) {
    std::string name;
    ASSERT_EQ(decode_track_header(Bytes{1, 0, 'A', 'B', 0}, 310, name), 0);
    EXPECT_EQ(name, "AB");
    ASSERT_EQ(decode_track_header(Bytes{0x39, 0x30}, 311, name), 0);
    EXPECT_EQ(name, "12345");
    EXPECT_EQ(decode_track_header(Bytes{1}, 312, name), -1);
    // No terminator: the name ends with the record.
    ASSERT_EQ(decode_track_header(Bytes{1, 0, 'X', 'Y'}, 312, name), 0);
    EXPECT_EQ(name, "XY");
    EXPECT_EQ(encode_track_header(310, "LOG", 0), (Bytes{1, 0, 'L', 'O', 'G', 0}));
    EXPECT_EQ(encode_track_header(311, "", 513), (Bytes{1, 2}));
}

TEST(GarminProduct, DescriptionStopsAtZeroAndEighty) {
    Bytes d{0x4D, 0x00, 0x5E, 0x01};   // product 77, version 350
    const std::string text = "GPS 12 Software Version 3.50";
    d.insert(d.end(), text.begin(), text.end());
    d.push_back(0);
    d.push_back('X');
    ProductData p;
    ASSERT_EQ(decode_product_data(d, p), 0);
    EXPECT_EQ(p.product_id, 77);
    EXPECT_EQ(p.software_version, 350);
    EXPECT_EQ(p.description, text);

    Bytes long_text{1, 0, 1, 0};
    long_text.insert(long_text.end(), 120, 'a');   // no terminator at all
    ASSERT_EQ(decode_product_data(long_text, p), 0);
    EXPECT_EQ(p.description.size(), 80u);
    EXPECT_EQ(decode_product_data(Bytes{1, 0, 1, 0}, p), -1);
}

Bytes protocol_bytes(const std::string& text) {
    // "L1 A10 A100 D108" -> tag byte and 16-bit number per entry
    Bytes d;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(' ', at);
        if (end == std::string::npos) end = text.size();
        const int n = std::stoi(text.substr(at + 1, end - at - 1));
        d.push_back(static_cast<uint8_t>(text[at]));
        d.push_back(static_cast<uint8_t>(n & 0xFF));
        d.push_back(static_cast<uint8_t>(n >> 8));
        at = end + 1;
    }
    return d;
}

TEST(GarminCapabilities, TypicalArray) {
    CapabilityTable t;
    const Bytes d =
        protocol_bytes("P0 L1 A10 A100 D108 A200 D202 D108 D210 A301 D310 D301 A400 D403 A500 D501 A600 D600 A700 D700");
    // Hand check of the first entries: 'P' 0 0, 'L' 1 0.
    ASSERT_EQ(d[0], 'P');
    ASSERT_EQ(d[3], 'L');
    ASSERT_EQ(d[4], 1);
    ASSERT_EQ(parse_protocol_array(d, 404, 270, t), kCapParsed);
    EXPECT_EQ(t[kCapProduct], 404);
    EXPECT_EQ(t[kCapVersionLow], 270);
    EXPECT_EQ(t[kCapVersionHigh], 270);
    EXPECT_EQ(t[kCapLink], 1);
    EXPECT_EQ(t[kCapCommand], 10);
    EXPECT_EQ(t[kCapWaypointProtocol], 100);
    EXPECT_EQ(t[kCapWaypointType], 108);
    EXPECT_EQ(t[kCapRouteProtocol], 200);
    EXPECT_EQ(t[kCapRouteHeader], 202);
    EXPECT_EQ(t[kCapRouteWaypoint], 108);
    EXPECT_EQ(t[kCapRouteLink], 210);
    EXPECT_EQ(t[kCapTrackProtocol], 301);
    EXPECT_EQ(t[kCapTrackHeader], 310);
    EXPECT_EQ(t[kCapTrackPointType], 301);
    EXPECT_EQ(t[kCapProximityType], 403);
    EXPECT_EQ(t[kCapAlmanacType], 501);
    EXPECT_EQ(check_capabilities(t), nullptr);
}

TEST(GarminCapabilities, LastWaypointTypeWinsAndUnknownDTypesAreIgnored) {
    CapabilityTable t;
    ASSERT_EQ(parse_protocol_array(protocol_bytes("L1 A10 A100 D103 D999 D109 A300 D300"), 1, 1, t), kCapParsed);
    EXPECT_EQ(t[kCapWaypointType], 109);
    // D entries after an unknown A belong to it, not to the group before.
    ASSERT_EQ(parse_protocol_array(protocol_bytes("L1 A10 A100 D103 A999 D104"), 1, 1, t), kCapParsed);
    EXPECT_EQ(t[kCapWaypointType], 103);
}

TEST(GarminCapabilities, Refusals) {
    CapabilityTable t;
    EXPECT_EQ(parse_protocol_array(Bytes{'L', 1}, 1, 1, t), kCapBadSize);
    EXPECT_EQ(parse_protocol_array(protocol_bytes("L1 X10"), 1, 1, t), kCapBadTag);

    auto check = [&t](const std::string& text) {
        EXPECT_EQ(parse_protocol_array(protocol_bytes(text), 1, 1, t), kCapParsed);
        const char* e = check_capabilities(t);
        return std::string(e ? e : "");
    };
    EXPECT_EQ(check("L1 A11 A100 D108"), "E181 Unsupported device command protocol");
    EXPECT_EQ(check("L2 A10 A100 D108"), "E180 Unsupported link protocol");
    EXPECT_EQ(check("L1 A10 A100 D105"), "E183 Unsupported waypoint data type");
    EXPECT_EQ(check("L1 A10 A300 D305"), "E185 Unsupported track log data type");
    EXPECT_EQ(check("L1 A10 A302 D302"), "");
    EXPECT_EQ(check("L1 A10"), "");   // no transfer protocols: each operation refuses on its own
}

TEST(GarminCapabilities, BuiltInTable) {
    CapabilityTable t;
    ASSERT_TRUE(lookup_builtin_product(77, 350, t));
    EXPECT_EQ(t[kCapWaypointType], 103);
    EXPECT_EQ(t[kCapTrackProtocol], 300);
    EXPECT_EQ(t[kCapTrackPointType], 300);
    EXPECT_EQ(t[kCapLink], 1);
    EXPECT_EQ(t[kCapCommand], 10);
    EXPECT_EQ(check_capabilities(t), nullptr);

    ASSERT_TRUE(lookup_builtin_product(77, 300, t));
    EXPECT_EQ(t[kCapWaypointType], 100);
    ASSERT_TRUE(lookup_builtin_product(29, 399, t));
    EXPECT_EQ(t[kCapWaypointType], 101);
    ASSERT_TRUE(lookup_builtin_product(29, 400, t));
    EXPECT_EQ(t[kCapWaypointType], 102);
    ASSERT_TRUE(lookup_builtin_product(15, 100, t));
    EXPECT_EQ(t[kCapWaypointType], 151);
    EXPECT_EQ(t[kCapTrackProtocol], 0);
    EXPECT_EQ(t[kCapTrackPointType], 0);
    ASSERT_TRUE(lookup_builtin_product(71, 0xFFFF, t));
    EXPECT_EQ(t[kCapWaypointType], 155);
    EXPECT_FALSE(lookup_builtin_product(999, 350, t));
    EXPECT_FALSE(lookup_builtin_product(20, 100, t));
}

TEST(GarminWaypoint, FixedWidthFieldsAreMappedAndPadded) {
    Waypoint w;
    w.identifier = "ab_1";
    w.comment = "Take-off #2";
    const Bytes d = encode_waypoint(w, 100);
    ASSERT_EQ(d.size(), 58u);
    EXPECT_EQ(text_at(d, 0, 6), "AB 1  ");
    EXPECT_EQ(text_at(d, 18, 40), "TAKE-OFF -2" + std::string(29, ' '));
}

TEST(GarminWaypoint, TextFieldsAreMappedAndTerminated) {
    Waypoint w;
    w.identifier = "la_pointe";
    w.comment = "Col d'Izoard #2";
    w.height = 2360;
    w.airfield = 1;
    w.time = 0x01020304;
    const Bytes d = encode_waypoint(w, 110);
    // Base 62, then "LA PO" + "I" (6 characters) and a zero, comment and a
    // zero, and the four empty texts after them.
    ASSERT_EQ(d.size(), 62u + 7u + 16u + 4u);
    EXPECT_EQ(text_at(d, 62, 7), std::string("LA POI\0", 7));
    EXPECT_EQ(text_at(d, 69, 16), std::string("COL D IZOARD  2\0", 16));
    EXPECT_EQ(d[0], 1);
    EXPECT_EQ(d[2], 31);
    EXPECT_EQ(d[3], 128);
    EXPECT_EQ(d[4], 0x00);
    EXPECT_EQ(d[5], 0x40);   // symbol 16384
    EXPECT_EQ(d[56], 0x04);
    EXPECT_EQ(d[59], 0x01);
    float alt = 0;
    std::memcpy(&alt, d.data() + 32, 4);
    EXPECT_EQ(alt, 2360.0f);
}

// "00 ff 12" -> bytes; blanks only for reading.
Bytes hex(const std::string& text) {
    Bytes d;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ' ') continue;
        d.push_back(static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
        ++i;
    }
    return d;
}
std::string zeros(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += "00";
    return s;
}

TEST(GarminWaypoint, TextRecordsByHand) {
    Waypoint w;
    w.identifier = "LAUNCH";
    w.comment = "Take off";
    w.latitude = 0x12345678;
    w.longitude = static_cast<int32_t>(0xF5432110);
    w.height = 1234;   // float 0x449A4000
    w.time = 0x01020304;
    // Identifier, comment, then facility, city, address and cross road empty.
    const std::string texts = "4C41554E434800 54414B45204F464600 00 00 00 00";
    const std::string position = "78563412 102143F5 00409A44";
    const struct {
        int type;
        std::string bytes;
    } cases[] = {
        // class, colour 255, display, attributes 0x60, symbol 18, subclass;
        // depth, proximity, state and country zero.
        {108, "00 FF 00 60 1200" + zeros(18) + position + zeros(12) + texts},
        // type 1, class, display and colour 31, attributes 0x70; ... and the ETE.
        {109, "01 00 1F 70 1200" + zeros(18) + position + zeros(16) + texts},
        // type 1, attributes 0x80; ... temperature, time stamp, category.
        {110, "01 00 1F 80 1200" + zeros(18) + position + zeros(20) + "04030201 0000" + texts},
    };
    for (const auto& c : cases) {
        const Bytes want = hex(c.bytes);
        EXPECT_EQ(encode_waypoint(w, c.type), want) << c.type;
        Waypoint back;
        ASSERT_EQ(decode_waypoint(want, c.type, 7, back), kWptDecoded) << c.type;
        EXPECT_EQ(back.identifier, "LAUNCH") << c.type;
        EXPECT_EQ(back.comment, "TAKE OFF") << c.type;
        EXPECT_EQ(back.height, 1234) << c.type;
        EXPECT_EQ(back.time, c.type == 110 ? 0x01020304u : 7u) << c.type;

        // As another sender fills them: the further texts change nothing.
        Bytes full(want.begin(), want.end() - 4);
        for (const std::string t : {"PARKING", "ANNECY", "12", "RN508"}) {
            full.insert(full.end(), t.begin(), t.end());
            full.push_back(0);
        }
        ASSERT_EQ(decode_waypoint(full, c.type, 7, back), kWptDecoded) << c.type;
        EXPECT_EQ(back.identifier, "LAUNCH") << c.type;
        EXPECT_EQ(back.comment, "TAKE OFF") << c.type;
    }
}

TEST(GarminWaypoint, DecodeD100ByHand) {
    Bytes d(58, 0);
    put_text(d, 0, "ab1   ");
    put32(d, 6, 0x20000000);
    put32(d, 10, 0xF0000000);
    put_text(d, 18, "landing field" + std::string(27, ' '));
    Waypoint w;
    ASSERT_EQ(decode_waypoint(d, 100, 777, w), kWptDecoded);
    EXPECT_EQ(w.identifier, "AB1");
    EXPECT_EQ(w.comment, "LANDING FIELD");
    EXPECT_EQ(w.latitude, 0x20000000);
    EXPECT_EQ(w.longitude, static_cast<int32_t>(0xF0000000));
    EXPECT_EQ(w.time, 777u);
    EXPECT_EQ(w.height, 0);
    // All blanks: the first character stays.
    put_text(d, 0, "      ");
    ASSERT_EQ(decode_waypoint(d, 100, 0, w), kWptDecoded);
    EXPECT_EQ(w.identifier, " ");
    EXPECT_EQ(decode_waypoint(Bytes(57, 0), 100, 0, w), kWptShort);
}

TEST(GarminWaypoint, TextRecordWithoutTerminatorStaysInsideThePacket) {
    // D108 of exactly 48 + 3 bytes, the ID text never terminated.
    Bytes d(51, 0);
    put_text(d, 48, "abc");
    Waypoint w;
    ASSERT_EQ(decode_waypoint(d, 108, 0, w), kWptDecoded);
    EXPECT_EQ(w.identifier, "ABC");
    EXPECT_EQ(w.comment, "");
    // Exactly the base size: both texts empty.
    ASSERT_EQ(decode_waypoint(Bytes(48, 0), 108, 0, w), kWptDecoded);
    EXPECT_EQ(w.identifier, "");
}

TEST(GarminWaypoint, FloatHeightRoundingAndLimits) {
    auto height = [](float v) {
        Bytes d(50, 0);
        put_float(d, 32, v);
        Waypoint w;
        EXPECT_EQ(decode_waypoint(d, 108, 0, w), kWptDecoded);
        return w.height;
    };
    EXPECT_EQ(height(12.5f), 13);
    EXPECT_EQ(height(-12.5f), -13);
    EXPECT_EQ(height(12.49f), 12);
    EXPECT_EQ(height(20000.0f), 20000);
    EXPECT_EQ(height(20000.5f), 0);
    EXPECT_EQ(height(-20001.0f), 0);
    EXPECT_EQ(height(1.0e25f), 0);
}

TEST(GarminWaypoint, TypeBytesOfD109AndD110AreChecked) {
    Waypoint w;
    Bytes d(60, 0);
    d[0] = 1;
    d[3] = 112;
    EXPECT_EQ(decode_waypoint(d, 109, 0, w), kWptDecoded);
    d[3] = 0x70 + 1;
    EXPECT_EQ(decode_waypoint(d, 109, 0, w), kWptBadType);
    Bytes e(70, 0);
    e[0] = 1;
    e[3] = 112;
    EXPECT_EQ(decode_waypoint(e, 110, 0, w), kWptBadType);
    e[3] = 128;
    EXPECT_EQ(decode_waypoint(e, 110, 0, w), kWptDecoded);
    e[0] = 0;
    EXPECT_EQ(decode_waypoint(e, 110, 0, w), kWptBadType);
}

TEST(GarminWaypoint, EveryTypeRoundTrips) {
    Waypoint in;
    in.identifier = "TO-1";
    in.comment = "TAKE OFF NORTH";
    in.latitude = 544000000;
    in.longitude = -12345678;
    in.height = 1234;
    in.airfield = 1;
    in.time = 900000000;
    const int types[] = {100, 101, 102, 103, 104, 107, 108, 109, 110, 150, 151, 152, 154, 155};
    for (int type : types) {
        Waypoint out;
        const Bytes d = encode_waypoint(in, type);
        ASSERT_FALSE(d.empty()) << type;
        ASSERT_EQ(decode_waypoint(d, type, 42, out), kWptDecoded) << type;
        EXPECT_EQ(out.identifier, in.identifier) << type;
        EXPECT_EQ(out.comment, in.comment) << type;
        EXPECT_EQ(out.latitude, in.latitude) << type;
        EXPECT_EQ(out.longitude, in.longitude) << type;
        const bool has_height = type >= 108;
        EXPECT_EQ(out.height, has_height ? in.height : 0) << type;
        const bool has_symbol = type == 102 || type == 104 || (type >= 108 && type <= 110) || type >= 154;
        EXPECT_EQ(out.airfield, has_symbol ? 1 : 0) << type;
        EXPECT_EQ(out.time, type == 110 ? in.time : 42u) << type;
    }
    EXPECT_TRUE(encode_waypoint(in, 105).empty());
}

TEST(GarminWaypoint, NegativeHeightGoesOutAsLow16Bits) {
    Waypoint in;
    in.height = -5;
    const Bytes d = encode_waypoint(in, 151);
    EXPECT_EQ(d[118], 0xFB);
    EXPECT_EQ(d[119], 0xFF);
    Waypoint out;
    ASSERT_EQ(decode_waypoint(d, 151, 0, out), kWptDecoded);
    EXPECT_EQ(out.height, -5);
}

}  // namespace
}  // namespace orlogix::garmin
