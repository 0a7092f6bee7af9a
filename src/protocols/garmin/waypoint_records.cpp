// Waypoints D100-D110 and D150-D155: fixed-width and zero-terminated names.
#include "protocols/garmin/records.hpp"

#include <cmath>

#include "core/units.hpp"
#include "protocols/garmin/byte_order.hpp"

namespace orlogix::garmin {

using namespace wire;

namespace {

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
// D108-D110 texts after identifier and comment: facility, city, address, cross road.
constexpr std::size_t kTrailingTexts = 4;
}  // namespace

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
        // Facility, city, address and cross road follow, unless an older
        // sender ended the record here; the waypoint has no place for them.
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
        // The four further texts go out empty: a reader takes each up to its
        // zero byte, and without them it reads past the end of the record.
        d.insert(d.end(), kTrailingTexts, 0);
    }
    return d;
}


}  // namespace orlogix::garmin
