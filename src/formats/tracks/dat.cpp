#include "formats/tracks/dat.hpp"

#include "core/geodesy.hpp"
#include "core/report.hpp"
#include "formats/tracks/ozi.hpp"

namespace orlogix {

namespace {

uint32_t word_at(std::string_view bytes, std::size_t index) {
    uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<uint8_t>(bytes[4 * index + i]);
    return v;
}

int fail(Reporter& r, const char* text) {
    r.error_box(kTrackDecodeTitle, text);
    return -1;
}

bool valid_band(char band) { return band >= 'C' && band <= 'X' && band != 'I' && band != 'O'; }

}  // namespace

uint32_t dat_validation_word(std::span<const uint32_t> words) {
    uint32_t v = 0;
    for (uint32_t word : words) {
        for (int bit = 31; bit >= 0; --bit) {
            // v stays below the modulus, so 2v + 1 fits in 32 bits.
            v = 2 * v + ((word >> bit) & 1u);
            if (v >= kDatValidationModulus) v -= kDatValidationModulus;
        }
    }
    return ~v;
}

int read_dat_track(Reporter& r, std::string_view bytes, std::vector<TrackPosition>& out) {
    if (bytes.size() < 16) return fail(r, "File header too small");
    if (bytes.size() % 4 != 0) return fail(r, "File size not a multiple of 4");
    const std::size_t words = bytes.size() / 4;
    const uint32_t count = word_at(bytes, 2);
    if (count == 0) return fail(r, "Zero track positions");
    const bool with_altitude = static_cast<uint8_t>(bytes[4]) != 0;
    if ((static_cast<uint8_t>(bytes[12]) & 0x80) == 0) return fail(r, "Bad DWORD number 4");
    const int zone = static_cast<uint8_t>(bytes[14]);
    const char band = bytes[15];
    // 64-bit: a count near 2^32 cannot wrap into a size that matches.
    const uint64_t body = 4 + static_cast<uint64_t>(count) * (with_altitude ? 4 : 3) + 1;
    if (words != body && words != body + 1) return fail(r, "File size not consistent with track positions");
    const std::size_t checked = static_cast<std::size_t>(body);
    uint32_t sum = 0;
    for (std::size_t i = 0; i < checked; ++i) sum += word_at(bytes, i);
    if (sum != 0) return fail(r, "Checksum verification failed");
    if (words == checked + 1) {
        std::vector<uint32_t> all(checked);
        for (std::size_t i = 0; i < checked; ++i) all[i] = word_at(bytes, i);
        if (dat_validation_word(all) != word_at(bytes, checked)) return fail(r, "Data validation failed");
    }
    if (zone < 1 || zone > 60 || !valid_band(band)) return fail(r, "Bad DWORD number 4");

    std::vector<TrackPosition> positions;
    positions.reserve(count);
    const std::size_t step = with_altitude ? 4 : 3;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t w = 4 + i * step;
        UtmPosition utm;
        utm.easting = word_at(bytes, w + 1);
        utm.northing = word_at(bytes, w + 2);
        utm.zone = zone;
        utm.band = band;
        SemicirclePair s;
        if (radians_to_semicircles(utm_to_geo(utm), s) != 0) {
            r.error_box(kTrackDecodeTitle, strformat("Bad position %d", static_cast<int>(i + 1)));
            return -1;
        }
        TrackPosition p;
        p.time = word_at(bytes, w);
        p.latitude = s.latitude;
        p.longitude = s.longitude;
        if (with_altitude) {
            // The low 24 bits, sign-extended.
            const uint32_t raw = word_at(bytes, w + 3) & 0xFFFFFFu;
            p.gps_altitude = static_cast<int32_t>(raw ^ 0x800000u) - 0x800000;
        }
        if (i == 0) p.flags = kSegmentStart;
        positions.push_back(p);
    }
    out = std::move(positions);
    return static_cast<int>(out.size());
}

}  // namespace orlogix
