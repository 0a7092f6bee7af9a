#include "core/time.hpp"

#include <chrono>

namespace orlogix {

namespace {

constexpr int kDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
// 1989-01-01 is 364 days before our epoch; counting from there makes every
// four-year cycle start with three common years.
constexpr int64_t kShiftTo1989 = 31449600;
constexpr int64_t kDaysPerCycle = 1461;

int64_t floor_div(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

}  // namespace

int64_t seconds_from_calendar(int year, int month, int day, int hour, int minute, int second) {
    // A month outside 1..12 carries into the year instead of reading past the table.
    int64_t y = year;
    const int64_t m0 = static_cast<int64_t>(month) - 1;
    y += floor_div(m0, 12);
    const int mi = static_cast<int>(m0 - floor_div(m0, 12) * 12);
    int64_t days = static_cast<int64_t>(day) + floor_div(y - 1989, 4) + 365 * y + kDaysBeforeMonth[mi];
    if (mi >= 2 && y - floor_div(y, 4) * 4 == 0) ++days;
    // Days since 1989-12-31 by the same rule: subtract the value of that date.
    constexpr int64_t kEpochDays = 31 + 0 + 365 * int64_t{1989} + 334;
    days -= kEpochDays;
    return second + 60 * (minute + 60 * (hour + 24 * days));
}

uint32_t time_from_calendar(int year, int month, int day, int hour, int minute, int second) {
    // Modulo 2^32 through unsigned 64-bit arithmetic, so nothing overflows.
    return static_cast<uint32_t>(static_cast<uint64_t>(seconds_from_calendar(year, month, day, hour, minute, second)));
}

uint32_t time_from_calendar(const CalendarTime& c) {
    return time_from_calendar(c.year, c.month, c.day, c.hour, c.minute, c.second);
}

CalendarTime calendar_from_time(uint32_t seconds) {
    // 64 bits: the shifted value of a late time stamp does not fit in 32.
    const int64_t t = static_cast<int64_t>(seconds) + kShiftTo1989;
    int64_t days = t / 86400;
    const int64_t rest = t % 86400;
    const int64_t cycles = days / kDaysPerCycle;
    days %= kDaysPerCycle;
    int year_in_cycle = static_cast<int>(days / 365);
    if (year_in_cycle > 3) year_in_cycle = 3;  // day 1460, the leap day's year
    days -= 365 * year_in_cycle;
    const bool leap = year_in_cycle == 3;

    CalendarTime c;
    c.year = static_cast<uint16_t>(1989 + 4 * cycles + year_in_cycle);
    int month = 12;
    while (month > 1) {
        const int start = kDaysBeforeMonth[month - 1] + (leap && month >= 3 ? 1 : 0);
        if (days >= start) break;
        --month;
    }
    const int start = kDaysBeforeMonth[month - 1] + (leap && month >= 3 ? 1 : 0);
    c.month = static_cast<uint16_t>(month);
    c.day = static_cast<uint16_t>(days - start + 1);
    c.hour = static_cast<uint16_t>(rest / 3600);
    c.minute = static_cast<uint16_t>(rest / 60 % 60);
    c.second = static_cast<uint16_t>(rest % 60);
    c.millisecond = 0;
    return c;
}

uint32_t time_now() {
    const auto unix_seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(unix_seconds) - kUnixToEpochSeconds));
}

CalendarTime calendar_now() { return calendar_from_time(time_now()); }

}  // namespace orlogix
