// The IGC parser: records, first errors with their line numbers, date forms,
// the time line and real files made by other programs.
#include <gtest/gtest.h>

#include <sstream>

#include "core/time.hpp"
#include "formats/igc/reader.hpp"
#include "support/file_bytes.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

const std::string kHead = "AXQV000 test\r\nHFDTE150711\r\n";
const std::string kFix = "B1020304500000N09000000WA0123401235\r\n";

struct Parse {
    int rc = 0;
    IgcParsed out;
    IgcParseError err;
};

Parse parse(const std::string& text) {
    Parse p;
    p.rc = parse_igc(text, p.out, p.err);
    return p;
}

std::string error_of(const std::string& text) { return parse(text).err.text; }

TEST(IgcParse, DecodesAFix) {
    const Parse p = parse(kHead + kFix + "B1020354500000S00600000EV-001200000\r\nLXQV x\r\n");
    ASSERT_EQ(p.rc, 2) << p.err.text;
    const TrackPosition& a = p.out.positions[0];
    EXPECT_EQ(a.time, time_from_calendar(2011, 7, 15, 10, 20, 30));
    EXPECT_EQ(a.latitude, 1 << 29);
    EXPECT_EQ(a.longitude, -(1 << 30));
    EXPECT_EQ(a.baro_altitude, 1234);
    EXPECT_EQ(a.gps_altitude, 12350);
    EXPECT_EQ(a.flags, kSegmentStart);
    EXPECT_EQ(a.depth, 0u);
    const TrackPosition& b = p.out.positions[1];
    EXPECT_EQ(b.time, a.time + 5);
    EXPECT_EQ(b.latitude, -(1 << 29));
    EXPECT_EQ(b.longitude, 71582788);  // 360000 thousandths x 198.8410785185, rounded
    EXPECT_EQ(b.baro_altitude, -12);   // a minus sign and 0012
    EXPECT_EQ(b.gps_altitude, 0);
    EXPECT_EQ(b.flags, 0u);  // validity "V" is read like "A"
    EXPECT_EQ(p.out.maker, "XQV");
    EXPECT_EQ(p.out.serial, "000");
}

TEST(IgcParse, ARecordForms) {
    EXPECT_EQ(parse("AXQV\r\nHFDTE150711\r\n" + kFix).out.serial, "000");
    const Parse serial = parse("AXGD100 Flymaster\r\nHFDTE150711\r\n" + kFix);
    EXPECT_EQ(serial.out.maker, "XGD");
    EXPECT_EQ(serial.out.serial, "100");
    EXPECT_EQ(error_of("AXQV1\r\nHFDTE150711\r\n" + kFix), "Bad serial number found in the A-record");
    EXPECT_EQ(error_of("AXQV1-3\r\nHFDTE150711\r\n" + kFix), "Bad serial number found in the A-record");
    EXPECT_EQ(error_of("AX-V\r\nHFDTE150711\r\n" + kFix), "Bad IGC manufacturer found in the A-record");
    EXPECT_EQ(error_of("AXQ\r\nHFDTE150711\r\n" + kFix), "Too short A-record");
    EXPECT_EQ(error_of(kHead + "AXQV\r\n" + kFix), "Multiple A-records");
    EXPECT_EQ(error_of("HFDTE150711\r\n" + kFix), "No A-record found");
    EXPECT_EQ(error_of(kHead + "LXQV no fixes\r\n"), "No positions found");
    // Fixes may come before the A-record.
    EXPECT_EQ(parse("HFDTE150711\r\n" + kFix + "AXQV\r\n").rc, 1);
}

TEST(IgcParse, DateLineForms) {
    const uint32_t midnight = time_from_calendar(2011, 7, 15, 0, 0, 0);
    for (const char* date : {"HFDTE150711", "HFDTEDATE:150711", "HFDTEDATE:150711,01", "HFDTEDATE:150711,2"}) {
        const Parse p = parse(std::string("AXQV\r\n") + date + "\r\n" + kFix);
        ASSERT_EQ(p.rc, 1) << date << ": " << p.err.text;
        EXPECT_EQ(p.out.positions[0].time, midnight + 37230) << date;
    }
    for (const char* date : {"HFDTE:150711", "HFDTE1507111", "HFDTE15071", "HFDTE320711", "HFDTE001011", "HFDTE151311",
                             "HFDTE150011", "HFDTEDATE:150711,", "HFDTEDATE:150711,01x", "HFDTEDATE:150711 ",
                             "HFDTEDATE:1507", "HFDTE 150711", "HFDTEDATE:15O711"}) {
        const Parse p = parse(std::string("AXQV\r\nHOPLTPILOT: x\r\n") + date + "\r\n" + kFix);
        EXPECT_EQ(p.rc, -1) << date;
        EXPECT_EQ(p.err.text, "Date error 1 on line 3") << date;
        EXPECT_EQ(p.err.line, 3) << date;
    }
    EXPECT_EQ(error_of(kHead + "HFDTE150711\r\n" + kFix), "Multiple date lines");
    EXPECT_EQ(error_of("AXQV\r\n" + kFix + "HFDTE150711\r\n"), "Missing date line");
    // Year 99 is 2099, the last year of the time base.
    EXPECT_EQ(parse("AXQV\r\nHFDTE311299\r\n" + kFix).out.positions[0].time,
              time_from_calendar(2099, 12, 31, 10, 20, 30));
}

struct BCase {
    const char* record;
    int error;
};

TEST(IgcParse, BRecordErrorsInFieldOrder) {
    const BCase cases[] = {
        {"B1020304500000N09000000WA0123401235", 0},
        {"BX020304500000N09000000WA0123401235", 1},
        {"B2420304500000N09000000WA0123401235", 2},
        {"B2359594500000N09000000WA0123401235", 0},
        {"B10X0304500000N09000000WA0123401235", 3},
        {"B1060304500000N09000000WA0123401235", 4},
        {"B10200 4500000N09000000WA0123401235", 5},
        {"B1020604500000N09000000WA0123401235", 6},
        {"B102030X500000N09000000WA0123401235", 7},
        // The pole and the date line themselves are what writers round onto;
        // anything past them is refused.
        {"B1020309000000N09000000WA0123401235", 0},
        {"B1020309000000S18000000EA0123401235", 0},
        {"B1020308960000N18000000WA0123401235", 0},
        {"B1020309000001N09000000WA0123401235", 8},
        {"B1020309100000N09000000WA0123401235", 8},
        {"B1020304560000N09000000WA0123401235", 0},
        {"B1020304560001N09000000WA0123401235", 10},
        {"B10203045000 0N09000000WA0123401235", 9},
        {"B1020304500000n09000000WA0123401235", 11},
        {"B1020304500000NX9000000WA0123401235", 12},
        {"B1020304500000N18000001WA0123401235", 13},
        {"B1020304500000N18100000WA0123401235", 13},
        {"B1020304500000N1790000XWA0123401235", 14},
        {"B1020304500000N17960001WA0123401235", 15},
        {"B1020304500000N09000000 A0123401235", 16},
        {"B1020304500000N09000000W", 17},
        {"B1020304500000N09000000WA012340123", 18},
        {"B1020304500000N09000000WA0-23401235", 18},
        {"B1020304500000N09000000WA0123401-35", 18},
        {"B1020304500000N09000000WA-0123-1235", 0},
        {"B1020304500000N09000000WA-012-01235", 18},
        {"B1020304500000N09000000WA-0123-0123", 0},
        {"B102030", 7},
        {"B", 1},
    };
    for (const BCase& c : cases) {
        const Parse p = parse(kHead + "LXQV one\r\n" + c.record + "\r\n");
        if (c.error == 0) {
            EXPECT_EQ(p.rc, 1) << c.record << ": " << p.err.text;
        } else {
            EXPECT_EQ(p.err.text, "Pos. error " + std::to_string(c.error) + " on line 4") << c.record;
            EXPECT_EQ(p.err.line, 4);
        }
    }
}

TEST(IgcParse, MinutesFieldOf60000IsAccepted) {
    const Parse p = parse(kHead + "B1020304460000N00000000EA0000000000\r\n");
    ASSERT_EQ(p.rc, 1);
    EXPECT_EQ(p.out.positions[0].latitude, 1 << 29);
}

TEST(IgcParse, MidnightCrossingAndSmallStepsBack) {
    const Parse p = parse("AXQV\r\nHFDTE311211\r\n"
                          "B2359304500000N00600000EA0000000000\r\n"
                          "B0000104500000N00600000EA0000000000\r\n"
                          "B1200004500000N00600000EA0000000000\r\n"
                          "B1130004500000N00600000EA0000000000\r\n"
                          "B1030004500000N00600000EA0000000000\r\n");
    ASSERT_EQ(p.rc, 5) << p.err.text;
    EXPECT_EQ(p.out.positions[0].time, time_from_calendar(2011, 12, 31, 23, 59, 30));
    EXPECT_EQ(p.out.positions[1].time, time_from_calendar(2012, 1, 1, 0, 0, 10));
    EXPECT_EQ(p.out.positions[2].time, time_from_calendar(2012, 1, 1, 12, 0, 0));
    // Back by less than an hour: same day.
    EXPECT_EQ(p.out.positions[3].time, time_from_calendar(2012, 1, 1, 11, 30, 0));
    // Back by exactly an hour from the previous fix: the next day.
    EXPECT_EQ(p.out.positions[4].time, time_from_calendar(2012, 1, 2, 10, 30, 0));
}

TEST(IgcParse, LineEnds) {
    // The last fix without a line feed still counts.
    EXPECT_EQ(parse(kHead + kFix + "B1020354500000N09000000WA0123401235").rc, 2);
    EXPECT_EQ(parse(kHead + kFix + "B1020354500000N09000000WA0123401235\r").rc, 2);
    // A bad last line without its line feed is reported with its number.
    EXPECT_EQ(error_of(kHead + kFix + "B1099"), "Pos. error 4 on line 4");
    // Bare LF line ends, and text between CR and LF ignored.
    EXPECT_EQ(parse("AXQV\nHFDTE150711\nB1020304500000N09000000WA0123401235\rjunk\n").rc, 1);
    // Lines beyond 80 characters are cut, the fix is kept.
    const std::string longfix = "B1020304500000N09000000WA0123401235" + std::string(200, '7') + "\r\n";
    EXPECT_EQ(parse(kHead + longfix).rc, 1);
    // A date line cut at 80 characters stays an error of that line.
    EXPECT_EQ(error_of("AXQV\r\nHFDTE150711" + std::string(100, ' ') + "\r\n" + kFix), "Date error 1 on line 2");
}

TEST(IgcParse, OtherRecordsAreIgnored) {
    const Parse p = parse(kHead + "I013638ENL\r\nC0000\r\n\r\nE123\r\nF1\r\nK1\r\nGXYZ\r\nHOPLTPILOT: x\r\n" + kFix);
    EXPECT_EQ(p.rc, 1) << p.err.text;
}

TEST(IgcParse, FailureLeavesNothing) {
    const Parse p = parse(kHead + kFix + kFix + "B99\r\n");
    EXPECT_EQ(p.rc, -1);
    EXPECT_TRUE(p.out.positions.empty());
}

TEST(IgcReadTrack, ReportsTheErrorAndKeepsTheOldData) {
    test::RecordingReporter r;
    std::vector<TrackPosition> positions(3);
    RawIgcLog raw;
    raw.bytes = "previous";
    EXPECT_EQ(read_igc_track(r, kHead + "B1061\r\n", positions, raw), -1);
    EXPECT_EQ(r.last_error().title, "Reading IGC log file");
    EXPECT_EQ(r.last_error().text, "Pos. error 4 on line 3");
    EXPECT_EQ(positions.size(), 3u);
    EXPECT_EQ(raw.bytes, "previous");
}

TEST(IgcReadTrack, KeepsTheFileAsRawLog) {
    test::RecordingReporter r;
    std::vector<TrackPosition> positions;
    RawIgcLog raw;
    const std::string text = "AXGD100 x\r\nHFDTE150711\r\n" + kFix;
    ASSERT_EQ(read_igc_track(r, text, positions, raw), 1);
    EXPECT_EQ(raw.bytes, text);
    EXPECT_EQ(raw.first_fix_time, positions[0].time);
    EXPECT_EQ(raw.maker, "XGD");
    EXPECT_EQ(raw.serial, "100");
    EXPECT_EQ(r.count("error"), 0);
}

TEST(IgcParseRealFlights, EveryFixOfTheManifestIsRead) {
    std::istringstream manifest(test::data_bytes("flights/MANIFEST.tsv"));
    std::string line;
    std::getline(manifest, line);  // header
    int files = 0;
    while (std::getline(manifest, line)) {
        std::istringstream fields(line);
        std::string name;
        int fixes = 0;
        std::getline(fields, name, '\t');
        fields >> fixes;
        const std::string text = test::data_bytes("flights/" + name);
        ASSERT_FALSE(text.empty()) << name;
        const Parse p = parse(text);
        EXPECT_EQ(p.rc, fixes) << name << ": " << p.err.text;
        if (p.rc > 0) {
            // Times never run backwards in these flights.
            for (std::size_t i = 1; i < p.out.positions.size(); ++i)
                ASSERT_GE(p.out.positions[i].time, p.out.positions[i - 1].time) << name << " fix " << i;
        }
        ++files;
    }
    EXPECT_EQ(files, 10);
}

TEST(IgcParseRealFlights, ANewStyleDateAndFirstFix) {
    // fai.igc: "HFDTEDATE:280619,01"; its first fix is checked by hand.
    const Parse p = parse(test::data_bytes("flights/fai.igc"));
    ASSERT_GT(p.rc, 0) << p.err.text;
    EXPECT_EQ(p.out.maker, "XCT");
    EXPECT_EQ(p.out.serial, "455");
    EXPECT_EQ(calendar_from_time(p.out.positions[0].time).day, 28);
    EXPECT_EQ(calendar_from_time(p.out.positions[0].time).month, 6);
    EXPECT_EQ(calendar_from_time(p.out.positions[0].time).year, 2019);
    // "B1029064232021N00033145EA0211602313..."
    const TrackPosition& f = p.out.positions[0];
    EXPECT_EQ(f.time, time_from_calendar(2019, 6, 28, 10, 29, 6));
    EXPECT_EQ(f.latitude, 507446608);
    EXPECT_EQ(f.longitude, 6590588);
    EXPECT_EQ(f.baro_altitude, 2116);
    EXPECT_EQ(f.gps_altitude, 23130);
}

}  // namespace
}  // namespace orlogix
