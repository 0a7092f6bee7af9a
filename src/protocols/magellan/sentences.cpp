#include "protocols/magellan/sentences.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/names.hpp"
#include "core/report.hpp"
#include "core/time.hpp"
#include "core/units.hpp"
#include "formats/tracks/magellan.hpp"

namespace orlogix::magellan {

namespace {

// The position fields come first, numbered 1-10 as in a track sentence.
enum WaypointError : int { kNoAltitude = 11, kBadAltitude, kNoUnit, kBadUnit, kNoId, kBadId };

}  // namespace

int SentenceReader::feed(char byte) {
    if (!open_) {
        if (byte == '$') open_ = true;
        else if (strict_ && byte != '\r' && byte != '\n') return -kBadChecksum;
    }
    using R = SentenceAssembler::Result;
    int r = 0;
    switch (assembler_.feed(byte)) {
    case R::More: return 0;
    case R::Sentence: r = 1; break;
    case R::TooLong: r = -kTooLong; break;
    case R::BadDigit: r = -kBadDigit; break;
    case R::BadLineEnd: r = assembler_.cr_taken() ? -kBadLineFeed : -kBadChecksum; break;
    case R::NoChecksum:
    case R::Mismatch: r = -kBadChecksum; break;
    }
    open_ = false;
    return r;
}

std::vector<std::string_view> sentence_fields(std::string_view body) {
    std::vector<std::string_view> f = nmea_fields(body);
    for (std::string_view& field : f) field.remove_prefix(std::min(field.find_first_not_of(' '), field.size()));
    return f;
}

bool is_end(std::string_view body) {
    const std::vector<std::string_view> f = sentence_fields(body);
    return f.size() >= 2 && f[0] == "PMGNCMD" && f[1] == "END";
}

bool decode_version(std::string_view body, Version& out) {
    const std::vector<std::string_view> f = sentence_fields(body);
    if (f.size() < 4 || f[0] != "PMGNVER") return false;
    Version v;
    if (!magellan_integer(f[1], v.product_id)) return false;
    const std::string text(f[2].substr(0, f[2].find_last_not_of(' ') + 1));
    char* end = nullptr;
    const double version = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(version) || version < 0 || version > 1e6) return false;
    v.version_x100 = static_cast<int>(std::lround(version * 100));
    v.version_text = text.substr(0, 40);
    v.description = std::string(f[3].substr(0, 60));
    out = std::move(v);
    return true;
}

std::string product_string(const Version& v) { return (v.description + ", SW " + v.version_text).substr(0, 80); }

int decode_track_point(std::string_view body, TrackPosition& p, bool& fix) {
    const std::vector<std::string_view> f = sentence_fields(body);
    if (f[0] != "PMGNTRK") return -1;
    return decode_magellan_track_fields(f, p, fix);
}

int decode_waypoint(std::string_view body, uint32_t stamp, Waypoint& w) {
    const std::vector<std::string_view> f = sentence_fields(body);
    if (f[0] != "PMGNWPL") return -1;
    w = Waypoint{};
    auto has = [&](std::size_t i) { return f.size() > i; };
    if (const int e = decode_magellan_position(f, w.latitude, w.longitude)) return e;
    if (!has(5)) return kNoAltitude;
    int32_t altitude = 0;
    if (!magellan_integer(f[5], altitude)) return kBadAltitude;
    if (!has(6)) return kNoUnit;
    if (f[6] == "F") altitude = static_cast<int32_t>(std::lround(altitude * 0.3048));
    else if (f[6] != "M") return kBadUnit;
    w.height = altitude;
    if (!has(7)) return kNoId;
    // Lower case is raised; a seventh character or any other is refused.
    if (normalise_id_strict(f[7].substr(0, f[7].find_last_not_of(' ') + 1), w.identifier) != 0) return kBadId;
    if (has(8)) w.comment = normalise_comment(f[8]);
    w.time = stamp;
    return 0;
}

namespace {

// ddmm.mmm,N,dddmm.mmm,E from semicircles, thousandths of a minute rounded
// half away from zero.
std::string position_fields(int32_t latitude, int32_t longitude) {
    const SemicirclePair mm = semicircles_to_milliminutes(latitude, longitude);
    auto field = [](int32_t v, int width) {
        const int64_t a = std::abs(static_cast<int64_t>(v));
        return strformat("%0*d.%03d", width, static_cast<int>(a / 60000 * 100 + a % 60000 / 1000),
                         static_cast<int>(a % 1000));
    };
    return field(mm.latitude, 4) + (mm.latitude < 0 ? ",S," : ",N,") + field(mm.longitude, 5) +
           (mm.longitude < 0 ? ",W" : ",E");
}

}  // namespace

std::string waypoint_body(const Waypoint& w, int32_t height) {
    return strformat("PMGNWPL,%s,%04d,M,%s,%s", position_fields(w.latitude, w.longitude).c_str(),
                     static_cast<int>(height), nmea_clean_field(w.identifier, 6).c_str(),
                     nmea_clean_field(w.comment, 40).c_str());
}

std::string waypoint_sentence(const Waypoint& w) { return nmea_sentence(waypoint_body(w, std::max(0, w.height))); }

std::string track_point_body(const TrackPosition& p) {
    const CalendarTime c = calendar_from_time(p.time);
    return strformat("PMGNTRK,%s,%05d,M,%02d%02d%02d.00,A,,%02d%02d%02d",
                     position_fields(p.latitude, p.longitude).c_str(), static_cast<int>(gps_altitude_metres(p.gps_altitude)),
                     c.hour, c.minute, c.second, c.day, c.month, c.year % 100);
}

}  // namespace orlogix::magellan
