#include "protocols/garmin/records.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "core/units.hpp"

namespace orlogix::garmin {

namespace {

uint16_t get_u16(std::span<const uint8_t> d, std::size_t at) {
    return static_cast<uint16_t>(d[at] | (d[at + 1] << 8));
}
uint32_t get_u32(std::span<const uint8_t> d, std::size_t at) {
    return static_cast<uint32_t>(d[at]) | (static_cast<uint32_t>(d[at + 1]) << 8) |
           (static_cast<uint32_t>(d[at + 2]) << 16) | (static_cast<uint32_t>(d[at + 3]) << 24);
}
int32_t get_i32(std::span<const uint8_t> d, std::size_t at) { return static_cast<int32_t>(get_u32(d, at)); }
float get_float(std::span<const uint8_t> d, std::size_t at) { return std::bit_cast<float>(get_u32(d, at)); }

void put_u16(std::vector<uint8_t>& d, std::size_t at, uint16_t v) {
    d[at] = static_cast<uint8_t>(v);
    d[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put_u32(std::vector<uint8_t>& d, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) d[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void put_float(std::vector<uint8_t>& d, std::size_t at, float v) { put_u32(d, at, std::bit_cast<uint32_t>(v)); }

constexpr float kUnknownFloat = 1.0e25f;

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Upper-cased, trailing blanks cut but the first character kept.
std::string clean_text(std::string s, std::size_t max) {
    if (s.size() > max) s.resize(max);
    for (char& c : s) c = upper(c);
    while (s.size() > 1 && s.back() == ' ') s.pop_back();
    return s;
}

// A fixed-width field ends at its width or at a zero byte, whichever comes first.
std::string fixed_field(std::span<const uint8_t> d, std::size_t at, std::size_t width) {
    std::string s;
    for (std::size_t i = 0; i < width && d[at + i] != 0; ++i) s.push_back(static_cast<char>(d[at + i]));
    return clean_text(std::move(s), width);
}

// A zero-terminated text that never runs past the record: without a zero
// byte it ends with the data. pos moves past the text and its terminator.
std::string text_field(std::span<const uint8_t> d, std::size_t& pos, std::size_t max) {
    std::string s;
    while (pos < d.size() && d[pos] != 0) s.push_back(static_cast<char>(d[pos++]));
    if (pos < d.size()) ++pos;
    return clean_text(std::move(s), max);
}

char map_id_char(char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '-') return c;
    if (c >= 'a' && c <= 'z') return upper(c);
    return ' ';
}
char map_fixed_comment_char(char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ') return c;
    if (c >= 'a' && c <= 'z') return upper(c);
    return '-';
}
char map_text_comment_char(char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '-') return c;
    if (c >= 'a' && c <= 'z') return upper(c);
    return ' ';
}

void put_fixed(std::vector<uint8_t>& d, std::size_t at, const std::string& text, std::size_t width,
               char (*map)(char)) {
    for (std::size_t i = 0; i < width; ++i)
        d[at + i] = static_cast<uint8_t>(i < text.size() ? map(text[i]) : ' ');
}

void append_text(std::vector<uint8_t>& d, const std::string& text, std::size_t max, char (*map)(char)) {
    for (std::size_t i = 0; i < text.size() && i < max; ++i) d.push_back(static_cast<uint8_t>(map(text[i])));
    d.push_back(0);
}

// Whole metres from a float altitude; implausible or unknown values give 0.
int32_t float_height(float v) {
    if (!std::isfinite(v) || v > 20000.0f || v < -20000.0f) return 0;
    return static_cast<int32_t>(round_half_away(v));
}

constexpr uint16_t kSymbolAirport = 16384;
constexpr uint16_t kSymbolWaypoint = 18;

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

namespace {

struct PointLayout {
    std::size_t min_size;
    bool altitude;
    int segment_at;   // -1: none
    bool depth;
};

bool point_layout(int type, PointLayout& l) {
    switch (type) {
    case 300: l = {13, false, 12, false}; return true;
    case 301: l = {21, true, 20, true}; return true;
    case 302: l = {25, true, 24, true}; return true;
    case 303: l = {17, true, -1, false}; return true;
    case 304: l = {23, true, -1, false}; return true;
    default: return false;
    }
}

}  // namespace

int decode_track_point(std::span<const uint8_t> d, int type, TrackPosition& out) {
    PointLayout l{};
    if (!point_layout(type, l) || d.size() < l.min_size) return -1;
    out = TrackPosition{};
    out.latitude = get_i32(d, 0);
    out.longitude = get_i32(d, 4);
    out.time = get_u32(d, 8);
    if (out.time == 0xFFFFFFFFu || out.time == 0x7FFFFFFFu) out.time = 0;
    if (l.altitude) {
        const double metres = get_float(d, 12);
        // Unknown (1.0e25), not a number, or beyond what decimetres can hold: 0.
        if (std::isfinite(metres) && metres <= 1.0e10 && metres > -2.0e8)
            out.gps_altitude = static_cast<int32_t>(metres * 10.0 + 0.5);
    }
    if (l.segment_at >= 0 && d[static_cast<std::size_t>(l.segment_at)] != 0) out.flags |= kSegmentStart;
    if (l.depth) out.depth = get_u32(d, 16);
    return 0;
}

std::vector<uint8_t> encode_track_point(const TrackPosition& p, int type) {
    PointLayout l{};
    if (!point_layout(type, l)) return {};
    std::vector<uint8_t> d(l.min_size, 0);
    put_u32(d, 0, static_cast<uint32_t>(p.latitude));
    put_u32(d, 4, static_cast<uint32_t>(p.longitude));
    put_u32(d, 8, p.time);
    if (l.altitude)
        put_float(d, 12, p.gps_altitude == 0 ? kUnknownFloat : static_cast<float>(p.gps_altitude / 10.0));
    if (l.depth) put_u32(d, 16, p.depth);
    if (type == 302) put_float(d, 20, kUnknownFloat);   // temperature unknown
    if (type == 304) put_float(d, 16, kUnknownFloat);   // distance unknown
    if (type == 304) d[21] = 0xFF;                       // cadence unknown; heart rate 0 is unknown
    if (l.segment_at >= 0 && (p.flags & kSegmentStart)) d[static_cast<std::size_t>(l.segment_at)] = 1;
    return d;
}

std::vector<uint8_t> encode_track_header(int type, const std::string& name, uint16_t index) {
    std::vector<uint8_t> d;
    if (type == 311) {
        d.resize(2);
        put_u16(d, 0, index);
        return d;
    }
    d = {1, 0};   // displayed, default colour
    for (std::size_t i = 0; i < name.size() && i < 50; ++i) d.push_back(static_cast<uint8_t>(name[i]));
    d.push_back(0);
    return d;
}

int decode_track_header(std::span<const uint8_t> d, int type, std::string& name) {
    name.clear();
    if (type == 311) {
        if (d.size() < 2) return -1;
        name = std::to_string(get_u16(d, 0));
        return 0;
    }
    if (d.size() < 2) return -1;
    for (std::size_t i = 2; i < d.size() && d[i] != 0; ++i) name.push_back(static_cast<char>(d[i]));
    return 0;
}

namespace {

enum class Names { Fixed, Texts };

struct WaypointLayout {
    std::size_t size;          // minimum on decode, record size on encode (texts: base)
    std::size_t lat_at;
    std::size_t comment_at;    // fixed-width comment
    int height;                // 0 none, 1 float at 32, 2 16-bit at height_at
    std::size_t height_at;
    int symbol_at;             // -1: none
    Names names;
};

bool waypoint_layout(int type, WaypointLayout& l) {
    switch (type) {
    case 100: l = {58, 6, 18, 0, 0, -1, Names::Fixed}; return true;
    case 101: l = {63, 6, 18, 0, 0, -1, Names::Fixed}; return true;
    case 102: l = {64, 6, 18, 0, 0, 62, Names::Fixed}; return true;
    case 103: l = {60, 6, 18, 0, 0, -1, Names::Fixed}; return true;
    case 104: l = {65, 6, 18, 0, 0, 62, Names::Fixed}; return true;
    case 107: l = {65, 6, 18, 0, 0, -1, Names::Fixed}; return true;
    case 108: l = {48, 24, 0, 1, 32, 4, Names::Texts}; return true;
    case 109: l = {52, 24, 0, 1, 32, 4, Names::Texts}; return true;
    case 110: l = {62, 24, 0, 1, 32, 4, Names::Texts}; return true;
    case 150: l = {115, 9, 75, 2, 17, -1, Names::Fixed}; return true;
    case 151:
    case 152: l = {124, 6, 18, 2, 118, -1, Names::Fixed}; return true;
    case 154: l = {126, 6, 18, 2, 118, 124, Names::Fixed}; return true;
    case 155: l = {127, 6, 18, 2, 118, 124, Names::Fixed}; return true;
    default: return false;
    }
}

}  // namespace

int decode_waypoint(std::span<const uint8_t> d, int type, uint32_t default_time, Waypoint& out) {
    WaypointLayout l{};
    if (!waypoint_layout(type, l) || d.size() < l.size) return kWptShort;
    if ((type == 109 && (d[0] != 1 || d[3] != 112)) || (type == 110 && (d[0] != 1 || d[3] != 128)))
        return kWptBadType;
    out = Waypoint{};
    out.latitude = get_i32(d, l.lat_at);
    out.longitude = get_i32(d, l.lat_at + 4);
    out.time = default_time;
    if (l.height == 1) out.height = float_height(get_float(d, l.height_at));
    if (l.height == 2) out.height = static_cast<int16_t>(get_u16(d, l.height_at));
    if (l.symbol_at >= 0 && get_u16(d, static_cast<std::size_t>(l.symbol_at)) == kSymbolAirport) out.airfield = 1;
    if (l.names == Names::Fixed) {
        out.identifier = fixed_field(d, 0, kIdentifierMax);
        out.comment = fixed_field(d, l.comment_at, kCommentMax);
    } else {
        std::size_t pos = l.size;
        out.identifier = text_field(d, pos, kIdentifierMax);
        out.comment = text_field(d, pos, kCommentMax);
        if (type == 110) out.time = get_u32(d, 56);
    }
    return kWptDecoded;
}

std::vector<uint8_t> encode_waypoint(const Waypoint& w, int type) {
    WaypointLayout l{};
    if (!waypoint_layout(type, l)) return {};
    std::vector<uint8_t> d(l.size, 0);
    put_u32(d, l.lat_at, static_cast<uint32_t>(w.latitude));
    put_u32(d, l.lat_at + 4, static_cast<uint32_t>(w.longitude));
    if (l.height == 1) put_float(d, l.height_at, static_cast<float>(w.height));
    if (l.height == 2) put_u16(d, l.height_at, static_cast<uint16_t>(w.height & 0xFFFF));
    const uint16_t symbol = w.airfield == 1 ? kSymbolAirport : kSymbolWaypoint;
    if (l.symbol_at >= 0) put_u16(d, static_cast<std::size_t>(l.symbol_at), symbol);
    switch (type) {
    case 101: d[62] = 18; break;
    case 108: d[1] = 255; d[3] = 96; break;
    case 109: d[0] = 1; d[2] = 31; d[3] = 112; break;
    case 110: d[0] = 1; d[2] = 31; d[3] = 128; put_u32(d, 56, w.time); break;
    default: break;   // D103 and D107 keep byte 58 zero
    }
    if (l.names == Names::Fixed) {
        put_fixed(d, 0, w.identifier, kIdentifierMax, map_id_char);
        put_fixed(d, l.comment_at, w.comment, kCommentMax, map_fixed_comment_char);
    } else {
        append_text(d, w.identifier, kIdentifierMax, map_id_char);
        append_text(d, w.comment, kCommentMax, map_text_comment_char);
    }
    return d;
}

}  // namespace orlogix::garmin
