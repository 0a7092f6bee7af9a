#include "formats/igc/writer.hpp"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "core/text_buffer.hpp"
#include "core/units.hpp"
#include "formats/igc/security.hpp"

namespace orlogix {

namespace {

// The fixed-width fields must keep their width whatever the instrument sent,
// or the record would shift and misread; out-of-range values are clamped.
int clamp_int(int64_t v, int lo, int hi) {
    return static_cast<int>(v < lo ? lo : (v > hi ? hi : v));
}

int gnss_altitude_metres(int32_t decimetres) {
    if (decimetres < 0) return 0;
    return clamp_int((static_cast<int64_t>(decimetres) + 5) / 10, 0, 99999);
}

// Appends a piece that the security record covers.
class CoveredText {
public:
    explicit CoveredText(TextBuffer& buffer) : buffer_(buffer) {}
    int covered(std::string_view piece) {
        crc_ = igc_crc_update(crc_, piece);
        return buffer_.append_line(piece);
    }
    int plain(std::string_view piece) { return buffer_.append_line(piece); }
    uint32_t crc() const { return crc_; }

private:
    TextBuffer& buffer_;
    uint32_t crc_ = kIgcCrcStart;
};

}  // namespace

int igc_enl_from_depth(uint32_t depth_bits) {
    const double depth = static_cast<double>(std::bit_cast<float>(depth_bits));
    if (std::isnan(depth) || depth < 0.0) return 0;
    const double feet = depth * 3.28084 + 0.5;
    // Capped before the conversion: an infinite or huge depth must not overflow.
    if (feet >= 999.0) return 999;
    return static_cast<int>(feet);
}

std::string igc_b_record(const TrackPosition& p, bool with_enl) {
    const CalendarTime t = calendar_from_time(p.time);
    const SemicirclePair mm = semicircles_to_milliminutes(p.latitude, p.longitude);
    const int32_t lat = std::abs(mm.latitude);
    const int32_t lon = std::abs(mm.longitude);
    const int baro = clamp_int(p.baro_altitude, -9999, 99999);
    char line[64];
    int n = std::snprintf(line, sizeof line, "B%02d%02d%02d%02d%02d%03d%c%03d%02d%03d%cA%05d%05d", t.hour, t.minute,
                          t.second, lat / 60000, (lat % 60000) / 1000, lat % 1000, mm.latitude < 0 ? 'S' : 'N',
                          lon / 60000, (lon % 60000) / 1000, lon % 1000, mm.longitude < 0 ? 'W' : 'E', baro,
                          gnss_altitude_metres(p.gps_altitude));
    if (with_enl) n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "%03d", igc_enl_from_depth(p.depth));
    return std::string(line, static_cast<std::size_t>(n));
}

namespace {

int encode_text(std::span<const TrackPosition> positions, const IgcHeaderTexts& texts, const IgcEncodeOptions& options,
                std::string& out, bool g_record_possible) {

    TextBuffer buffer(10000);
    CoveredText text(buffer);
    int rc = 0;
    rc |= text.covered("AXQV");
    rc |= text.covered(options.fr_serial);
    rc |= text.covered(" ");
    rc |= text.covered(options.instrument_description);
    rc |= text.covered("\r\n");

    const CalendarTime date = calendar_from_time(positions.front().time);
    char piece[96];
    std::snprintf(piece, sizeof piece, "HFDTE%02d%02d%02d\r\n", date.day, date.month, date.year % 100);
    rc |= text.covered(piece);

    const std::pair<const char*, const std::string*> ho_lines[] = {
        {"HOPLTPILOT: ", &texts.pilot},
        {"HOGTYGLIDERTYPE: ", &texts.glider_type},
        {"HOGIDGLIDERID: ", &texts.glider_id},
        {"HODTM100GPSDATUM: WGS-84", nullptr},
        {"HOCIDCOMPETITIONID: ", &texts.competition_id},
        {"HOCCLCOMPETITION CLASS: ", &texts.competition_class},
        {"HOSITSite: ", &texts.site},
    };
    for (const auto& [label, value] : ho_lines) {
        rc |= text.plain(label);
        if (value) rc |= text.plain(*value);
        rc |= text.plain("\r\n");
    }

    if (options.add_enl) rc |= text.covered("I013638ENL\r\n");

    for (const TrackPosition& p : positions) {
        std::string b = igc_b_record(p, options.add_enl);
        b += "\r\n";
        rc |= text.covered(b);
    }

    std::snprintf(piece, sizeof piece, "LXQV Orlogix version %d.%02d\r\n", options.program_version / 100,
                  options.program_version % 100);
    rc |= text.covered(piece);
    const CalendarTime& d = options.download_time;
    std::snprintf(piece, sizeof piece, "LXQV Downloaded %d-%02d-%02d  %02d:%02d:%02d\r\n", d.year, d.month, d.day,
                  d.hour, d.minute, d.second);
    rc |= text.covered(piece);

    if (options.want_g_record && g_record_possible) {
        rc |= text.plain("G");
        rc |= text.plain(igc_security_code(text.crc()));
        rc |= text.plain("\r\n");
    }
    if (rc != 0 || buffer.failed()) return -1;
    out = buffer.take();
    return static_cast<int>(out.size());
}

}  // namespace

int encode_igc(std::span<const TrackPosition> positions, const IgcHeaderTexts& texts, const IgcEncodeOptions& options,
               std::string& out, bool& g_record_possible) {
    out.clear();
    g_record_possible = options.source == 1;
    if (positions.empty()) return -1;
    try {
        return encode_text(positions, texts, options, out, g_record_possible);
    } catch (const std::bad_alloc&) {
        out.clear();
        return -1;
    }
}

}  // namespace orlogix
