#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "analysis/statistics_session.hpp"
#include "support/recording_reporter.hpp"
#include "track_builder.hpp"

namespace orlogix {
namespace {

bool wait_finished(const StatisticsSession& s) {
    for (int i = 0; i < 1000 && !s.finished(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return s.finished();
}

TEST(StatisticsSession, RefusesEmptyAndShortSelections) {
    test::RecordingReporter rep;
    StatisticsSession s;
    EXPECT_EQ(s.prepare(rep, 0, {}, {}, {}, {}), -1);
    EXPECT_EQ(rep.last_error().text, "No position(s) selected");
    EXPECT_EQ(rep.last_error().title, "Initialize track statistics dialog box");
    const auto nine = test::legs_track({{45, 6}, {45.01, 6}}, 8);
    ASSERT_EQ(nine.size(), 9u);
    EXPECT_EQ(s.prepare(rep, 9, nine, {}, {}, {}), -1);
    EXPECT_EQ(rep.last_error().text, "Too few positions selected");
}

TEST(StatisticsSession, FiltersReportAndTheWorkerFillsTheResults) {
    auto track = test::legs_track(test::equilateral(6.0), 40);
    track[20].gps_altitude += 2000;  // 200 m jump in 10 s: removed by a 5 m/s vario filter
    test::RecordingReporter rep;
    StatisticsSettings settings;
    settings.vario_filter = 5;
    StatisticsSession s;
    ASSERT_EQ(s.prepare(rep, static_cast<long long>(track.size()), track, {}, settings, {}), 0);
    ASSERT_EQ(rep.boxes().size(), 1u);
    EXPECT_EQ(rep.boxes()[0].text, "1 positions have been removed due to vario filtering");
    EXPECT_EQ(s.statistics().positions.size(), track.size() - 1);
    EXPECT_EQ(s.check_save(rep), -1);
    EXPECT_EQ(rep.last_error().text, "Statistics not yet finished");
    EXPECT_EQ(rep.last_error().title, "Save track log");

    std::mutex m;
    std::vector<std::string> status;
    s.start(rep, [&](std::string_view t) {
        std::lock_guard<std::mutex> lock(m);
        status.emplace_back(t);
    });
    ASSERT_TRUE(wait_finished(s));
    EXPECT_EQ(s.check_save(rep), 0);
    const auto fields = s.result_fields();
    ASSERT_EQ(fields.size(), 7u);
    EXPECT_EQ(fields[6], strformat("%.2f", s.statistics().results.fai.score * 0.001));
    EXPECT_GT(s.statistics().results.fai.score, 17000.0);
    std::lock_guard<std::mutex> lock(m);
    EXPECT_EQ(status.front(), "Computing distance matrix");
    EXPECT_EQ(status.back().rfind("Computing completed (", 0), 0u);
}

TEST(StatisticsSession, HaltBeforeTheEndLeavesItUnfinished) {
    std::vector<TrackPosition> loop;
    for (int i = 0; i < 2500; ++i)
        loop.push_back(test::fix_at(45.0 + 0.05 * std::sin(i * 0.01), 6.0 + 0.07 * std::cos(i * 0.01), 1000u + 3u * i));
    test::RecordingReporter rep;
    StatisticsSettings settings;
    settings.log_filter = false;
    StatisticsSession s;
    ASSERT_EQ(s.prepare(rep, static_cast<long long>(loop.size()), loop, {}, settings, {}), 0);
    std::mutex m;
    std::vector<std::string> status;
    s.start(rep, [&](std::string_view t) {
        std::lock_guard<std::mutex> lock(m);
        status.emplace_back(t);
    });
    s.halt();
    s.stop();
    EXPECT_FALSE(s.finished());
    EXPECT_TRUE(s.result_fields().empty());
    std::lock_guard<std::mutex> lock(m);
    EXPECT_NE(std::find(status.begin(), status.end(), "Computation halted"), status.end());
}

}  // namespace
}  // namespace orlogix
