// Written files read back by our parser and checked by the security check;
// edits to covered lines fail, edits to "HO" lines do not.
#include <gtest/gtest.h>

#include "core/time.hpp"
#include "formats/igc/reader.hpp"
#include "formats/igc/verify.hpp"
#include "formats/igc/writer.hpp"
#include "support/file_bytes.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

// A real flight, read and written again as a signed download.
struct Signed {
    std::vector<TrackPosition> positions;
    std::string text;
};

Signed signed_flight(bool add_enl = false) {
    Signed s;
    IgcParsed parsed;
    IgcParseError err;
    EXPECT_GT(parse_igc(test::data_bytes("flights/record_de_france.igc"), parsed, err), 0) << err.text;
    s.positions = parsed.positions;
    IgcHeaderTexts texts;
    texts.pilot = "Test Pilot";
    texts.site = "Somewhere";
    IgcEncodeOptions options;
    options.source = 1;
    options.fr_serial = "A1B";
    options.instrument_description = "Flytec 6015, V1.2";
    options.download_time = CalendarTime{2019, 5, 13, 18, 5, 54, 0};
    options.add_enl = add_enl;
    bool g_possible = false;
    EXPECT_GT(encode_igc(s.positions, texts, options, s.text, g_possible), 0);
    return s;
}

std::string replace_once(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

TEST(IgcRoundTrip, WrittenFileReadsBackToTheSamePositions) {
    for (bool enl : {false, true}) {
        const Signed s = signed_flight(enl);
        IgcParsed back;
        IgcParseError err;
        ASSERT_EQ(parse_igc(s.text, back, err), static_cast<int>(s.positions.size())) << err.text;
        EXPECT_EQ(back.maker, "XQV");
        EXPECT_EQ(back.serial, "A1B");
        for (std::size_t i = 0; i < s.positions.size(); ++i) {
            // Positions that came from IGC text survive exactly.
            ASSERT_EQ(back.positions[i].latitude, s.positions[i].latitude) << i;
            ASSERT_EQ(back.positions[i].longitude, s.positions[i].longitude) << i;
            ASSERT_EQ(back.positions[i].time, s.positions[i].time) << i;
            ASSERT_EQ(back.positions[i].baro_altitude, s.positions[i].baro_altitude) << i;
            ASSERT_EQ(back.positions[i].gps_altitude, s.positions[i].gps_altitude) << i;
        }
        EXPECT_EQ(verify_igc(s.text), IgcSecurity::Passed);
    }
}

TEST(IgcRoundTrip, ArbitraryPositionsWithinIgcPrecision) {
    // Semicircle values that IGC cannot hold exactly come back within half a
    // thousandth of a minute (about 100 semicircles).
    std::vector<TrackPosition> track;
    uint32_t t = time_from_calendar(2020, 2, 29, 23, 0, 0);
    for (int i = 0; i < 200; ++i) {
        TrackPosition p;
        p.time = t + static_cast<uint32_t>(i) * 37;
        p.latitude = static_cast<int32_t>(-1073741000 + int64_t{i} * 10737425);
        p.longitude = static_cast<int32_t>(2147483000 - int64_t{i} * 21474823);
        p.gps_altitude = i * 123 - 500;
        p.baro_altitude = i * 11 - 300;
        track.push_back(p);
    }
    std::string text;
    bool g_possible = false;
    IgcEncodeOptions options;
    options.source = 1;
    ASSERT_GT(encode_igc(track, {}, options, text, g_possible), 0);
    IgcParsed back;
    IgcParseError err;
    ASSERT_EQ(parse_igc(text, back, err), 200) << err.text;
    for (std::size_t i = 0; i < track.size(); ++i) {
        EXPECT_NEAR(back.positions[i].latitude, track[i].latitude, 100) << i;
        EXPECT_NEAR(back.positions[i].longitude, track[i].longitude, 100) << i;
        EXPECT_EQ(back.positions[i].time, track[i].time) << i;  // runs past midnight
        EXPECT_EQ(back.positions[i].baro_altitude, track[i].baro_altitude) << i;
        const int32_t metres = track[i].gps_altitude < 0 ? 0 : (track[i].gps_altitude + 5) / 10;
        EXPECT_EQ(back.positions[i].gps_altitude, metres * 10) << i;
    }
    EXPECT_EQ(verify_igc(text), IgcSecurity::Passed);
}

TEST(IgcVerify, EditsToCoveredLinesFail) {
    const Signed s = signed_flight(true);
    ASSERT_EQ(verify_igc(s.text), IgcSecurity::Passed);
    const std::size_t b = s.text.find("\r\nB") + 2;
    // Every character of a B-record is covered.
    for (std::size_t i = 1; i < 38; ++i) {
        std::string t = s.text;
        t[b + i] = t[b + i] == '5' ? '6' : '5';
        EXPECT_EQ(verify_igc(t), IgcSecurity::Failed) << "B-record character " << i;
    }
    EXPECT_EQ(verify_igc(replace_once(s.text, "HFDTE120519", "HFDTE130519")), IgcSecurity::Failed);
    EXPECT_EQ(verify_igc(replace_once(s.text, "Downloaded 2019", "Downloaded 2018")), IgcSecurity::Failed);
    EXPECT_EQ(verify_igc(replace_once(s.text, "AXQVA1B", "AXQVA1C")), IgcSecurity::Failed);
    EXPECT_EQ(verify_igc(replace_once(s.text, "I013638ENL", "I013638END")), IgcSecurity::Failed);
    // The G-record itself, in either case.
    const std::size_t g = s.text.rfind("\r\nG") + 3;
    std::string lower = s.text;
    for (std::size_t i = g; i < g + 16; ++i) lower[i] = static_cast<char>(std::tolower(lower[i]));
    if (lower != s.text) {
        EXPECT_EQ(verify_igc(lower), IgcSecurity::Failed);
    }
    std::string flipped = s.text;
    flipped[g + 15] = flipped[g + 15] == '0' ? '1' : '0';
    EXPECT_EQ(verify_igc(flipped), IgcSecurity::Failed);
    // Removing a whole fix.
    const std::size_t end = s.text.find("\r\n", b) + 2;
    std::string removed = s.text;
    removed.erase(b, end - b);
    EXPECT_EQ(verify_igc(removed), IgcSecurity::Failed);
}

TEST(IgcVerify, EditsToHoLinesPass) {
    const Signed s = signed_flight();
    EXPECT_EQ(verify_igc(replace_once(s.text, "HOPLTPILOT: Test Pilot", "HOPLTPILOT: Someone Else Entirely")),
              IgcSecurity::Passed);
    EXPECT_EQ(verify_igc(replace_once(s.text, "HOSITSite: Somewhere\r\n", "HOSITSite: Somewhere\r\nHOXYZ: added\r\n")),
              IgcSecurity::Passed);
    // Our own L-records are covered; other L lines are not.
    EXPECT_EQ(verify_igc(replace_once(s.text, "LXQV Orlogix", "LPLTcomment\r\nLXQV Orlogix")), IgcSecurity::Passed);
}

TEST(IgcVerify, LayoutFaults) {
    const Signed s = signed_flight();
    // An empty line or a C-record inside the covered part.
    EXPECT_EQ(verify_igc(replace_once(s.text, "HFDTE", "\r\nHFDTE")), IgcSecurity::Failed);
    // (After an "HO" line further line ends are skipped, so use a later fix.)
    const std::size_t b = s.text.find("\r\nB", s.text.find("\r\nB") + 2) + 2;
    std::string blank = s.text;
    blank.insert(b, "\r\n");
    EXPECT_EQ(verify_igc(blank), IgcSecurity::Failed);
    std::string c = s.text;
    c.insert(b, "C0000000N00000000E\r\n");
    EXPECT_EQ(verify_igc(c), IgcSecurity::Failed);
    // Content after the G-record; trailing line ends alone are fine.
    EXPECT_EQ(verify_igc(s.text + "\r\n\r\n"), IgcSecurity::Passed);
    EXPECT_EQ(verify_igc(s.text + "B"), IgcSecurity::Failed);
    // A G-record without its line end still passes; a short one fails.
    EXPECT_EQ(verify_igc(s.text.substr(0, s.text.size() - 2)), IgcSecurity::Passed);
    EXPECT_EQ(verify_igc(s.text.substr(0, s.text.size() - 3)), IgcSecurity::Failed);
    // The text ending inside a covered or a skipped line.
    EXPECT_EQ(verify_igc(s.text.substr(0, 10)), IgcSecurity::Failed);
    EXPECT_EQ(verify_igc(s.text.substr(0, s.text.find("HOPLT") + 4)), IgcSecurity::Failed);
    EXPECT_EQ(verify_igc(s.text.substr(0, s.text.find("HOPLT") + 1)), IgcSecurity::Failed);
}

TEST(IgcVerify, NoSecurityRecord) {
    const Signed s = signed_flight();
    const std::string unsigned_text = s.text.substr(0, s.text.rfind("G"));
    EXPECT_EQ(verify_igc(unsigned_text), IgcSecurity::NoRecord);
    EXPECT_EQ(verify_igc(""), IgcSecurity::NoRecord);
}

TEST(IgcVerify, OtherProgramsRecordsDoNotPass) {
    // Files signed with another pad byte and permutation, or in another way.
    EXPECT_EQ(verify_igc(test::data_bytes("flights/line.igc")), IgcSecurity::Failed);
    EXPECT_EQ(verify_igc(test::data_bytes("flights/d3p.igc")), IgcSecurity::Failed);
}

TEST(IgcVerify, ReportsWithTheCommandsTexts) {
    test::RecordingReporter r;
    report_igc_security(r, IgcSecurity::Passed);
    report_igc_security(r, IgcSecurity::NoRecord);
    report_igc_security(r, IgcSecurity::Failed);
    const auto boxes = r.boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].kind, "notice");
    EXPECT_EQ(boxes[0].text, "Security check PASSED");
    EXPECT_EQ(boxes[1].kind, "notice");
    EXPECT_EQ(boxes[1].text, "No security record");
    EXPECT_EQ(boxes[2].kind, "error");
    EXPECT_EQ(boxes[2].text, "Security check FAILED");
    for (const auto& b : boxes) EXPECT_EQ(b.title, "Security check");
}

}  // namespace
}  // namespace orlogix
