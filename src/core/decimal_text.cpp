#include "core/decimal_text.hpp"

#include <cstdint>
#include <cstring>

namespace orlogix {

char* write_fixed6(char* out, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    if (bits >> 63) *out++ = '-';
    const int exponent = static_cast<int>((bits >> 52) & 0x7FF);
    uint64_t mantissa = bits & ((uint64_t{1} << 52) - 1);
    if (exponent != 0) mantissa |= uint64_t{1} << 52;
    // |v| = mantissa x 2^shift exactly; scaled by 10^6 it needs up to 73 bits.
    const int shift = (exponent == 0 ? 1 : exponent) - 1075;
    const unsigned __int128 scaled = static_cast<unsigned __int128>(mantissa) * 1000000u;
    uint64_t units;  // |v| x 10^6, rounded to the nearest, ties to even
    if (shift >= 0) {
        units = static_cast<uint64_t>(scaled << shift);
    } else if (shift <= -128) {
        units = 0;
    } else {
        const unsigned drop = static_cast<unsigned>(-shift);
        const unsigned __int128 whole = scaled >> drop;
        const unsigned __int128 rest = scaled - (whole << drop);
        const unsigned __int128 half = static_cast<unsigned __int128>(1) << (drop - 1);
        units = static_cast<uint64_t>(whole);
        if (rest > half || (rest == half && (units & 1))) ++units;
    }
    uint64_t integral = units / 1000000;
    uint32_t fraction = static_cast<uint32_t>(units % 1000000);
    char digits[20];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + integral % 10);
        integral /= 10;
    } while (integral != 0);
    while (n > 0) *out++ = digits[--n];
    *out++ = '.';
    for (int i = 5; i >= 0; --i) {
        out[i] = static_cast<char>('0' + fraction % 10);
        fraction /= 10;
    }
    return out + 6;
}

}  // namespace orlogix
