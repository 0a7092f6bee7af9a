#include "protocols/topnav/waypoints.hpp"

#include <string>
#include <vector>

#include "core/names.hpp"
#include "core/units.hpp"
#include "protocols/topnav/fields.hpp"

namespace orlogix::topnav {

namespace {

constexpr double kArcSecondToRadians = 4.848136811095e-6;
constexpr std::size_t kNameWidth = 11;

std::vector<std::string_view> split_at_blanks(std::string_view line) {
    std::vector<std::string_view> tokens;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= line.size(); ++i) {
        if (i == line.size() || line[i] == ' ') {
            tokens.push_back(line.substr(start, i - start));
            start = i + 1;
        }
    }
    return tokens;
}

bool number(std::string_view t, uint32_t limit, uint32_t& out) { return decimal_field(t, out) && out < limit; }

// Degrees, minutes and seconds to semicircles; false when out of range.
bool angle(std::string_view hemisphere, std::string_view positive, std::string_view negative, std::string_view deg,
           std::string_view min, std::string_view sec, uint32_t degree_limit, int32_t& out) {
    if (hemisphere != positive && hemisphere != negative) return false;
    uint32_t d = 0, m = 0, s = 0;
    if (!number(deg, degree_limit, d) || !number(min, 60, m) || !number(sec, 60, s)) return false;
    const double seconds = (d * 3600.0 + m * 60.0 + s) * (hemisphere == negative ? -1 : 1);
    return radians_to_semicircle(seconds * kArcSecondToRadians, out) == 0;
}

std::string identifier_of(std::string_view line) {
    std::string_view id = line.substr(0, 6);
    while (!id.empty() && (id.back() == '_' || id.back() == ' ')) id.remove_suffix(1);
    std::string clean;
    normalise_id(id, IdMode::Lenient, clean);
    return clean;
}

void put24(uint8_t* at, int32_t v) {
    const uint32_t u = v < 0 ? 0x1000000u - static_cast<uint32_t>(-v) : static_cast<uint32_t>(v);
    at[0] = static_cast<uint8_t>(u);
    at[1] = static_cast<uint8_t>(u >> 8);
    at[2] = static_cast<uint8_t>(u >> 16);
}

int32_t get24(const uint8_t* at) { return signed24(at[0] | at[1] << 8 | static_cast<uint32_t>(at[2]) << 16); }

}  // namespace

std::optional<Waypoint> parse_waypoint_line(std::string_view line) {
    if (line.empty() || line[0] == ';') return std::nullopt;
    const auto t = split_at_blanks(line);
    if (t.size() != 13 || t[2] != "TPT" || t[12] != "m") return std::nullopt;
    Waypoint w;
    w.identifier = identifier_of(line);
    if (w.identifier.empty()) return std::nullopt;
    if (!angle(t[3], "N", "S", t[4], t[5], t[6], 90, w.latitude)) return std::nullopt;
    if (!angle(t[7], "E", "W", t[8], t[9], t[10], 180, w.longitude)) return std::nullopt;
    std::string_view h = t[11];
    const bool negative = !h.empty() && h[0] == '-';
    if (negative) h.remove_prefix(1);
    uint32_t height = 0;
    if (!decimal_field(h, height) || height > 100000) return std::nullopt;
    w.height = negative ? 0 : static_cast<int32_t>(height);
    return w;
}

WaypointPacket encode_waypoint_packet(const Waypoint& w) {
    WaypointPacket p{};
    p[0] = '@';
    p[1] = '@';
    p[2] = 'W';
    p[3] = 'P';
    p[4] = 0x81;
    const int32_t height = w.height < 0 ? 0 : (w.height > 0xFFFF ? 0xFFFF : w.height);
    p[5] = static_cast<uint8_t>(height >> 8);
    p[6] = static_cast<uint8_t>(height);
    for (std::size_t i = 0; i < kNameWidth; ++i)
        p[7 + i] = i < w.identifier.size() ? static_cast<uint8_t>(w.identifier[i]) : ' ';
    p[18] = 'N';
    p[19] = 'O';
    p[20] = 6;
    p[21] = 0;
    put24(&p[22], semicircles_to_sixthousandths(w.latitude));
    put24(&p[25], semicircles_to_sixthousandths(w.longitude));
    uint8_t sum = 0;
    for (std::size_t i = 2; i <= 27; ++i) sum ^= p[i];
    p[28] = sum;
    p[29] = '\r';
    p[30] = '\n';
    return p;
}

int decode_waypoint_packet(const uint8_t* p, Waypoint& out) {
    uint8_t sum = 0;
    for (std::size_t i = 2; i <= 27; ++i) sum ^= p[i];
    if (sum != p[28]) return kPacketChecksum;
    static constexpr char kStart[] = "@@WP";
    for (int i = 0; i < 4; ++i)
        if (p[i] != static_cast<uint8_t>(kStart[i])) return 3 + i;
    const int32_t lat = get24(&p[22]), lon = get24(&p[25]);
    if (lat < -kLatitudeLimit || lat > kLatitudeLimit || lon < -kLongitudeLimit || lon > kLongitudeLimit)
        return kPacketPosition;
    Waypoint w;
    w.height = p[5] << 8 | p[6];
    w.latitude = sixthousandths_to_semicircles(lat);
    w.longitude = sixthousandths_to_semicircles(lon);
    const std::string name(reinterpret_cast<const char*>(p + 7), kNameWidth);
    normalise_id(std::string_view(name).substr(0, 6), IdMode::Lenient, w.identifier);
    w.comment = normalise_comment(name);
    out = w;
    return 0;
}

}  // namespace orlogix::topnav
