#pragma once
// Helpers shared by the line-oriented waypoint readers and writers: line
// walking with line numbers, field splitting, number fields, the identifier
// question and the conversions to the stored units.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/records.hpp"
#include "formats/kml/waypoint_id.hpp"

namespace orlogix {

class Reporter;
class TextBuffer;

// Walks the lines of a text. Every CR LF, LF or lone CR ends one line, so the
// numbers match what an editor shows; blank lines are passed over but counted.
class WaypointLines {
public:
    // A DOS end-of-file mark (Ctrl-Z) ends the text.
    explicit WaypointLines(std::string_view text) : text_(text.substr(0, text.find('\x1A'))) {}
    // Skips the first count lines (headers), blank or not.
    void skip(int count);
    // The next line that holds more than blanks, leading blanks removed.
    bool next(std::string_view& line);
    int number() const { return number_; }

private:
    bool raw(std::string_view& line);
    std::string_view text_;
    std::size_t pos_ = 0;
    int number_ = 0;
};

// Splits at commas; the last field keeps the rest of the line once max_fields
// are reached. With quotes, commas between double quotes do not split.
std::vector<std::string_view> split_waypoint_fields(std::string_view line, std::size_t max_fields, bool quotes);
std::string_view trim_field(std::string_view s);
// The next blank-separated token after pos (pos moves past it); empty at the end.
std::string_view next_token(std::string_view line, std::size_t& pos);

// A decimal number (optional sign, digits, optional fraction) with blanks around. 0 or -1.
int parse_field_number(std::string_view text, double& value);
// A whole number within 32 bits, optional sign, blanks around. 0 or -1.
int parse_field_integer(std::string_view text, int32_t& value);

// Rounds half away from zero into whole metres; -1 when not a number or beyond 32 bits.
int metres_to_height(double metres, int32_t& height);

// The identifier question of the line formats. Take: id filled; Skip: drop
// the line; Bad: a bad line (also for Cancel, as the line formats treat it).
WaypointIdOutcome line_waypoint_id(Reporter& r, std::string_view name, WaypointIdState& state, std::string& id);

// Shows "Bad line %d" with the reader's title and returns -1.
int bad_waypoint_line(Reporter& r, const char* title, int line_number);

// Removes a trailing "[x]" from rest; true with airfield set when x is A or a.
void take_airfield_mark(std::string_view& rest, int32_t& airfield);

// One GEO or UTM line up to its comment: the identifier into name, the
// position and height into w, pos just past the last field. false: a bad line.
using PositionLineParser = bool (*)(std::string_view line, std::string_view& name, std::size_t& pos, Waypoint& w);

// The GEO and UTM readers: a header line, then a waypoint a line. After the
// position and height come the airfield mark and comment, the time now, then
// the identifier question last, so a line refused for its fields never asks
// about its name. The count, or -1 after "Bad line %d" or another message.
int read_position_lines(Reporter& r, std::string_view text, bool interactive, uint32_t now,
                        PositionLineParser parse, std::vector<Waypoint>& out);

// Adds a read waypoint; 0, or -1 after "Waypoint memory allocation".
int keep_waypoint(Reporter& r, std::vector<Waypoint>& read, Waypoint&& w);

// A name or comment made safe for one field of a waypoint line: each
// character found in from becomes the one at the same place in to, and CR and
// LF, which would end the line, become blanks. Names from instruments are not
// cleaned like those read from files, so they may hold a format's separators.
std::string line_field(std::string_view text, std::string_view from, std::string_view to);

// The comment that ends a GEO or UTM line: brackets become parentheses, so
// that a comment ending in "[x]" is not read back as the airfield mark.
std::string line_comment(std::string_view comment);

// Appends a piece followed by CR LF.
void append_crlf(TextBuffer& b, std::string_view piece);

// Absolute value of a signed angle unit, as an unsigned count.
inline uint32_t magnitude(int32_t v) { return v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v); }

}  // namespace orlogix
