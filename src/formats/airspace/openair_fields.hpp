#pragma once
// The argument forms of OpenAir records: positions, radii and bearings.
// Each parser starts at text[i], advances i past what it accepted and
// returns false (i then undefined) on anything it does not accept.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/coord_text.hpp"
#include "core/ctr_records.hpp"

namespace orlogix::openair {

inline bool is_blank(char c) { return c == ' ' || c == '\t'; }
void skip_blanks(std::string_view s, std::size_t& i);
// True at the end of the text or at a "*" comment.
inline bool at_record_end(std::string_view s, std::size_t i) { return i >= s.size() || s[i] == '*'; }

// Leading blanks, then DD.ddd, DD:MM[.mmm] or DD:MM:SS[.sss], optional
// blanks and the hemisphere letter. Degrees, negative for S and W.
bool parse_coordinate(std::string_view s, std::size_t& i, Axis axis, double& degrees);
// Latitude, at least one blank, longitude.
bool parse_position(std::string_view s, std::size_t& i, LatLonDegrees& out);
// A position pair that makes up the rest of a record: only blanks or a
// "*" comment may follow it.
bool parse_position_record(std::string_view s, LatLonDegrees& out);

// A radius in nautical miles or, with "km"/"KM" after it, kilometres;
// above 0 and at most 10000 of its unit; metres rounded, at least 1. comma_decimal
// lets "," stand for the decimal point (DC records).
bool parse_radius(std::string_view s, std::size_t& i, bool comma_decimal, uint32_t& metres);
// Digits with optional "." decimals, at most 360.
bool parse_bearing(std::string_view s, std::size_t& i, double& degrees);

// Metres in one nautical mile, and its inverse for writing.
inline constexpr double kMetresPerNauticalMile = 1852.0;
inline constexpr double kNauticalMilesPerMetre = 1.0 / 1852.0;

}  // namespace orlogix::openair
