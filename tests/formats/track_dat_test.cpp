// Old DezuvaDar .dat files built word by word here: UTM positions with and
// without heights, the checksum and validation words, each refusal, sizes
// that only 64-bit arithmetic refuses, and DAT2KML.
#include <gtest/gtest.h>

#include "core/file_read.hpp"
#include "core/geodesy.hpp"
#include "core/time.hpp"
#include "formats/tracks/dat.hpp"
#include "formats/commands/kml_google_earth.hpp"
#include "formats/kml/reader.hpp"
#include "formats/commands/track_batch.hpp"
#include "track_test_util.hpp"

namespace orlogix {
namespace {

struct DatFix {
    uint32_t time;
    uint32_t easting;
    uint32_t northing;
    uint32_t altitude;
};

std::vector<uint32_t> dat_words(const std::vector<DatFix>& fixes, bool heights, int zone, char band) {
    std::vector<uint32_t> w{0x44440001u, heights ? 0x01000000u : 0u, static_cast<uint32_t>(fixes.size()),
                            0x80000000u | (static_cast<uint32_t>(zone) << 8) | static_cast<uint8_t>(band)};
    for (const DatFix& f : fixes) {
        w.insert(w.end(), {f.time, f.easting, f.northing});
        if (heights) w.push_back(f.altitude);
    }
    uint32_t sum = 0;
    for (uint32_t v : w) sum += v;
    w.push_back(0u - sum);
    return w;
}

// The fold modulo 2^31 - 1 by another road: 2^32 is 2 modulo that number.
uint32_t validation_of(const std::vector<uint32_t>& words) {
    uint64_t v = 0;
    for (uint32_t w : words) v = (2 * v + w) % 0x7FFFFFFFu;
    return ~static_cast<uint32_t>(v);
}

std::string to_bytes(const std::vector<uint32_t>& words) {
    std::string s;
    for (uint32_t v : words)
        for (int shift = 24; shift >= 0; shift -= 8) s.push_back(static_cast<char>(v >> shift));
    return s;
}

// A fix of a real place in zone 32T.
DatFix fix_at(double lat_deg, double lon_deg, uint32_t time, uint32_t altitude, UtmPosition& utm) {
    utm = UtmPosition{};
    geo_to_utm({lat_deg / kRadiansToDegrees, lon_deg / kRadiansToDegrees}, utm);
    return {time, static_cast<uint32_t>(utm.easting + 0.5), static_cast<uint32_t>(utm.northing + 0.5), altitude};
}

TEST(DatTrack, PositionsWithHeights) {
    UtmPosition u1, u2;
    const std::vector<DatFix> fixes{fix_at(46.5, 9.25, 1000, 0xAB00000Au, u1),   // top byte is no part of the height
                                    fix_at(46.51, 9.26, 1005, 0x00FFFFF6u, u2)}; // -10
    ASSERT_EQ(u1.zone, 32);
    const auto words = dat_words(fixes, true, 32, 'T');
    test::RecordingReporter r;
    std::vector<TrackPosition> out;
    ASSERT_EQ(read_dat_track(r, to_bytes(words), out), 2) << r.last_error().text;
    EXPECT_EQ(out[0].time, 1000u);
    EXPECT_EQ(out[1].time, 1005u);
    EXPECT_EQ(out[0].gps_altitude, 10);
    EXPECT_EQ(out[1].gps_altitude, -10);
    EXPECT_EQ(out[0].flags, kSegmentStart);
    EXPECT_EQ(out[1].flags, 0u);
    // Whole metres of UTM: well within 1e-5 degree.
    EXPECT_NEAR(semicircle_to_radians(out[0].latitude) * kRadiansToDegrees, 46.5, 1e-5);
    EXPECT_NEAR(semicircle_to_radians(out[1].longitude) * kRadiansToDegrees, 9.26, 1e-5);
}

TEST(DatTrack, PositionsWithoutHeightsAndWithValidation) {
    UtmPosition u;
    auto words = dat_words({fix_at(-33.9, 151.2, 7, 0, u)}, false, 56, 'H');
    ASSERT_EQ(u.zone, 56);
    words.push_back(validation_of(words));
    ASSERT_EQ(dat_validation_word(std::span<const uint32_t>(words.data(), words.size() - 1)), words.back());
    test::RecordingReporter r;
    std::vector<TrackPosition> out;
    ASSERT_EQ(read_dat_track(r, to_bytes(words), out), 1) << r.last_error().text;
    EXPECT_NEAR(semicircle_to_radians(out[0].latitude) * kRadiansToDegrees, -33.9, 1e-5);
    EXPECT_EQ(out[0].gps_altitude, 0);
}

TEST(DatTrack, Refusals) {
    UtmPosition u;
    const auto good = dat_words({fix_at(46.5, 9.25, 1, 2, u)}, true, 32, 'T');
    auto with_validation = good;
    with_validation.push_back(validation_of(good) ^ 1u);
    auto bad_sum = good;
    bad_sum[5] += 1;
    auto no_top_bit = good;
    no_top_bit[3] &= 0x7FFFFFFFu;
    auto zero = good;
    zero[2] = 0;
    auto bad_zone = dat_words({fix_at(46.5, 9.25, 1, 2, u)}, true, 61, 'T');
    // 3 x 0x55555556 + 5 is 7 modulo 2^32: a 7-word file matches only when wrapped.
    std::vector<uint32_t> wraps{0, 0, 0x55555556u, 0x80002054u, 0, 0};
    uint32_t s = 0;
    for (uint32_t v : wraps) s += v;
    wraps.push_back(0u - s);
    const std::pair<std::string, const char*> cases[] = {
        {std::string(12, '\0'), "File header too small"},
        {to_bytes(good) + "ab", "File size not a multiple of 4"},
        {to_bytes(zero), "Zero track positions"},
        {to_bytes(no_top_bit), "Bad DWORD number 4"},
        {to_bytes(good) + to_bytes({0, 0}), "File size not consistent with track positions"},
        {to_bytes(wraps), "File size not consistent with track positions"},
        {to_bytes(bad_sum), "Checksum verification failed"},
        {to_bytes(with_validation), "Data validation failed"},
        {to_bytes(bad_zone), "Bad DWORD number 4"},
    };
    for (const auto& [bytes, message] : cases) {
        test::RecordingReporter r;
        std::vector<TrackPosition> out(2);
        EXPECT_EQ(read_dat_track(r, bytes, out), -1) << message;
        EXPECT_EQ(r.last_error().text, message);
        EXPECT_EQ(r.last_error().title, "Decoding track log file");
        EXPECT_EQ(out.size(), 2u) << message;
    }
}

int no_analysis(FlightStatistics&) { return 0; }

TEST(DatTrack, Dat2KmlWritesTheTrackBeside) {
    const auto dir = test::scratch_dir("dat");
    std::vector<DatFix> fixes;
    UtmPosition u;
    for (int i = 0; i < 8; ++i) fixes.push_back(fix_at(46.5 + i * 0.001, 9.25, 100000u + 5u * i, 1000u + i, u));
    const std::string base = (dir / "flight").string();
    ASSERT_EQ(write_file_atomic(base + ".dat", to_bytes(dat_words(fixes, true, 32, 'T'))), 0);
    test::RecordingReporter r;
    ASSERT_EQ(convert_dat_to_kml(r, base, GoogleEarthOptions{}, no_analysis), 0) << r.last_error().text;
    std::string kml;
    ASSERT_EQ(read_file(base + ".kml", kml), 0);
    KmlTrack back;
    ASSERT_EQ(read_kml_track(r, kml, true, back), 8);
    EXPECT_FALSE(back.baro_present);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(back.positions[i].time, 100000u + 5u * i);
        EXPECT_NEAR(semicircle_to_radians(back.positions[i].latitude) * kRadiansToDegrees, 46.5 + i * 0.001, 1e-5);
        EXPECT_EQ(back.positions[i].gps_altitude, (1000 + i + 5) / 10 * 10);  // whole metres in KML, rounded
    }

    test::RecordingReporter missing;
    EXPECT_EQ(convert_dat_to_kml(missing, (dir / "nothing").string(), GoogleEarthOptions{}, no_analysis), -1);
    EXPECT_EQ(missing.last_error().title, "Reading .dat log file");
    ASSERT_EQ(write_file_atomic((dir / "empty.dat").string(), ""), 0);
    test::RecordingReporter empty;
    EXPECT_EQ(convert_dat_to_kml(empty, (dir / "empty").string(), GoogleEarthOptions{}, no_analysis), -1);
    EXPECT_EQ(empty.last_error().text, "File is empty");
    EXPECT_EQ(empty.last_error().title, "Reading .dat log file");
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace orlogix
