#pragma once
// Time stamps: unsigned seconds since 1989-12-31 00:00:00 UTC, every year
// divisible by 4 counted as a leap year (exact from 1990 to 2099).
#include <cstdint>

namespace orlogix {

struct CalendarTime {
    uint16_t year = 0;
    uint16_t month = 0;   // 1..12
    uint16_t day = 0;     // 1..31
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t millisecond = 0;  // always 0 when produced here
};

// Seconds between the Unix epoch and our epoch (1989-12-31 00:00:00 UTC).
inline constexpr int64_t kUnixToEpochSeconds = 631065600;
// Seconds from our epoch to 2000-01-01 00:00:00, for instruments counting from 2000.
inline constexpr uint32_t kEpoch2000Offset = 315619200;

// Computed modulo 2^32, without range checks (callers validate).
uint32_t time_from_calendar(int year, int month, int day, int hour, int minute, int second);
uint32_t time_from_calendar(const CalendarTime& c);
// The same count as a signed 64-bit value, not wrapped: lets a reader refuse
// dates the 32-bit stamp cannot hold.
int64_t seconds_from_calendar(int year, int month, int day, int hour, int minute, int second);
CalendarTime calendar_from_time(uint32_t seconds);

// The present UTC time as a time stamp, and as a calendar record.
uint32_t time_now();
CalendarTime calendar_now();

// True for the values that mean "no valid time" where positions are filtered by time.
inline bool is_invalid_time(uint32_t t) { return t == 0 || t == 0x7FFFFFFFu || t == 0xFFFFFFFFu; }

}  // namespace orlogix
