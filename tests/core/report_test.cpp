#include <gtest/gtest.h>

#include <cerrno>

#include "core/report.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

TEST(FormatCounts, ReplacesPercentSignsInOrderLettersStayLiteral) {
    EXPECT_EQ(format_counts("Track position % (%m %s)", 200, 3, 20), "Track position 200 (3m 20s)");
    EXPECT_EQ(format_counts("Progress %/?", 200), "Progress 200/?");
    EXPECT_EQ(format_counts("Progress %/%", 5, 7), "Progress 5/7");
    EXPECT_EQ(format_counts("Connecting to GPS (%)", 0), "Connecting to GPS (0)");
    EXPECT_EQ(format_counts("no counter"), "no counter");
}

TEST(FormatCounts, FourthValueRepeatsForEveryFurtherSign) {
    EXPECT_EQ(format_counts("%,%,%,%,%,%", 1, 2, 3, 4), "1,2,3,4,4,4");
}

TEST(FormatCounts, LongTemplatesAreNotCut) {
    std::string templ(600, 'a');
    templ += "%";
    EXPECT_EQ(format_counts(templ, 12345), std::string(600, 'a') + "12345");
}

TEST(Strformat, FormatsBeyondAnyFixedLineSize) {
    std::string long_text(1000, 'z');
    std::string s = strformat("%s-%d", long_text.c_str(), 42);
    EXPECT_EQ(s.size(), 1003u);
    EXPECT_EQ(s.substr(1000), "-42");
}

TEST(SystemErrorBox, ShowsTheSystemTextWithTheGivenTitle) {
    test::RecordingReporter r;
    system_error_box(r, "File write error", ENOSPC);
    auto e = r.last_error();
    EXPECT_EQ(e.title, "File write error");
    EXPECT_EQ(e.text, system_error_text(ENOSPC));
    EXPECT_FALSE(e.text.empty());
}

}  // namespace
}  // namespace orlogix
