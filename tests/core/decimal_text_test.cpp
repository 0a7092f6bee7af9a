#include "core/decimal_text.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "core/units.hpp"

namespace orlogix {
namespace {

std::string fast(double v) {
    char text[32];
    return std::string(text, write_fixed6(text, v));
}

std::string reference(double v) {
    char text[64];
    return std::string(text, std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 6).ptr);
}

// Every degree value a position can hold must give the digits the standard
// library gives; so must other magnitudes, exact halves (ties go to even) and
// the values that round up across a power of ten.
TEST(DecimalText, SixDecimalsAsTheStandardLibraryGivesThem) {
    std::mt19937_64 rng(17);
    std::uniform_int_distribution<int32_t> semicircle(INT32_MIN, INT32_MAX);
    for (int i = 0; i < 300000; ++i) {
        const double d = semicircle_to_degrees(semicircle(rng));
        ASSERT_EQ(fast(d), reference(d)) << d;
    }
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> power(-30, 29);
    for (int i = 0; i < 300000; ++i) {
        const double v = std::ldexp(unit(rng), power(rng));
        ASSERT_EQ(fast(v), reference(v)) << v;
    }
    int ties = 0;
    for (int j = 0; j < (1 << 16); ++j) {
        const double v = std::ldexp(static_cast<double>(j), -21);  // 10^6 v = j x 15625 / 2^15
        if ((int64_t{j} * 15625) % (1 << 15) == (1 << 14)) ++ties;
        ASSERT_EQ(fast(v), reference(v)) << v;
        ASSERT_EQ(fast(-v), reference(-v)) << -v;
    }
    EXPECT_GT(ties, 0);
    for (double v : {0.0, -0.0, 9.9999995, 99.9999996, 0.0000005, -0.0000004, 179.9999999, 123456789.25}) {
        EXPECT_EQ(fast(v), reference(v)) << v;
    }
}

}  // namespace
}  // namespace orlogix
