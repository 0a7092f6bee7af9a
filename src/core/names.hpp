#pragma once
// Cleaning of waypoint identifiers, comments and dialog field text.
#include <cstddef>
#include <string>
#include <string_view>

namespace orlogix {

enum class IdMode { Lenient, Strict };

// At most 6 characters of A-Z, 0-9 and "-". 0 on success, -1 (strict mode only) on a bad character.
int normalise_id(std::string_view text, IdMode mode, std::string& out);
// The "Edit Waypoint" form: lower case raised, anything else refused, a seventh character refused.
int normalise_id_strict(std::string_view text, std::string& out);
// Leading spaces skipped, at most 40 characters, other than letters/digits/space -> "-", trailing spaces dropped.
std::string normalise_comment(std::string_view text);
// First line, at most max_length characters, spaces collapsed; empty means missing input.
std::string read_field_text(std::string_view field, std::size_t max_length);

}  // namespace orlogix
