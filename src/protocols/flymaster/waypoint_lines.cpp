#include "protocols/flymaster/waypoint_lines.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <vector>

#include "core/names.hpp"
#include "core/units.hpp"
#include "protocols/flytec/fields.hpp"
#include "protocols/flytec/waypoint_upload.hpp"
#include "protocols/nmea/sentence.hpp"

namespace orlogix::flymaster {

namespace {

constexpr double kDegreesToRadians = 3.14159265358979323846 / 180.0;

std::string_view trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// An unsigned decimal with '.' or ',' as its mark, blanks around it allowed.
bool parse_decimal(std::string_view field, double limit, double& out) {
    field = trim(field);
    if (field.empty()) return false;
    double value = 0.0, scale = 0.0;
    for (const char c : field) {
        if (c == '.' || c == ',') {
            if (scale != 0.0) return false;
            scale = 1.0;
            continue;
        }
        if (c < '0' || c > '9') return false;
        if (scale == 0.0) {
            value = value * 10.0 + (c - '0');
        } else {
            scale /= 10.0;
            value += (c - '0') * scale;
        }
        if (value > 1e9) return false;
    }
    if (value > limit) return false;
    out = value;
    return true;
}

// The checksum part of a line: 0, or the error type 4, 1, 2, 3 the
// download and the answer check share. text gets what lies between "$" and "*".
int check_checksum(std::string_view line, std::string_view& text) {
    const std::size_t star = line.find('*');
    if (star == std::string_view::npos) return 4;
    const int high = star + 1 < line.size() ? hex_digit(line[star + 1]) : -1;
    const int low = star + 2 < line.size() ? hex_digit(line[star + 2]) : -1;
    if (high < 0 || low < 0) return 1;
    if (line.size() > star + 3) return 2;
    text = line.substr(1, star - 1);
    return nmea_checksum(text) == (high << 4 | low) ? 0 : 3;
}

std::string normalised(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        const auto b = static_cast<unsigned char>(c);
        c = std::isalnum(b) ? static_cast<char>(std::toupper(b)) : ' ';
    }
    out.resize(16, ' ');
    return out;
}

}  // namespace

int decode_waypoint_line(std::string_view line, uint32_t now, Waypoint& out) {
    std::string_view text;
    if (const int e = check_checksum(line, text); e != 0) return e;
    const std::vector<std::string_view> f = nmea_fields(text);
    if (f.size() < 7) return 5;
    double lat = 0.0, lon = 0.0, alt = 0.0;
    if (!parse_decimal(f[1], 90.0, lat)) return 6;
    if (f[2] != "N" && f[2] != "S") return 7;
    if (!parse_decimal(f[3], 180.0, lon)) return 8;
    if (f[4] != "E" && f[4] != "W") return 9;
    const std::string_view alt_text = trim(f[5]);
    const bool below = !alt_text.empty() && alt_text.front() == '-';
    if (!parse_decimal(below ? alt_text.substr(1) : alt_text, 99999.0, alt)) return 10;
    const std::string name = flytec::collapse_blanks(f[6]);
    if (name.empty()) return 11;

    Waypoint w;
    SemicirclePair s;
    radians_to_semicircles(GeoPosition{(f[2] == "S" ? -lat : lat) * kDegreesToRadians,
                                       (f[4] == "W" ? -lon : lon) * kDegreesToRadians},
                           s);
    w.latitude = s.latitude;
    w.longitude = s.longitude;
    w.height = static_cast<int32_t>(std::trunc(alt + 0.5)) * (below ? -1 : 1);
    std::string id = name.substr(0, std::min(name.find(' '), std::size_t{6}));
    for (char& c : id) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    normalise_id(id, IdMode::Lenient, w.identifier);
    w.comment = name.substr(0, 40);
    w.time = now;
    w.airfield = f.size() > 7 && f[7] == "1" ? 1 : 0;
    out = std::move(w);
    return 0;
}

std::string upload_name(const Waypoint& w) { return flytec::fixed_width_text(w.comment, 16, ",*$"); }

std::string waypoint_upload_sentence(const Waypoint& w, std::string_view firmware) {
    auto coordinate = [](int32_t semicircles, int digits, char positive, char negative) {
        const int64_t m = flytec::semicircles_to_milliminutes(semicircles);
        return flytec::milliminute_text(static_cast<uint32_t>(std::llabs(m)), digits) + ',' +
               (m < 0 ? negative : positive);
    };
    char height[8];
    std::snprintf(height, sizeof height, "%04d", std::clamp(w.height, 0, 9999));
    std::string text = "PFMWPR," + coordinate(w.latitude, 2, 'N', 'S') + ',' + coordinate(w.longitude, 3, 'E', 'W') +
                       ",," + upload_name(w) + ',' + height;
    if (firmware >= std::string_view("1.19") && w.airfield == 1) text += ",1";
    return nmea_sentence(text);
}

int check_upload_answer(std::string_view line, std::string_view sent_name, std::string_view firmware) {
    std::string_view text;
    if (const int e = check_checksum(line, text); e != 0) return e;
    const std::vector<std::string_view> f = nmea_fields(text);
    if (firmware == "1.14") {
        if (f.size() < 2) return 5;
        return f[1] == sent_name ? 0 : 7;
    }
    if (f.size() < 3) return 5;
    if (f[1] != "ACK") return 6;
    return f[2] == normalised(sent_name) ? 0 : 7;
}

}  // namespace orlogix::flymaster
