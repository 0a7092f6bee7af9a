#include <gtest/gtest.h>

#include <chrono>

#include "core/time.hpp"

namespace orlogix {
namespace {

struct Stamp {
    int y, mo, d, h, mi, s;
    uint32_t t;
};

// Expected values: the Unix time of each date minus 631065600 (1989-12-31).
constexpr Stamp kStamps[] = {
    {1989, 12, 31, 0, 0, 0, 0},
    {1990, 1, 1, 0, 0, 0, 86400},
    {2011, 1, 1, 0, 0, 0, 662774400},
    {2011, 5, 1, 12, 0, 0, 673185600},
    {1992, 2, 29, 23, 59, 59, 68342399},   // a leap day
    {1992, 3, 1, 0, 0, 0, 68342400},
    {2000, 1, 1, 0, 0, 0, 315619200},      // the instruments' 2000 epoch
    {2024, 7, 15, 10, 30, 6, 1089973806},
    {2099, 12, 31, 23, 59, 59, 3471379199},
};

TEST(Time, CalendarToSecondsAndBack) {
    for (const Stamp& st : kStamps) {
        EXPECT_EQ(time_from_calendar(st.y, st.mo, st.d, st.h, st.mi, st.s), st.t) << st.y << "-" << st.mo;
        const CalendarTime c = calendar_from_time(st.t);
        EXPECT_EQ(c.year, st.y);
        EXPECT_EQ(c.month, st.mo);
        EXPECT_EQ(c.day, st.d);
        EXPECT_EQ(c.hour, st.h);
        EXPECT_EQ(c.minute, st.mi);
        EXPECT_EQ(c.second, st.s);
        EXPECT_EQ(c.millisecond, 0);
        EXPECT_EQ(time_from_calendar(c), st.t);
    }
    EXPECT_EQ(kEpoch2000Offset, time_from_calendar(2000, 1, 1, 0, 0, 0));
}

TEST(Time, WholeUnsignedRangeRoundTrips) {
    // The top of the range needs more than 32 bits once shifted to 1989-01-01.
    const CalendarTime top = calendar_from_time(0xFFFFFFFFu);
    EXPECT_EQ(top.year, 2126);
    EXPECT_EQ(time_from_calendar(top), 0xFFFFFFFFu);
    for (uint32_t t = 0xFFFFFFFFu - 40000000u; t > 0xF0000000u; t += 9876543u) {
        const CalendarTime c = calendar_from_time(t);
        EXPECT_EQ(time_from_calendar(c), t);
    }
    // Day by day over the first years and around 2100 the calendar is continuous.
    CalendarTime prev = calendar_from_time(0);
    for (uint32_t t = 86400; t < 86400u * 1600; t += 86400) {
        const CalendarTime c = calendar_from_time(t);
        ASSERT_EQ(time_from_calendar(c), t);
        ASSERT_TRUE(c.day == prev.day + 1 || (c.day == 1 && (c.month == prev.month + 1 || (c.month == 1 && prev.month == 12))));
        prev = c;
    }
}

TEST(Time, EveryFourthYearIsLeapEvenIn2100) {
    EXPECT_EQ(time_from_calendar(2100, 3, 1, 0, 0, 0) - time_from_calendar(2100, 2, 28, 0, 0, 0), 2u * 86400);
    EXPECT_EQ(time_from_calendar(2099, 3, 1, 0, 0, 0) - time_from_calendar(2099, 2, 28, 0, 0, 0), 86400u);
    const CalendarTime c = calendar_from_time(time_from_calendar(2100, 2, 29, 12, 0, 0));
    EXPECT_EQ(c.month, 2);
    EXPECT_EQ(c.day, 29);
}

TEST(Time, FieldsCarryWithoutRangeChecks) {
    EXPECT_EQ(time_from_calendar(2011, 1, 1, 24, 0, 0), time_from_calendar(2011, 1, 2, 0, 0, 0));
    EXPECT_EQ(time_from_calendar(2011, 1, 1, 0, 0, 60), time_from_calendar(2011, 1, 1, 0, 1, 0));
    EXPECT_EQ(time_from_calendar(2011, 13, 1, 0, 0, 0), time_from_calendar(2012, 1, 1, 0, 0, 0));
    EXPECT_EQ(time_from_calendar(2011, 0, 1, 0, 0, 0), time_from_calendar(2010, 12, 1, 0, 0, 0));
    // Before the epoch the value wraps modulo 2^32.
    EXPECT_EQ(time_from_calendar(1989, 12, 30, 23, 59, 59), 0xFFFFFFFFu);
    EXPECT_EQ(seconds_from_calendar(1989, 12, 30, 0, 0, 0), -86400);
}

TEST(Time, NowIsTheSystemClock) {
    const auto unix_now = std::chrono::duration_cast<std::chrono::seconds>(
                              std::chrono::system_clock::now().time_since_epoch()).count();
    const uint32_t t = time_now();
    EXPECT_NEAR(static_cast<double>(t), static_cast<double>(unix_now - kUnixToEpochSeconds), 2.0);
    const CalendarTime c = calendar_now();
    EXPECT_GE(c.year, 2024);
    EXPECT_NEAR(static_cast<double>(time_from_calendar(c)), static_cast<double>(t), 2.0);
}

}  // namespace
}  // namespace orlogix
