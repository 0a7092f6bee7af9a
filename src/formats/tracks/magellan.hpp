#pragma once
// Magellan track logs (.log): $PMGNTRK sentences as the receivers and their
// tools save them. The reader, and the field decoders the receiver's own
// download shares with it.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "core/coord_text.hpp"
#include "core/records.hpp"

namespace orlogix {

class Reporter;

// Fixes with validity "A", the first a segment start. The count, or -1 after
// reporting "Bad line %d" under "Decoding track log file" (out then unchanged).
int read_magellan_log(Reporter& r, std::string_view text, std::vector<TrackPosition>& out);

// What was wrong with a ddmm.mmm (dddmm.mmm) field and its hemisphere letter.
enum class AngleFault { None, Value, Range, Hemisphere };
// Past the pole or the date line is out of range; the limits themselves are not.
AngleFault magellan_angle(std::string_view value, std::string_view hemisphere, Axis axis, int32_t& out);

// Fields 1-4 of a $PMGNTRK or $PMGNWPL sentence ("PMGN..." first):
// latitude, N/S, longitude, E/W. 0, or the first bad one's error in field
// order: 1 missing latitude, 2 bad, 3 out of range, 4 missing N/S, 5 bad,
// and 6-10 the same for the longitude.
int decode_magellan_position(std::span<const std::string_view> fields, int32_t& latitude, int32_t& longitude);

// An integer field: optional blanks, an optional "-", digits, optional
// blanks; empty is 0. False for anything else or a value past 32 bits.
bool magellan_integer(std::string_view text, int32_t& value);

// The fields of one $PMGNTRK sentence, "PMGNTRK" first (blanks before a
// field already skipped): latitude, N/S, longitude, E/W, altitude, M/F,
// time, status, track name, date ddmmyy. 0 with `fix` set when the status
// is "A" (p filled, heights in tenths of a metre), 0 with `fix` clear for
// any other status; otherwise the number of the first bad field in field
// order, from 1 (missing latitude) to 21 (a day or month out of range).
int decode_magellan_track_fields(std::span<const std::string_view> fields, TrackPosition& p, bool& fix);

}  // namespace orlogix
