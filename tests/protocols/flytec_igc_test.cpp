// The IGC line assembler and record decoder shared by the Flytec/Brauniger,
// IQ Basic and DSX downloads: record layouts by hand, and real flights of
// other loggers (tests/data/flights) fed byte by byte as a download would.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/time.hpp"
#include "protocols/flytec/igc_decoder.hpp"

namespace orlogix::flytec {
namespace {

struct Download {
    int error = 0;   // the first format error, as a positive number
    std::vector<TrackPosition> positions;
    IgcDecoder decoder;
};

Download decode_file(const std::string& name) {
    std::ifstream in(std::string(ORLOGIX_TEST_DATA) + "/flights/" + name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    EXPECT_FALSE(bytes.str().empty()) << name;
    Download d;
    IgcLineAssembler lines;
    for (char c : bytes.str()) {
        const auto r = lines.feed(c);
        EXPECT_TRUE(r == IgcLineAssembler::Result::More || r == IgcLineAssembler::Result::Record) << name;
        if (r != IgcLineAssembler::Result::Record) continue;
        const int k = d.decoder.decode(lines.record());
        if (k < 0) {
            d.error = -k;
            break;
        }
        if (k == static_cast<int>(IgcRecord::Position)) d.positions.push_back(d.decoder.position());
    }
    return d;
}

TEST(FlytecIgc, RealFlights) {
    const Download classic = decode_file("record_de_france.igc");   // "HFDTE120519", 7292 fixes
    ASSERT_EQ(classic.error, 0);
    ASSERT_EQ(classic.decoder.positions(), 7292u);
    EXPECT_EQ(classic.decoder.maker(), "XGD");
    EXPECT_EQ(classic.decoder.logger(), "000");
    EXPECT_EQ(classic.decoder.g_records(), 1);
    const TrackPosition& first = classic.positions.front();
    EXPECT_EQ(first.flags, kSegmentStart);
    EXPECT_EQ(first.time, time_from_calendar(2019, 5, 12, 7, 49, 8));
    EXPECT_NEAR(first.latitude, 586559707, 1);    // 49 deg 09.892' N
    EXPECT_NEAR(first.longitude, 47166893, 1);    // 3 deg 57.209' E
    EXPECT_EQ(first.baro_altitude, 106);
    EXPECT_EQ(first.gps_altitude, 2580);
    EXPECT_EQ(classic.positions.back().time, time_from_calendar(2019, 5, 12, 18, 0, 25));
    EXPECT_EQ(classic.positions.back().flags, 0u);

    const Download named = decode_file("flat-xcontest-8.01.igc");   // "HFDTEDATE:260919,02"
    ASSERT_EQ(named.error, 0);
    ASSERT_EQ(named.positions.size(), 2735u);
    EXPECT_EQ(named.positions.front().time, time_from_calendar(2019, 9, 26, 13, 39, 9));
    EXPECT_EQ(named.positions.back().time, time_from_calendar(2019, 9, 26, 14, 24, 43));

    // "AXSR": an A-record of five characters with its CR is too short.
    EXPECT_EQ(decode_file("tri.igc").error, 28);
}

TEST(FlytecIgc, LineAssembler) {
    using R = IgcLineAssembler::Result;
    IgcLineAssembler a;
    std::vector<std::string> records;
    for (char c : std::string("\r\n\nAXGD000\r\nHFDTE120519\r\n"))
        if (a.feed(c) == R::Record) records.emplace_back(a.record());
    EXPECT_EQ(records, (std::vector<std::string>{"AXGD000\r", "HFDTE120519\r"}));
    EXPECT_EQ(a.lines(), 4);
    EXPECT_EQ(a.feed('b'), R::BadRecordType);
    EXPECT_EQ(a.bad_byte(), 'b');
    IgcLineAssembler joined;   // a lost line feed must not join two records
    for (char c : std::string("AXGD000\r")) joined.feed(c);
    EXPECT_EQ(joined.feed('B'), R::BadRecordType);
    EXPECT_EQ(joined.bad_byte(), 'B');
    IgcLineAssembler b;
    const std::string longest = "L" + std::string(80, 'x');
    for (char c : longest) ASSERT_EQ(b.feed(c), R::More);
    EXPECT_EQ(b.feed('\n'), R::Record);
    for (char c : longest) ASSERT_EQ(b.feed(c), R::More);
    EXPECT_EQ(b.feed('x'), R::TooLong);
}

TEST(FlytecIgc, RecordErrors) {
    const std::string fix = "B0749084909892N00357209EA0010600258\r";
    auto with = [&](std::size_t at, std::string_view text) { return std::string(fix).replace(at, text.size(), text); };
    const std::pair<std::string, int> cases[] = {
        {"AXSR\r", kIgcShortA},              {"AX!R123\r", kIgcBadLogger},
        {"HFDTE1506X9\r", kIgcDateYear},     {"HFDTE15X619\r", kIgcDateMonth},  {"HFDTE151319\r", kIgcMonthRange},
        {"HFDTEX50619\r", kIgcDateDay},      {"HFDTE320619\r", kIgcDayRange},   {"HFDTEDATE:0006\r", kIgcDateYear},
        {fix.substr(0, 34), kIgcShortB},
        {with(1, "x"), kIgcHours},           {with(1, "24"), kIgcHoursRange},  {with(3, "x"), kIgcMinutes},
        {with(3, "60"), kIgcMinutesRange},   {with(5, "x"), kIgcSeconds},      {with(5, "60"), kIgcSecondsRange},
        {with(7, "x"), kIgcLatDegrees},      {with(7, "90"), kIgcLatRange},    {with(9, "60"), kIgcLatRange},
        {with(9, " 9"), kIgcLatMinutes},     {with(11, "89x"), kIgcLatThousandths}, {with(14, "X"), kIgcLatLetter},
        {with(15, "180"), kIgcLonRange},     {with(18, "60"), kIgcLonRange},   {with(15, "x"), kIgcLonDegrees},
        {with(18, "x"), kIgcLonMinutes},     {with(20, "x"), kIgcLonThousandths}, {with(23, "X"), kIgcLonLetter},
        {with(25, "1x"), kIgcAltitude},      {with(30, "- 12"), kIgcAltitude},
    };
    for (const auto& [record, error] : cases) {
        IgcDecoder d;
        ASSERT_EQ(d.decode("HFDTE120519\r"), static_cast<int>(IgcRecord::Date));
        EXPECT_EQ(d.decode(record), -error) << record;
    }
    IgcDecoder d;
    EXPECT_EQ(d.decode(fix), -kIgcNoDate);
    EXPECT_EQ(d.decode("HFDTE1205\r"), static_cast<int>(IgcRecord::Ignored));   // ten characters: not a date
    EXPECT_EQ(d.decode("HFDTEDATE:120519,01\r"), static_cast<int>(IgcRecord::Date));
    EXPECT_EQ(d.decode(with(25, " -012")), static_cast<int>(IgcRecord::Position));
    EXPECT_EQ(d.position().baro_altitude, -12);
    EXPECT_EQ(d.position().time, time_from_calendar(2019, 5, 12, 7, 49, 8));
    // Blanks in the date: a plain decimal for the Flytec, an error for the IQ Basic.
    EXPECT_EQ(d.decode("HFDTE 50619\r"), static_cast<int>(IgcRecord::Date));
    IgcDecoder strict(true);
    EXPECT_EQ(strict.decode("HFDTE 50619\r"), -kIgcDateDay);
    EXPECT_EQ(strict.decode("HFDTEDATE:050619\r"), static_cast<int>(IgcRecord::Date));
}

TEST(FlytecIgc, DayRollsOverAtMidnight) {
    IgcDecoder d;
    d.decode("HFDTE311219\r");
    const std::string tail = "4909892N00357209EA0010600258\r";
    const std::pair<const char*, uint32_t> fixes[] = {
        {"235950", time_from_calendar(2019, 12, 31, 23, 59, 50)},
        {"000010", time_from_calendar(2020, 1, 1, 0, 0, 10)},
        {"000005", time_from_calendar(2020, 1, 1, 0, 0, 5)},   // less than an hour back: same day
        {"235950", time_from_calendar(2020, 1, 1, 23, 59, 50)},
        {"233000", time_from_calendar(2020, 1, 1, 23, 30, 0)},
    };
    for (const auto& [hms, time] : fixes) {
        ASSERT_EQ(d.decode("B" + std::string(hms) + tail), static_cast<int>(IgcRecord::Position));
        EXPECT_EQ(d.position().time, time) << hms;
    }
    EXPECT_EQ(d.first_time(), fixes[0].second);
}

TEST(FlytecIgc, RemainingTimeStaysWithinItsField) {
    // First fix, listed duration, last fix, milliseconds since the first fix, seconds left.
    const std::tuple<uint32_t, uint32_t, uint32_t, uint64_t, int> cases[] = {
        {1000, 3600, 1000, 5000, 5999},     // no fix time has passed yet
        {1000, 3600, 2800, 900000, 900},    // half way, at half speed
        {1000, 3600, 5000, 900000, 0},      // past the listed end
        {1000, 3600, 1100, 1000000, 5999},  // capped
        {1000, 3600, 900, 1000, 0},         // a fix before the first one
    };
    for (const auto& [first, duration, last, elapsed, seconds] : cases)
        EXPECT_EQ(remaining_seconds(first, duration, last, elapsed), seconds) << last;
}

}  // namespace
}  // namespace orlogix::flytec
