#include "protocols/topnav/mxp_decoder.hpp"

#include "core/report.hpp"
#include "core/time.hpp"
#include "protocols/topnav/fields.hpp"

namespace orlogix::topnav {

namespace {
constexpr std::size_t kHeaderLength = 38;
constexpr std::size_t kHeaderText = 36;

// The two hex digits at `at` against the exclusive-or of everything before.
int check_line(std::string_view line, std::size_t at) {
    uint32_t sum = 0;
    if (!hex_field(line.substr(at, 2), sum)) return kMxpChecksumFormat;
    return sum == xor_of(line.substr(0, at)) ? 0 : kMxpChecksum;
}
}  // namespace

const char* mxp_error_text(int code) {
    static const char* const kTexts[] = {
        "E202 Too long line", "E202 Too short line", "E202 Bad checksum format", "E202 Bad checksum",
        "E202 Bad identifier", "E202 Bad start time entry", "E202 Bad start time value", "E202 Bad geodetic ID",
        "E202 Bad track positions entry", "E202 Bad interval entry", "E202 Bad record number entry",
        "E202 Bad record number sequence", "E202 Bad position time entry", "E202 Bad position value entry",
        "E202 Bad height entry", "E202 Memory allocation error", "E202 Bad S/N entry",
        "E202 Bad GPS pos. valid entry"};
    if (code < 1 || code > static_cast<int>(std::size(kTexts))) return "E202 Unknown error";
    return kTexts[code - 1];
}

std::string MxpHeader::product() const {
    const std::string& v = version;
    std::string text = xc_trainer ? "XC Trainer V" + v.substr(0, 1) + "." + v.substr(1, 1) + "-" + v.substr(2, 2)
                                  : "Top Navigator V" + v.substr(0, 1) + "." + v.substr(1, 3);
    return text + strformat(", S/N %u", serial);
}

int decode_mxp_header(std::string_view line, bool xc_trainer, MxpHeader& out) {
    if (line.size() < kHeaderLength) return kMxpTooShort;
    if (const int e = check_line(line, kHeaderText)) return e;
    if (line.substr(0, 3) != (xc_trainer ? "@xc" : "@tn")) return kMxpIdentifier;
    MxpHeader h;
    h.xc_trainer = xc_trainer;
    h.version = std::string(line.substr(3, 4));
    if (!hex_field(line.substr(7, 4), h.serial)) return kMxpSerial;
    uint32_t v[6] = {};
    for (int i = 0; i < 6; ++i)
        if (!decimal_field(line.substr(13 + 2 * static_cast<std::size_t>(i), 2), v[i])) return kMxpStartTimeEntry;
    if (v[1] < 1 || v[1] > 12 || v[2] < 1 || v[2] > 31 || v[3] > 24 || v[4] > 59 || v[5] > 59)
        return kMxpStartTimeValue;
    h.start_time = time_from_calendar(static_cast<int>(2000 + v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]),
                                      static_cast<int>(v[3]), static_cast<int>(v[4]), static_cast<int>(v[5]));
    uint32_t geodetic = 0;
    if (!hex_field(line.substr(25, 2), geodetic) || geodetic != 1) return kMxpGeodeticId;
    if (!hex_field(line.substr(27, 4), h.count)) return kMxpPositionsEntry;
    if (!hex_field(line.substr(31, 2))) return kMxpIntervalEntry;
    h.variant = line[33] == '0' ? 0 : line[33] == '2' ? 2 : 1;
    out = h;
    return 0;
}

int MxpPositions::decode(std::string_view line, TrackPosition& out) {
    const bool both = header_.variant == 2;
    const std::size_t text = both ? 30 : 26;
    if (line.size() < text + 2) return kMxpTooShort;
    if (const int e = check_line(line, text)) return e;
    uint32_t record = 0, offset = 0, lat = 0, lon = 0, h1 = 0, h2 = 0;
    if (!hex_field(line.substr(0, 4), record)) return kMxpRecordNumberEntry;
    if (decoded_ == 0 ? record > 1 : record != next_record_) return kMxpRecordSequence;
    if (!hex_field(line.substr(4, 4), offset)) return kMxpPositionTime;
    if (!hex_field(line.substr(8, 2))) return kMxpValidEntry;
    if (!hex_field(line.substr(10, 6), lat) || !hex_field(line.substr(16, 6), lon)) return kMxpPositionValue;
    const int32_t la = signed24(lat), lo = signed24(lon);
    if (la < -kLatitudeLimit || la > kLatitudeLimit || lo < -kLongitudeLimit || lo > kLongitudeLimit)
        return kMxpPositionValue;
    if (!hex_field(line.substr(22, 4), h1) || (both && !hex_field(line.substr(26, 4), h2))) return kMxpHeight;

    if (decoded_ > 0 && offset < previous_offset_) wraps_ += kMxpOffsetWrap;
    previous_offset_ = offset;
    next_record_ = record + 1;
    ++decoded_;

    TrackPosition p;
    p.time = header_.start_time + wraps_ + offset;
    p.latitude = sixthousandths_to_semicircles(la);
    p.longitude = sixthousandths_to_semicircles(lo);
    switch (header_.variant) {
    case 0: p.baro_altitude = signed16(h1); break;
    case 1: p.gps_altitude = signed16(h1) * 10; break;
    default:
        p.baro_altitude = signed16(h1);
        p.gps_altitude = signed16(h2) * 10;
    }
    out = p;
    return 0;
}

}  // namespace orlogix::topnav
