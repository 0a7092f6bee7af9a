// The batch conversion's report with the contest score of each flight, as
// the window runs it: real flights under the chosen rules, the figures the
// peer recorded for them (tests/data/contest).
#include <gtest/gtest.h>

#include <filesystem>

#include "control/xc_score_command.hpp"
#include "core/file_read.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

namespace fs = std::filesystem;

TEST(ContestBatchReport, EachFlightHasItsBestContestFlightUnderTheRules) {
    const fs::path dir = fs::temp_directory_path() / ("orlogix-contest-batch-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::vector<std::string> files;
    for (const char* name : {"trifai-xcontest-189.65.igc", "d3p.igc"}) {
        fs::copy_file(std::string(ORLOGIX_TEST_DATA) + "/flights/" + name, dir / name);
        files.push_back((dir / name).string());
    }
    struct Case {
        const char* rules;
        const char* report;
    };
    const Case cases[] = {
        {"XContest", "2 file(s) converted\n\n"
                     "trifai-xcontest-189.65.igc: Closed FAI triangle, 189.95 points (XContest, optimal)\n"
                     "d3p.igc: Free flight, 60.77 points (XContest, optimal)"},
        {"FFVL", "2 file(s) converted\n\n"
                 "trifai-xcontest-189.65.igc: FAI triangle, 166.21 points (FFVL, optimal)\n"
                 "d3p.igc: Free distance, 60.77 points (FFVL, optimal)"},
        // A stored name no rules have any more: XContest, as at first.
        {"OLC", "2 file(s) converted\n\n"
                "trifai-xcontest-189.65.igc: Closed FAI triangle, 189.95 points (XContest, optimal)\n"
                "d3p.igc: Free flight, 60.77 points (XContest, optimal)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rules);
        test::RecordingReporter r;
        BatchOptions options;
        options.flight_note = contest_flight_note(contest_rules_named(c.rules), 60.0);
        ASSERT_EQ(batch_convert_igc_to_kml(r, files, options, [](FlightStatistics&) { return 0; }), 2)
            << r.last_error().text;
        EXPECT_EQ(r.boxes().back().title, "Convert .igc to .kml");
        EXPECT_EQ(r.boxes().back().text, c.report);
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace orlogix
