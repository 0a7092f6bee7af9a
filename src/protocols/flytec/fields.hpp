#pragma once
// Field rules shared by the Flytec/Brauniger sentences and the IQ Basic
// lines: decimals, times of day, dates, blank collapsing, and the texts and
// coordinates the program writes into fixed-width fields.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orlogix::flytec {

// Digits with blanks allowed before and after; an empty (or all-blank)
// field reads 0. False for any other character or a value above max.
bool parse_unsigned(std::string_view field, uint32_t max, uint32_t& out);

// "h:m:s", blanks allowed around each number; hours below 24, minutes and
// seconds below 60, nothing after. The seconds of the day (or the duration).
bool parse_time_of_day(std::string_view field, uint32_t& seconds);

// Day, month and two-digit year as the calendar allows them (February 29
// only in years divisible by 4). Midnight of 2000 + year as a time stamp.
bool calendar_date(int day, int month, int year, uint32_t& midnight);

// Leading blanks dropped, each run of blanks made one, a trailing blank dropped.
std::string collapse_blanks(std::string_view text);

// A text for a fixed-width field of an outgoing sentence: every byte in
// `forbidden`, CR, LF and every byte outside printable ASCII (a multi-byte
// UTF-8 character once) becomes a blank, then it is cut or padded with
// blanks to exactly width characters.
std::string fixed_width_text(std::string_view text, std::size_t width, std::string_view forbidden);

// Thousandths of a minute (magnitude) as degrees, whole minutes and
// thousandths: "%02d%02d.%03d" for 2 degree digits, "%03d%02d.%03d" for 3.
std::string milliminute_text(uint32_t milliminutes, int degree_digits);

}  // namespace orlogix::flytec
