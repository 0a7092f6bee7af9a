#include <gtest/gtest.h>

#include <string>

#include "core/names.hpp"

namespace orlogix {
namespace {

std::string lenient(std::string_view text) {
    std::string out = "unset";
    EXPECT_EQ(normalise_id(text, IdMode::Lenient, out), 0) << text;
    return out;
}

TEST(NormaliseId, Lenient) {
    EXPECT_EQ(lenient("abc-12"), "ABC-12");
    EXPECT_EQ(lenient("TAKEOFF1"), "TAKEOF");
    EXPECT_EQ(lenient("a.b_c"), "A-B-C");
    EXPECT_EQ(lenient("LZ 2"), "LZ");
    EXPECT_EQ(lenient(" LZ"), "");
    EXPECT_EQ(lenient("\xc3\xa9t\xc3\xa9"), "--T--");  // each byte of a UTF-8 letter
    EXPECT_EQ(lenient(""), "");
}

TEST(NormaliseId, Strict) {
    std::string out = "keep";
    ASSERT_EQ(normalise_id("ABC-12", IdMode::Strict, out), 0);
    EXPECT_EQ(out, "ABC-12");
    ASSERT_EQ(normalise_id("LZ2   ", IdMode::Strict, out), 0);
    EXPECT_EQ(out, "LZ2");
    out = "keep";
    for (const char* bad : {"abc", "A.B", "TAKEOFF", "LZ 2", "ABCDEF G", "\xc3\xa9"}) {
        EXPECT_EQ(normalise_id(bad, IdMode::Strict, out), -1) << bad;
        EXPECT_EQ(out, "keep");
    }
}

TEST(NormaliseIdStrict, EditWaypointRules) {
    std::string out = "keep";
    ASSERT_EQ(normalise_id_strict("ab-12c", out), 0);
    EXPECT_EQ(out, "AB-12C");
    out = "keep";
    for (const char* bad : {"abcdefg", "AB CD", "AB_", "AB ", "\xc3\xa9"}) {
        EXPECT_EQ(normalise_id_strict(bad, out), -1) << bad;
        EXPECT_EQ(out, "keep");
    }
}

TEST(NormaliseComment, CleansAndCuts) {
    EXPECT_EQ(normalise_comment("   Col du Lautaret (2058m)  "), "Col du Lautaret -2058m-");
    EXPECT_EQ(normalise_comment("caf\xc3\xa9, bar"), "caf--- bar");
    EXPECT_EQ(normalise_comment(std::string(50, 'x')), std::string(40, 'x'));
    // Trailing spaces go after the cut, not before it.
    EXPECT_EQ(normalise_comment(std::string(39, 'a') + "  b"), std::string(39, 'a'));
    EXPECT_EQ(normalise_comment("    "), "");
}

TEST(ReadFieldText, FirstLineWithSpacesCollapsed) {
    EXPECT_EQ(read_field_text("  N  45   30  ", 80), "N 45 30");
    EXPECT_EQ(read_field_text("first line\r\nsecond", 80), "first line");
    EXPECT_EQ(read_field_text("abc\ndef", 80), "abc");
    EXPECT_EQ(read_field_text("abcdefgh", 5), "abcde");
    EXPECT_EQ(read_field_text("ab      cd", 4), "ab");
    EXPECT_EQ(read_field_text("     ", 80), "");
    EXPECT_EQ(read_field_text("", 80), "");
    // Long fields are not cut at a fixed buffer size.
    EXPECT_EQ(read_field_text(std::string(1000, 'z'), 600), std::string(600, 'z'));
}

}  // namespace
}  // namespace orlogix
