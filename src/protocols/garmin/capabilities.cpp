// Product data, the protocol capability packet and the built-in table of
// receivers that do not report their capabilities.
#include "protocols/garmin/records.hpp"

#include "protocols/garmin/byte_order.hpp"

namespace orlogix::garmin {

using namespace wire;

namespace {

struct Builtin {
    uint16_t product, low, high, waypoint_type, track_protocol;
};

// Receivers that predate the capability packet. Route, proximity and almanac
// columns are left zero: no operation reads them, so entries of one product
// that differed only there look alike here.
constexpr uint16_t kAny = 0xFFFF;
constexpr Builtin kBuiltin[] = {
    {7, 0, kAny, 100, 0},     {13, 0, kAny, 100, 300},  {14, 0, kAny, 100, 0},    {15, 0, kAny, 151, 0},
    {18, 0, kAny, 100, 300},  {22, 0, kAny, 152, 300},  {23, 0, kAny, 100, 300},  {24, 0, kAny, 100, 300},
    {25, 0, kAny, 100, 300},  {29, 0, 399, 101, 300},   {29, 400, kAny, 102, 300}, {31, 0, kAny, 100, 300},
    {35, 0, kAny, 100, 300},  {36, 0, 299, 152, 300},   {36, 300, kAny, 152, 300}, {39, 0, kAny, 151, 300},
    {41, 0, kAny, 100, 300},  {42, 0, kAny, 100, 300},  {44, 0, kAny, 101, 300},  {45, 0, kAny, 152, 300},
    {47, 0, kAny, 100, 300},  {48, 0, kAny, 154, 300},  {49, 0, kAny, 102, 300},  {50, 0, kAny, 152, 300},
    {53, 0, kAny, 152, 300},  {55, 0, kAny, 100, 300},  {56, 0, kAny, 100, 300},  {59, 0, kAny, 100, 300},
    {61, 0, kAny, 100, 300},  {62, 0, kAny, 100, 300},  {71, 0, kAny, 155, 300},  {72, 0, kAny, 104, 300},
    {73, 0, kAny, 103, 300},  {74, 0, kAny, 100, 300},  {76, 0, kAny, 102, 300},  {77, 0, 300, 100, 300},
    {77, 301, 349, 103, 300}, {77, 350, 360, 103, 300}, {77, 361, kAny, 103, 300}, {87, 0, kAny, 103, 300},
    {88, 0, kAny, 102, 300},  {95, 0, kAny, 103, 300},  {96, 0, kAny, 103, 300},  {97, 0, kAny, 103, 300},
    {100, 0, kAny, 103, 300}, {105, 0, kAny, 103, 300}, {106, 0, kAny, 103, 300}, {112, 0, kAny, 152, 300},
};
static_assert(std::size(kBuiltin) == 48);

}  // namespace

int decode_product_data(std::span<const uint8_t> data, ProductData& out) {
    if (data.size() < 5) return -1;
    out.product_id = get_u16(data, 0);
    out.software_version = get_u16(data, 2);
    out.description.clear();
    for (std::size_t i = 4; i < data.size() && data[i] != 0 && out.description.size() < kDescriptionMax; ++i)
        out.description.push_back(static_cast<char>(data[i]));
    return 0;
}

std::vector<uint8_t> encode_product_data(const ProductData& product) {
    std::vector<uint8_t> d(4);
    put_u16(d, 0, product.product_id);
    put_u16(d, 2, product.software_version);
    for (std::size_t i = 0; i < product.description.size() && i < kDescriptionMax; ++i)
        d.push_back(static_cast<uint8_t>(product.description[i]));
    d.push_back(0);
    return d;
}

bool is_waypoint_type(int t) {
    return (t >= 100 && t <= 104) || (t >= 107 && t <= 110) || (t >= 150 && t <= 152) || t == 154 || t == 155;
}

bool is_track_point_type(int t) { return t >= 300 && t <= 304; }

int parse_protocol_array(std::span<const uint8_t> data, uint16_t product_id, uint16_t version,
                         CapabilityTable& table) {
    table.fill(0);
    table[kCapProduct] = product_id;
    table[kCapVersionLow] = version;
    table[kCapVersionHigh] = version;
    if (data.size() % 3 != 0) return kCapBadSize;

    // The A entry the following D entries belong to; 0 when they are skipped.
    int group = 0;
    for (std::size_t at = 0; at < data.size(); at += 3) {
        const char tag = static_cast<char>(data[at]);
        const uint16_t n = get_u16(data, at + 1);
        if (tag == 'D') {
            switch (group) {
            case 100:
                if (is_waypoint_type(n)) table[kCapWaypointType] = n;
                break;
            case 200:
                if (is_waypoint_type(n)) table[kCapRouteWaypoint] = n;
                else if (n >= 200 && n <= 202) table[kCapRouteHeader] = n;
                else if (n == 210) table[kCapRouteLink] = n;
                break;
            case 300:
                if (is_track_point_type(n)) table[kCapTrackPointType] = n;
                else if (n >= 310 && n <= 312) table[kCapTrackHeader] = n;
                break;
            case 400:
                if (n == 400 || n == 403 || n == 450) table[kCapProximityType] = n;
                break;
            case 500:
                if (n == 500 || n == 501 || n == 550 || n == 551) table[kCapAlmanacType] = n;
                break;
            default:
                break;
            }
            continue;
        }
        group = 0;
        switch (tag) {
        case 'P': table[kCapPhysical] = n; break;
        case 'L': table[kCapLink] = n; break;
        case 'T': table[kCapTagT] = n; break;
        case 'A':
            if (n == 10 || n == 11) {
                table[kCapCommand] = n;
            } else if (n == 100) {
                table[kCapWaypointProtocol] = n;
                group = 100;
            } else if (n == 200 || n == 201) {
                table[kCapRouteProtocol] = n;
                group = 200;
            } else if (n >= 300 && n <= 302) {
                table[kCapTrackProtocol] = n;
                group = 300;
            } else if (n == 400) {
                table[kCapProximityProtocol] = n;
                group = 400;
            } else if (n == 500) {
                table[kCapAlmanacProtocol] = n;
                group = 500;
            }
            break;
        default:
            return kCapBadTag;
        }
    }
    return kCapParsed;
}

std::vector<uint8_t> encode_protocol_array(const std::vector<ProtocolEntry>& entries) {
    std::vector<uint8_t> d;
    for (const ProtocolEntry& e : entries) {
        d.push_back(static_cast<uint8_t>(e.tag));
        d.push_back(static_cast<uint8_t>(e.number));
        d.push_back(static_cast<uint8_t>(e.number >> 8));
    }
    return d;
}

bool lookup_builtin_product(uint16_t product_id, uint16_t version, CapabilityTable& table) {
    for (const Builtin& b : kBuiltin) {
        if (b.product != product_id || version < b.low || version > b.high) continue;
        table.fill(0);
        table[kCapProduct] = b.product;
        table[kCapVersionLow] = b.low;
        table[kCapVersionHigh] = b.high;
        table[kCapLink] = 1;
        table[kCapCommand] = 10;
        table[kCapWaypointProtocol] = 100;
        table[kCapWaypointType] = b.waypoint_type;
        table[kCapTrackProtocol] = b.track_protocol;
        table[kCapTrackPointType] = b.track_protocol ? 300 : 0;
        return true;
    }
    return false;
}

const char* check_capabilities(const CapabilityTable& t) {
    if (t[kCapLink] != 1) return "E180 Unsupported link protocol";
    if (t[kCapCommand] != 10) return "E181 Unsupported device command protocol";
    if (t[kCapWaypointProtocol] == 100 && !is_waypoint_type(t[kCapWaypointType]))
        return "E183 Unsupported waypoint data type";
    if (t[kCapWaypointProtocol] != 0 && t[kCapWaypointProtocol] != 100)
        return "E182 Unsupported waypoint transfer protocol";
    const int track = t[kCapTrackProtocol];
    if (track != 0 && !(track >= 300 && track <= 302 && is_track_point_type(t[kCapTrackPointType])))
        return "E185 Unsupported track log data type";
    return nullptr;
}

}  // namespace orlogix::garmin
