#pragma once
// Text rules shared by the pilot list readers and the competition dialogs:
// names cleaned and cut on character boundaries, numbers in their one range.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orlogix {

// Each run of blanks, tabs, CR and LF becomes one blank, other control
// characters go, and leading and trailing blanks are dropped.
std::string clean_pilot_text(std::string_view text);
// At most max_chars UTF-8 characters (a broken sequence counts as one byte).
std::string cut_characters(std::string_view text, std::size_t max_chars);
// At most max_bytes bytes, never ending inside a UTF-8 sequence.
std::string cut_bytes(std::string_view text, std::size_t max_bytes);
// Windows-1252 bytes as UTF-8 (its five unused bytes become U+FFFD).
std::string windows1252_to_utf8(std::string_view text);

enum class NumberRead { Absent, Ok, Negative, Bad };
// Optional blanks, an optional sign (blanks allowed after it), digits,
// optional blanks. Absent for empty text; Bad beyond 32 bits either way.
NumberRead read_pilot_number(std::string_view text, int32_t& value);

// "" for -1, else the number: how dialogs and the CSV writer show a number.
std::string pilot_number_text(int64_t n);

}  // namespace orlogix
