#include "protocols/topnav/fields.hpp"

#include "core/units.hpp"

namespace orlogix::topnav {

namespace {
int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}
}  // namespace

bool hex_field(std::string_view text, uint32_t& out) {
    if (text.empty() || text.size() > 8) return false;
    uint32_t v = 0;
    for (const char c : text) {
        const int d = hex_digit(c);
        if (d < 0) return false;
        v = v << 4 | static_cast<uint32_t>(d);
    }
    out = v;
    return true;
}

bool hex_field(std::string_view text) {
    for (const char c : text)
        if (hex_digit(c) < 0) return false;
    return !text.empty();
}

bool decimal_field(std::string_view text, uint32_t& out) {
    if (text.empty() || text.size() > 9) return false;
    uint32_t v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<uint32_t>(c - '0');
    }
    out = v;
    return true;
}

bool decimal_field(std::string_view text) {
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    return !text.empty();
}

int32_t signed24(uint32_t v) {
    v &= 0xFFFFFF;
    return v & 0x800000 ? static_cast<int32_t>(v) - 0x1000000 : static_cast<int32_t>(v);
}

int32_t signed16(uint32_t v) {
    v &= 0xFFFF;
    return v & 0x8000 ? static_cast<int32_t>(v) - 0x10000 : static_cast<int32_t>(v);
}

int32_t sixthousandths_to_semicircles(int32_t v) {
    // 180 degrees east is the same meridian as 180 west: -2^31.
    int64_t s = round_half_away(v * 1988.410785185);
    if (s >= 0x80000000LL) s -= 0x100000000LL;
    return static_cast<int32_t>(s);
}

int32_t semicircles_to_sixthousandths(int32_t v) {
    return static_cast<int32_t>(round_half_away(v * 0.0005029141902924));
}

uint8_t xor_of(std::string_view bytes) {
    uint8_t x = 0;
    for (const char c : bytes) x ^= static_cast<uint8_t>(c);
    return x;
}

}  // namespace orlogix::topnav
