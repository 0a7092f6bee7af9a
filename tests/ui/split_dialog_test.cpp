// The split-log choice before a track log is written.
#include <gtest/gtest.h>

#include "analysis/track_filters.hpp"
#include "ui/split_dialog.hpp"
#include "window_fixture.hpp"

namespace orlogix::ui {
namespace {

using SplitChoiceTest = test::WindowTest;

// Two flights of 30 fixes, 10 s apart, with a pause of `pause` seconds between them.
std::vector<TrackPosition> two_flights(uint32_t pause) {
    std::vector<TrackPosition> p;
    uint32_t t = time_from_calendar(2024, 6, 1, 10, 0, 0);
    for (int i = 0; i < 60; ++i) {
        TrackPosition x;
        x.time = t;
        x.latitude = 500000000 + i * 1000;
        x.longitude = 60000000;
        x.flags = i == 0 ? kSegmentStart : 0;
        p.push_back(x);
        t += i == 29 ? pause : 10;
    }
    return p;
}

TEST_F(SplitChoiceTest, A25MinutePauseGivesTwoPartsLaterFirst) {
    MainWindow& w = open_window();
    w.settings().track_gap_time = kDefaultTrackGapTime;
    w.settings().port_name = "/dev/ttyUSB0";
    w.data().track_log.header.product_name = "eTrex";
    std::vector<TrackPosition> positions = two_flights(25 * 60);
    std::vector<std::string> lines;
    std::string title;
    w.set_split_dialog_handler([&](SplitLogDialog& d) {
        lines = d.lines();
        title = d.windowTitle().toStdString();
        d.select_line(0);
        d.accept();
        return d.result();
    });
    ASSERT_TRUE(w.choose_log_parts(positions));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(title, "Split track (/dev/ttyUSB0, eTrex)");
    // The later part (10:29:50 after the pause) is listed first.
    EXPECT_NE(lines[0].find("10:29:50"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("10:00:00"), std::string::npos) << lines[1];
    ASSERT_EQ(positions.size(), 30u);
    EXPECT_EQ(positions.front().time, time_from_calendar(2024, 6, 1, 10, 29, 50));
}

TEST_F(SplitChoiceTest, BothPartsStayInTimeOrderAndShortPausesDoNotSplit) {
    MainWindow& w = open_window();
    w.settings().track_gap_time = kDefaultTrackGapTime;
    std::vector<TrackPosition> positions = two_flights(25 * 60);
    const std::vector<TrackPosition> original = positions;
    w.set_split_dialog_handler([&](SplitLogDialog& d) {
        d.select_line(1);
        d.select_line(0);
        d.accept();
        return d.result();
    });
    ASSERT_TRUE(w.choose_log_parts(positions));
    ASSERT_EQ(positions.size(), original.size());
    for (std::size_t i = 0; i < positions.size(); ++i) EXPECT_EQ(positions[i].time, original[i].time);

    int asked = 0;
    w.set_split_dialog_handler([&](SplitLogDialog&) { return ++asked, 0; });
    std::vector<TrackPosition> short_pause = two_flights(15 * 60);
    ASSERT_TRUE(w.choose_log_parts(short_pause));
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(short_pause.size(), 60u);
}

TEST_F(SplitChoiceTest, OkWithNothingSelectedStaysOpenAndCancelWritesNothing) {
    MainWindow& w = open_window();
    w.settings().track_gap_time = kDefaultTrackGapTime;
    std::vector<TrackPosition> positions = two_flights(3600);
    bool stayed_open = false;
    w.set_split_dialog_handler([&](SplitLogDialog& d) {
        d.show();
        d.accept();  // nothing selected
        stayed_open = d.isVisible() && d.result() != QDialog::Accepted;
        d.reject();
        return d.result();
    });
    EXPECT_FALSE(w.choose_log_parts(positions));
    EXPECT_TRUE(stayed_open);
    EXPECT_EQ(positions.size(), 60u);
}

}  // namespace
}  // namespace orlogix::ui
