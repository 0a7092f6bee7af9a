#include "formats/xml/number.hpp"

#include <cstdlib>
#include <string>

namespace orlogix {

namespace {
bool digit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

int parse_decimal(std::string_view text, double& value) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    const std::size_t int_start = i;
    while (i < text.size() && digit(text[i])) ++i;
    if (i == int_start) return -1;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && digit(text[i])) ++i;
    }
    // Longer texts carry no meaning a track needs and would only slow strtod.
    if (i != text.size() || text.size() > 64) return -1;
    const std::string copy(text);
    value = std::strtod(copy.c_str(), nullptr);
    return 0;
}

int parse_int32(std::string_view text, int32_t& value, bool allow_plus) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || (allow_plus && text[i] == '+'))) negative = text[i++] == '-';
    if (i == text.size() || text.size() - i > 10) return -1;
    int64_t v = 0;
    for (; i < text.size(); ++i) {
        if (!digit(text[i])) return -1;
        v = v * 10 + (text[i] - '0');
    }
    if (negative) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return -1;
    value = static_cast<int32_t>(v);
    return 0;
}

}  // namespace orlogix
