#pragma once
// Escaping of user and instrument text written into XML, and the reverse for
// text read back, so no name or comment can make a file malformed.
#include <string>
#include <string_view>

namespace orlogix {

// "&", "<", ">", '"' and "'" as the five predefined entities. Control
// characters other than tab, CR and LF, and bytes that are not valid UTF-8,
// cannot stand in an XML file at all and become "?".
std::string xml_escape(std::string_view text);
// True when text is well-formed UTF-8 (no overlong forms or surrogates).
bool valid_utf8(std::string_view text);
// Length of the valid UTF-8 sequence starting at text[i], or 0 when there is none.
std::size_t utf8_sequence_length(std::string_view text, std::size_t i);
// The five predefined entities and numeric character references (as UTF-8);
// anything else, including unknown or malformed references, stays as it is.
std::string xml_unescape(std::string_view text);

}  // namespace orlogix
