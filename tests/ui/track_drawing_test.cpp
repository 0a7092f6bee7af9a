// The track drawing: projection box, scale, bitmap layout and lines.
#include <gtest/gtest.h>

#include <QItemSelectionModel>
#include <QTableView>

#include "ui/track_drawing.hpp"
#include "window_fixture.hpp"

namespace orlogix::ui {
namespace {

TrackPosition at(double lat_deg, double lon_deg) {
    TrackPosition p;
    p.latitude = static_cast<int32_t>(lat_deg / 180.0 * 2147483648.0);
    p.longitude = static_cast<int32_t>(lon_deg / 180.0 * 2147483648.0);
    return p;
}

TEST(MonoBitmapTest, RowsArePaddedToSixteenBitsAndStartWhite) {
    MonoBitmap b(17, 3);
    EXPECT_EQ(b.stride, 4);
    EXPECT_EQ(b.bits.size(), 12u);
    EXPECT_EQ(b.black_count(), 0);
    b.set_black(0, 0);
    EXPECT_EQ(b.bits[0], 0x7F);  // most significant bit first, cleared for black
    b.set_black(16, 2);
    EXPECT_EQ(b.bits[2 * 4 + 2], 0x7F);
    b.set_black(17, 0);  // outside: ignored
    b.set_black(-1, 0);
    EXPECT_EQ(b.black_count(), 2);
}

TEST(BresenhamTest, LinesCoverEveryStepOfTheLongerAxis) {
    MonoBitmap b(20, 20);
    draw_line(b, 2, 3, 15, 8);
    EXPECT_EQ(b.black_count(), 14);
    EXPECT_TRUE(b.black(2, 3));
    EXPECT_TRUE(b.black(15, 8));
    MonoBitmap c(20, 20);
    draw_line(c, 5, 19, 5, 0);
    EXPECT_EQ(c.black_count(), 20);
    MonoBitmap d(20, 20);
    draw_line(d, 0, 0, 19, 19);
    for (int i = 0; i < 20; ++i) EXPECT_TRUE(d.black(i, i));
    EXPECT_EQ(d.black_count(), 20);
}

TEST(TrackDrawingTest, BoxIsWidenedAndTheWiderAxisSetsTheScale) {
    // 0.2 degrees east-west, 0.01 north-south: the x span fills the width.
    std::vector<TrackPosition> p = {at(45.0, 6.0), at(45.01, 6.2)};
    TrackDrawing d = prepare_track_drawing(p);
    ASSERT_EQ(d.points.size(), 2u);
    const double xs = d.points[1].x - d.points[0].x;
    EXPECT_NEAR(d.x_max - d.x_min, xs * 1.1, 1e-6);
    // Middle meridian: both points equally far from it.
    EXPECT_NEAR(d.points[0].x, -d.points[1].x, 5.0);
    int c0, r0, c1, r1;
    track_pixel(d, 101, 51, d.points[0], c0, r0);
    track_pixel(d, 101, 51, d.points[1], c1, r1);
    EXPECT_EQ(c0, 5);   // 5 % margin of 100 pixels
    EXPECT_EQ(c1, 95);
    EXPECT_LT(r0, r1);  // north is up: the second point's row from the bottom is higher
    MonoBitmap b = render_track(d, 101, 51);
    EXPECT_TRUE(b.black(5, 50 - r0));
    EXPECT_TRUE(b.black(95, 50 - r1));
    EXPECT_EQ(b.black_count(), 91);
}

TEST(TrackDrawingTest, AllPositionsAtOnePointDrawAtTheCentre) {
    std::vector<TrackPosition> p = {at(46.0, 7.0), at(46.0, 7.0), at(46.0, 7.0)};
    TrackDrawing d = prepare_track_drawing(p);
    MonoBitmap b = render_track(d, 41, 31);
    EXPECT_EQ(b.black_count(), 1);
    EXPECT_TRUE(b.black(20, 15));
}

TEST(TrackDrawingTest, AStraightNorthSouthTrackUsesTheHeight) {
    std::vector<TrackPosition> p = {at(46.0, 7.0), at(46.1, 7.0)};
    TrackDrawing d = prepare_track_drawing(p);
    MonoBitmap b = render_track(d, 41, 101);
    // One vertical line from 5 % to 95 % of the height, in the middle column.
    EXPECT_EQ(b.black_count(), 91);
    EXPECT_TRUE(b.black(20, 5));
    EXPECT_TRUE(b.black(20, 95));
}

using ShowTrack = test::WindowTest;

TEST_F(ShowTrack, NeedsTwoSelectedPositionsAndOpensTheTrackView) {
    MainWindow& w = open_window();
    w.command(40141);
    EXPECT_TRUE(has_box("Show track", "Incorrect view mode"));
    ASSERT_GT(w.open_track_file(test::flight_path("line.igc")), 0);
    boxes_.clear();
    w.command(40141);
    EXPECT_TRUE(has_box("Show track", "No positions selected"));
    auto* sel = w.list()->selectionModel();
    sel->select(w.model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    w.command(40141);
    EXPECT_TRUE(has_box("Show track", "Less than 2 positions selected"));
    EXPECT_EQ(w.track_view(), nullptr);
    w.command(40042);
    w.command(40141);
    ASSERT_NE(w.track_view(), nullptr);
    EXPECT_EQ(w.track_view()->windowTitle().toStdString(), "Track view");
    w.track_view()->resize(300, 200);
    QApplication::processEvents();
    const MonoBitmap& b = w.track_view()->bitmap();
    EXPECT_EQ(b.width, w.track_view()->width());
    EXPECT_EQ(b.height, w.track_view()->height());
    EXPECT_GT(b.black_count(), 50);
    // A second "Show track" replaces the first window.
    TrackViewWindow* first = w.track_view();
    w.command(40141);
    EXPECT_NE(w.track_view(), nullptr);
    EXPECT_NE(w.track_view(), first);
}

}  // namespace
}  // namespace orlogix::ui
