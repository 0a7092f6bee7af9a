// Top Navigator log files (.tnc) written by hand from the block and MXP
// layouts: what is read, which heights are reported, and the messages of
// the files that end too soon or break a rule.
#include <gtest/gtest.h>

#include <string>

#include "formats/tracks/tnc.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

// 2011-06-15 10:30:00 in seconds from 1989-12-31.
constexpr uint32_t kStart = 677068200;

std::string start_record(char variant) {
    return std::string("@TN0") + variant + "1A2B" "000000" "110615" "10300000" "00" + std::string(47, '0') + "\r\n";
}
const std::string kTime = "103000" "0000" "0" "0AC\r\n";
const std::string kEntry = "0441D8" "00AA1E" "04B0" "00000000000" "000\r\n";
const std::string kMxp = "@tn12341A2B00110615103000010002011006D\r\n"
                         "00010000010441D800AA1E04B07F\r\n"
                         "00020001010441D800AA1E04B07D\r\n";

// Each file: the count read (-1: refused with the message), and the heights it reports.
TEST(TncFiles, BlockAndMxpLogsTheirHeightsAndTheFilesThatBreakARule) {
    struct Case {
        std::string bytes;
        int count;
        bool baro;
        const char* error;
    };
    const Case cases[] = {
        {start_record('1') + kTime + kEntry + kEntry + "@EOF\r\n", 2, false, ""},
        {"\x11" + start_record('0') + kTime + kEntry + kEntry + "\x13@EOF\r\n", 2, true, ""},   // XON, XOFF dropped
        {start_record('2') + kTime + "@EOF\r\n", 0, true, ""},
        {kMxp, 2, false, ""},
        {"no log at all\r\n", -1, false, "Missing start record"},
        {start_record('1') + kTime + kEntry, -1, false, "Missing end-of-file record"},
        {kMxp.substr(0, kMxp.size() - 30), -1, false, "Missing end-of-file record"},
        {start_record('1') + std::string(101, 'x') + "\r\n", -1, false, "Error 1 on line 2"},
        {start_record('1') + kTime + kEntry + "103010" "0000" "0" "0AC\r\n", -1, false, "Error 2 on block line 4"},
        {start_record('1') + kTime + kEntry + "bad entry\r\n" + kEntry + "@EOF\r\n", -1, false,
         "Error 10 on block line 6"},
        {"@tn12341A2B00110615103000010002011006E\r\n", -1, false, "Error 4 on block line 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 40));
        test::RecordingReporter r;
        TncRead out;
        EXPECT_EQ(read_tnc_log(r, c.bytes, out), c.count) << r.last_error().text;
        EXPECT_EQ(r.last_error().text, c.error);
        if (c.count < 0) {
            EXPECT_EQ(r.last_error().title, "Reading Top Navigator Log File");
        }
        EXPECT_EQ(out.baro_present, c.baro);
        if (c.count > 0) {
            EXPECT_EQ(out.positions[0].time, kStart);
            EXPECT_EQ(out.positions.back().time, kStart + 1);
            EXPECT_EQ(out.positions[0].latitude, 554766609);
            EXPECT_EQ(out.positions[0].flags, kSegmentStart);
        }
    }
}

}  // namespace
}  // namespace orlogix
