#pragma once
// Small text helpers shared by the line-based track readers (Ozi, CSV,
// Magellan): lines without their CR, fields split at one separator, blanks
// trimmed.
#include <string_view>
#include <vector>

namespace orlogix {

// Lines ended by LF, each without a trailing CR. A last line without LF is
// kept when it is not empty.
std::vector<std::string_view> split_track_lines(std::string_view text);

// Every field between separators (an empty text gives one empty field).
std::vector<std::string_view> split_fields(std::string_view line, char separator);

std::string_view trim_blanks(std::string_view text);

}  // namespace orlogix
