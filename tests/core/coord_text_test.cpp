#include <gtest/gtest.h>

#include <string>

#include "core/coord_text.hpp"
#include "core/time.hpp"

namespace orlogix {
namespace {

constexpr double kDegToRad = 0.01745329251994;  // the readers' own constant

double latlon(std::string_view text, Axis axis = Axis::Latitude) {
    double r = -999;
    EXPECT_EQ(parse_latlon(text, axis, r), 0) << text;
    return r;
}

TEST(FormatDms, Layout) {
    // 45 30 12.34 = 45*360000 + 30*6000 + 12*100 + 34
    EXPECT_EQ(format_dms(16381234, Axis::Latitude), "N 45  30  12.34");
    EXPECT_EQ(format_dms(-16381234, Axis::Latitude), "S 45  30  12.34");
    EXPECT_EQ(format_dms(2202809, Axis::Longitude), "E 006  07  08.09");
    EXPECT_EQ(format_dms(-2202809, Axis::Longitude), "W 006  07  08.09");
    EXPECT_EQ(format_dms(0, Axis::Longitude), "E 000  00  00.00");
    EXPECT_EQ(format_dms(-64800000, Axis::Longitude), "W 180  00  00.00");
    // The most negative value has no positive twin in 32 bits.
    EXPECT_EQ(format_dms(INT32_MIN, Axis::Longitude), "W 5965  13  56.48");
}

TEST(FormatDmsPrecise, FiveDecimalsAndCarry) {
    constexpr double kArcsecToRad = 1.0 / 206264.8062471;
    EXPECT_EQ(format_dms_precise((45 * 3600 + 30 * 60 + 12.12345) * kArcsecToRad, Axis::Latitude), "N 45 30 12.12345");
    EXPECT_EQ(format_dms_precise(-(6 * 3600 + 7 * 60 + 8.5) * kArcsecToRad, Axis::Longitude), "W 006 07 08.50000");
    // 59.999996 seconds rounds to a whole second, which carries into minutes and degrees.
    EXPECT_EQ(format_dms_precise((45 * 3600 + 59 * 60 + 59.999996) * kArcsecToRad, Axis::Latitude), "N 46 00 00.00000");
    EXPECT_EQ(format_dms_precise((12.999996) * kArcsecToRad, Axis::Longitude), "E 000 00 13.00000");
    EXPECT_EQ(format_dms_precise((12.999994) * kArcsecToRad, Axis::Longitude), "E 000 00 12.99999");
    // What it prints is read back to the same angle.
    double r = 0;
    const double angle = -0.5983740122;
    ASSERT_EQ(parse_latlon(format_dms_precise(angle, Axis::Latitude), Axis::Latitude, r), 0);
    EXPECT_NEAR(r, angle, 1e-10);
}

TEST(ParseLatLon, AcceptedForms) {
    EXPECT_DOUBLE_EQ(latlon("N45 30.5"), (45 + 30.5 / 60) * kDegToRad);
    EXPECT_DOUBLE_EQ(latlon("-45,5"), -45.5 * kDegToRad);
    EXPECT_DOUBLE_EQ(latlon("45 "), 45 * kDegToRad);
    EXPECT_DOUBLE_EQ(latlon("45  30  12.34"), (45 + 30 / 60.0 + 12.34 * 0.0002777777777777778) * kDegToRad);
    EXPECT_DOUBLE_EQ(latlon("S 33 52 04.12345"), -(33 + 52 / 60.0 + 4.12345 * 0.0002777777777777778) * kDegToRad);
    EXPECT_DOUBLE_EQ(latlon("89 59 59.999"), (89 + 59 / 60.0 + 59.999 * 0.0002777777777777778) * kDegToRad);
    EXPECT_DOUBLE_EQ(latlon("  s  12  "), -12 * kDegToRad);
    EXPECT_DOUBLE_EQ(latlon("+7.25"), 7.25 * kDegToRad);
    EXPECT_DOUBLE_EQ(latlon("w 179 59", Axis::Longitude), -(179 + 59 / 60.0) * kDegToRad);
    EXPECT_DOUBLE_EQ(latlon("e006", Axis::Longitude), 6 * kDegToRad);
    // Many fraction digits are read, each worth a tenth of the one before.
    EXPECT_NEAR(latlon("10.12345678901234567890"), 10.123456789012345 * kDegToRad, 1e-15);
}

TEST(ParseLatLon, ReadsWhatTheProgramWrites) {
    for (int32_t v : {16381234, -16381234, 0, 32399999, -100}) {
        const std::string text = format_dms(v, Axis::Latitude);
        EXPECT_NEAR(latlon(text), v / 360000.0 * kDegToRad, 1e-12) << text;
    }
    EXPECT_NEAR(latlon(format_dms(-64799999, Axis::Longitude), Axis::Longitude), -64799999 / 360000.0 * kDegToRad,
                1e-12);
    // The conversion dialog's five-decimal form.
    EXPECT_NEAR(latlon("N 45 30 12.12345"), (45 + 30 / 60.0 + 12.12345 / 3600) * kDegToRad, 1e-12);
}

TEST(ParseLatLon, RefusedForms) {
    const char* bad_lat[] = {"90", "90.0", "N 90 00 00", "91", "E45", "W45", "45 60", "45 30 60", "45x",
                             "", "   ", "N", "+-45", "45 30 12 5", "45.5 30", "4 5 6 7", "NN45", "45 30.5 12",
                             "999999999999999999999999", "1e5", "45°"};
    for (const char* t : bad_lat) {
        double r = 123;
        EXPECT_EQ(parse_latlon(t, Axis::Latitude, r), -1) << t;
        EXPECT_EQ(r, 123) << t;
    }
    const char* bad_lon[] = {"180 00 00", "180", "N45", "S 10", "-181", "179 60"};
    for (const char* t : bad_lon) {
        double r = 123;
        EXPECT_EQ(parse_latlon(t, Axis::Longitude, r), -1) << t;
    }
    double r = 0;
    EXPECT_EQ(parse_latlon("179 59 59.99", Axis::Longitude, r), 0);
}

TEST(ParseUtmZone, Codes) {
    int zone = 0;
    char band = 0;
    ASSERT_EQ(parse_utm_zone("32V", zone, band), 0);
    EXPECT_EQ(zone, 32);
    EXPECT_EQ(band, 'V');
    ASSERT_EQ(parse_utm_zone(" 32 v ", zone, band), 0);
    EXPECT_EQ(band, 'V');
    ASSERT_EQ(parse_utm_zone("1C", zone, band), 0);
    EXPECT_EQ(zone, 1);
    ASSERT_EQ(parse_utm_zone("60X", zone, band), 0);
    EXPECT_EQ(zone, 60);
    ASSERT_EQ(parse_utm_zone("007n", zone, band), 0);
    EXPECT_EQ(zone, 7);
    EXPECT_EQ(band, 'N');

    zone = 99;
    band = '?';
    EXPECT_EQ(parse_utm_zone("0N", zone, band), -2);
    EXPECT_EQ(parse_utm_zone("V32", zone, band), -2);
    EXPECT_EQ(parse_utm_zone("", zone, band), -2);
    EXPECT_EQ(parse_utm_zone("61N", zone, band), -1);
    EXPECT_EQ(parse_utm_zone("99999999999999999999N", zone, band), -1);
    EXPECT_EQ(parse_utm_zone("32I", zone, band), -3);
    EXPECT_EQ(parse_utm_zone("32O", zone, band), -3);
    EXPECT_EQ(parse_utm_zone("32Y", zone, band), -3);
    EXPECT_EQ(parse_utm_zone("32A", zone, band), -3);
    EXPECT_EQ(parse_utm_zone("32", zone, band), -3);
    EXPECT_EQ(parse_utm_zone("32V x", zone, band), -4);
    EXPECT_EQ(parse_utm_zone("32VV", zone, band), -4);
    EXPECT_EQ(zone, 99);
    EXPECT_EQ(band, '?');
}

TEST(ParseMetres, Codes) {
    double m = 0;
    ASSERT_EQ(parse_metres("555776.27", m), 0);
    EXPECT_DOUBLE_EQ(m, 555776.27);
    ASSERT_EQ(parse_metres("  -12,5  ", m), 0);
    EXPECT_DOUBLE_EQ(m, -12.5);
    ASSERT_EQ(parse_metres("+0006651832", m), 0);
    EXPECT_DOUBLE_EQ(m, 6651832);
    ASSERT_EQ(parse_metres("2147483649", m), 0);  // the last digit after 214748364 is still taken
    EXPECT_DOUBLE_EQ(m, 2147483649.0);

    m = 7;
    EXPECT_EQ(parse_metres("21474836490", m), -2);
    EXPECT_EQ(parse_metres("x12", m), -1);
    EXPECT_EQ(parse_metres("  .5", m), -1);
    EXPECT_EQ(parse_metres("12x", m), -4);
    EXPECT_EQ(parse_metres("12 3", m), -4);
    EXPECT_EQ(parse_metres("+", m), -4);
    EXPECT_EQ(parse_metres("", m), -4);
    EXPECT_EQ(parse_metres("1.2.3", m), -4);
    EXPECT_EQ(parse_metres("-+5", m), -4);
    EXPECT_EQ(parse_metres("+-5", m), -4);
    EXPECT_EQ(parse_metres("- 5", m), -4);
    EXPECT_EQ(m, 7);
}

TEST(ParseIsoTime, ZonesAndFractions) {
    uint32_t t = 0;
    bool zoned = true;
    ASSERT_EQ(parse_iso_time("2011-07-15T12:30:05.5+02:00", t, zoned), 0);
    EXPECT_EQ(t, time_from_calendar(2011, 7, 15, 10, 30, 6));
    EXPECT_TRUE(zoned);

    ASSERT_EQ(parse_iso_time("2011-07-15T12:30:05", t, zoned), 0);
    EXPECT_EQ(t, time_from_calendar(2011, 7, 15, 12, 30, 5));
    EXPECT_FALSE(zoned);

    ASSERT_EQ(parse_iso_time("2011-07-15T12:30:05.4999Z", t, zoned), 0);
    EXPECT_EQ(t, time_from_calendar(2011, 7, 15, 12, 30, 5));
    EXPECT_TRUE(zoned);

    ASSERT_EQ(parse_iso_time("2011-07-15T12:30:05-05", t, zoned), 0);
    EXPECT_EQ(t, time_from_calendar(2011, 7, 15, 17, 30, 5));
    ASSERT_EQ(parse_iso_time("2011-07-15T12:30:05+01:30:15", t, zoned), 0);
    EXPECT_EQ(t, time_from_calendar(2011, 7, 15, 10, 59, 50));
    // Short fields and a day overflow carried by the calendar.
    ASSERT_EQ(parse_iso_time("2011-7-5T1:2:3", t, zoned), 0);
    EXPECT_EQ(t, time_from_calendar(2011, 7, 5, 1, 2, 3));
    ASSERT_EQ(parse_iso_time("2011-02-31T24:00:00", t, zoned), 0);
    EXPECT_EQ(t, time_from_calendar(2011, 3, 4, 0, 0, 0));
    ASSERT_EQ(parse_iso_time("1989-12-31T01:00:00+01:00", t, zoned), 0);
    EXPECT_EQ(t, 0u);
}

TEST(ParseIsoTime, RefusedLayoutsAndRanges) {
    const char* bad[] = {
        "2011-07-15 12:30:05", "2011-07-15T12:30", "2011-07-15T12:30:05+2", "2011-07-15T12:30:05+02:0",
        "2011-07-15T12:30:05+02:", "2011-07-15T12:30:05+02:00:", "2011-07-15T12:30:05Z ", "2011-07-15T12:30:05.",
        "2011-07-15T12:30:05.5.5", "2011-07-15T12:30:05ZZ", "", "T", "2011--15T12:30:05",
        "2011-13-15T12:30:05", "2011-00-15T12:30:05", "2011-07-00T12:30:05", "2011-07-32T12:30:05",
        "02011-07-15T12:30:05", "2011-007-15T12:30:05", "2011-07-15T123:30:05", "2011-07-15T12:30:050",
        "99999999999999999999-07-15T12:30:05",
        "1989-12-30T23:59:59Z",            // before the epoch
        "1989-12-31T00:00:00+00:00:01",    // one second before it
        "2126-02-05T06:28:16Z",            // one second past the last stamp (2100 counts as leap)
        "2011-07-15T12:30:05+02:00x",
    };
    for (const char* text : bad) {
        uint32_t t = 42;
        bool zoned = false;
        EXPECT_EQ(parse_iso_time(text, t, zoned), -1) << text;
        EXPECT_EQ(t, 42u) << text;
    }
    uint32_t t = 0;
    bool zoned = false;
    ASSERT_EQ(parse_iso_time("2126-02-05T06:28:15Z", t, zoned), 0);
    EXPECT_EQ(t, 0xFFFFFFFFu);
}

TEST(ParseSeeYouCoord, Forms) {
    constexpr double kArcMin = 0.0002908882086657;
    double r = 0;
    ASSERT_EQ(parse_seeyou_coord("5107.830N", Axis::Latitude, r), 0);
    EXPECT_DOUBLE_EQ(r, (51 * 60 + 7.83) * kArcMin);
    ASSERT_EQ(parse_seeyou_coord("  00107.830w  ", Axis::Longitude, r), 0);
    EXPECT_DOUBLE_EQ(r, -(60 + 7.83) * kArcMin);
    ASSERT_EQ(parse_seeyou_coord("3352.069s", Axis::Latitude, r), 0);
    EXPECT_DOUBLE_EQ(r, -(33 * 60 + 52.069) * kArcMin);
    ASSERT_EQ(parse_seeyou_coord("17959.999E", Axis::Longitude, r), 0);
    // The pole and the date line themselves, as writers round onto them.
    ASSERT_EQ(parse_seeyou_coord("9000.000N", Axis::Latitude, r), 0);
    EXPECT_DOUBLE_EQ(r, 5400 * kArcMin);
    ASSERT_EQ(parse_seeyou_coord("18000.000W", Axis::Longitude, r), 0);
    EXPECT_DOUBLE_EQ(r, -10800 * kArcMin);

    const std::pair<const char*, Axis> bad[] = {
        {"9000.001N", Axis::Latitude},  {"5107.830E", Axis::Latitude},  {"5107.830 N", Axis::Latitude},
        {"5107N", Axis::Latitude},      {"5107.830", Axis::Latitude},   {"5107.830N x", Axis::Latitude},
        {"18000.001E", Axis::Longitude}, {".830N", Axis::Latitude},     {"8999.999N", Axis::Latitude},
        {"9001.000N", Axis::Latitude},  {"18100.000E", Axis::Longitude},
        {"17999.000E", Axis::Longitude}, {"00107.830N", Axis::Longitude}, {"", Axis::Latitude},
    };
    for (const auto& [text, axis] : bad) {
        r = 5;
        EXPECT_EQ(parse_seeyou_coord(text, axis, r), -1) << text;
        EXPECT_EQ(r, 5) << text;
    }
}

TEST(ParseDdmmAndHhmmss, Forms) {
    constexpr double kArcMin = 0.0002908882086657;
    double r = 0;
    ASSERT_EQ(parse_ddmm("4730.5000", r), 0);
    EXPECT_DOUBLE_EQ(r, (47 * 60 + 30.5) * kArcMin);
    ASSERT_EQ(parse_ddmm("00830 ", r), 0);
    EXPECT_DOUBLE_EQ(r, (8 * 60 + 30) * kArcMin);
    ASSERT_EQ(parse_ddmm("18000.000", r), 0);
    EXPECT_DOUBLE_EQ(r, 10800 * kArcMin);
    for (const char* t : {"18000.001", "18001", "-4730.5", "4730.5N", "47 30", "", ".5", "17960.5"}) {
        r = 9;
        EXPECT_EQ(parse_ddmm(t, r), -1) << t;
        EXPECT_EQ(r, 9);
    }

    int sod = 0;
    double frac = 0;
    ASSERT_EQ(parse_hhmmss("123456.75", sod, frac), 0);
    EXPECT_EQ(sod, 12 * 3600 + 34 * 60 + 56);
    EXPECT_DOUBLE_EQ(frac, 0.75);
    ASSERT_EQ(parse_hhmmss("235959", sod, frac), 0);
    EXPECT_EQ(sod, 86399);
    EXPECT_EQ(frac, 0.0);
    ASSERT_EQ(parse_hhmmss("000001  ", sod, frac), 0);
    EXPECT_EQ(sod, 1);
    for (const char* t : {"236000", "240000", "12:34:56", "", "1234x", "-1", "123456.5x"}) {
        sod = 4;
        EXPECT_EQ(parse_hhmmss(t, sod, frac), -1) << t;
        EXPECT_EQ(sod, 4);
    }
}

TEST(ParseHemisphereCoord, StopsAfterTheCoordinate) {
    const std::string line = "N 46 04 39.99    E 007 28 13.65  1234  Some hill";
    double deg = 0;
    std::size_t end = 0;
    ASSERT_EQ(parse_hemisphere_coord(line, Axis::Latitude, deg, end), 0);
    EXPECT_DOUBLE_EQ(deg, 46 + 4 / 60.0 + 39.99 / 3600);
    EXPECT_EQ(line.substr(end, 5), "    E");
    const std::string rest = line.substr(end + 4);
    ASSERT_EQ(parse_hemisphere_coord(rest, Axis::Longitude, deg, end), 0);
    EXPECT_DOUBLE_EQ(deg, 7 + 28 / 60.0 + 13.65 / 3600);
    EXPECT_EQ(rest.substr(end), "  1234  Some hill");

    ASSERT_EQ(parse_hemisphere_coord("s12,5 rest", Axis::Latitude, deg, end), 0);
    EXPECT_DOUBLE_EQ(deg, -12.5);
    EXPECT_EQ(end, 5u);
    ASSERT_EQ(parse_hemisphere_coord("W 120 30.5", Axis::Longitude, deg, end), 0);
    EXPECT_DOUBLE_EQ(deg, -(120 + 30.5 / 60));
    EXPECT_EQ(end, 10u);
    ASSERT_EQ(parse_hemisphere_coord("N 45 E 7", Axis::Latitude, deg, end), 0);
    EXPECT_DOUBLE_EQ(deg, 45);
    EXPECT_EQ(end, 4u);
    // The pole and the date line themselves, as writers round onto them.
    ASSERT_EQ(parse_hemisphere_coord("S 90 00 00.00 x", Axis::Latitude, deg, end), 0);
    EXPECT_DOUBLE_EQ(deg, -90);
    ASSERT_EQ(parse_hemisphere_coord("E 180 00 00.00", Axis::Longitude, deg, end), 0);
    EXPECT_DOUBLE_EQ(deg, 180);

    for (const auto& [text, axis] : {std::pair{"E 45 30", Axis::Latitude}, std::pair{"+45", Axis::Latitude},
                                     std::pair{"45 N", Axis::Latitude}, std::pair{"N 90 00 00.01", Axis::Latitude},
                                     std::pair{"N 91", Axis::Latitude}, std::pair{"E 180.5", Axis::Longitude},
                                     std::pair{"N 45 60", Axis::Latitude}, std::pair{"N 45 30 60", Axis::Latitude},
                                     std::pair{"E 180 00 01", Axis::Longitude}, std::pair{"N", Axis::Latitude},
                                     std::pair{"", Axis::Latitude}}) {
        deg = 3;
        end = 3;
        EXPECT_EQ(parse_hemisphere_coord(text, axis, deg, end), -1) << text;
        EXPECT_EQ(deg, 3);
        EXPECT_EQ(end, 3u);
    }
}

TEST(Fractions, LongRunsOfNinesStayBelowOne) {
    int sod = 0;
    double frac = 0;
    ASSERT_EQ(parse_hhmmss("000000.99999999999999999999999999999", sod, frac), 0);
    EXPECT_LT(frac, 1.0);
    EXPECT_GT(frac, 0.9999999);
}

}  // namespace
}  // namespace orlogix
