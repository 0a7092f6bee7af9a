#pragma once
// The competition's time window: its text form in "Set Competition Times",
// the check of both fields, and the rule that accepts a fix.
#include <cstdint>
#include <string>
#include <string_view>

namespace orlogix {

class Reporter;

inline constexpr const char* kCompTimeTitle = "Read comp. time";
inline constexpr std::size_t kCompTimeFieldMax = 79;

// "YYYY-MM-DD HH:MM:SS" with any blanks before, one or more between and
// after; years 1990-2099, the day within its month. The time stamp, 0 for an
// empty field, or -1 for anything else.
int64_t parse_competition_time(std::string_view field);

// "%d-%02d-%02d  %02d:%02d:%02d" (UTC); empty for 0 (the dialog field).
std::string competition_time_field(uint32_t t);
// The same, or "No start time" / "No stop time" for 0 ("Competition Mode").
std::string competition_start_text(uint32_t start);
std::string competition_stop_text(uint32_t stop);

// Both fields on OK: "Bad start time", "Bad stop time", "Stop time before
// start time" (caption "Read comp. time"). 0 with both stored, or -1.
int check_competition_times(Reporter& r, std::string_view start_field, std::string_view stop_field, uint32_t& start,
                            uint32_t& stop);

// Start s and stop e, 0 = unset; both set with s >= e accepts everything.
inline bool in_time_window(uint32_t t, uint32_t s, uint32_t e) {
    if (s == 0) return e == 0 || t <= e;
    if (e == 0) return t >= s;
    return s >= e || (t >= s && t <= e);
}

}  // namespace orlogix
