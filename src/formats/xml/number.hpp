#pragma once
// Strict number forms for the text of KML and GPX elements and attributes:
// no exponents, no hexadecimal, nothing after the number. Conversions never
// see a value that does not fit.
#include <cstdint>
#include <string_view>

namespace orlogix {

// Optional sign, at least one digit, optional "." with digits. 0 or -1.
int parse_decimal(std::string_view text, double& value);
// Optional sign (when allow_plus, "+" too; "-" always), digits; within int32. 0 or -1.
int parse_int32(std::string_view text, int32_t& value, bool allow_plus = true);

}  // namespace orlogix
