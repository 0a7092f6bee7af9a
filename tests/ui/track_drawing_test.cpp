// The track drawing: projection box, scale, bitmap layout and lines, and the
// contest flight drawn over it.
#include <gtest/gtest.h>

#include <QItemSelectionModel>
#include <QTableView>

#include "ui/statistics_dialog.hpp"
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

namespace orlogix::ui {
namespace {

TrackPosition fix_at(double lat_deg, double lon_deg, uint32_t time) {
    TrackPosition p = at(lat_deg, lon_deg);
    p.time = time;
    return p;
}

// Straight stretches between the corners, steps fixes each, ten seconds apart.
std::vector<TrackPosition> flown(const std::vector<std::pair<double, double>>& corners, int steps) {
    std::vector<TrackPosition> p;
    for (std::size_t c = 0; c + 1 < corners.size(); ++c)
        for (int i = c == 0 ? 0 : 1; i <= steps; ++i) {
            const double f = static_cast<double>(i) / steps;
            p.push_back(fix_at(corners[c].first + f * (corners[c + 1].first - corners[c].first),
                               corners[c].second + f * (corners[c + 1].second - corners[c].second),
                               36000 + 10 * static_cast<uint32_t>(p.size())));
        }
    return p;
}

std::shared_ptr<const ScoredFlight> scored(std::vector<TrackPosition> positions, const char* rules) {
    auto flight = std::make_shared<ScoredFlight>();
    flight->score = score_contest(positions, *find_contest_rules(rules));
    flight->positions = std::make_shared<const std::vector<TrackPosition>>(std::move(positions));
    return flight;
}

struct ContestView : test::WindowTest {
    // The window drawing a score at 400 x 300.
    std::unique_ptr<TrackViewWindow> view_of(const std::shared_ptr<const ScoredFlight>& flight) {
        auto view = std::make_unique<TrackViewWindow>(prepare_track_drawing(*flight->positions));
        view->resize(400, 300);
        view->show_contest(flight);
        return view;
    }
    Pixel pixel_of(const TrackViewWindow& v, const std::vector<TrackPosition>& positions, std::size_t fix) {
        const TrackDrawing d = prepare_track_drawing(positions);
        Pixel p;
        int from_bottom = 0;
        track_pixel(d, v.bitmap().width, v.bitmap().height, d.points[fix], p.x, from_bottom);
        p.y = v.bitmap().height - 1 - from_bottom;
        return p;
    }
};

bool reddish(QRgb c) { return qRed(c) > 100 && qRed(c) > 2 * qGreen(c) && qRed(c) > 2 * qBlue(c); }

TEST_F(ContestView, AClosedTriangleHasItsCornersAsTurnPointsAndItsLegsOverTheTrack) {
    // From the middle of the third side round the corners and back: the
    // corners (fixes 20, 40, 60) are the turn points, the ends close it.
    const auto flight = scored(flown({{46.1, 7.075}, {46.0, 7.0}, {46.0, 7.3}, {46.2, 7.15}, {46.1, 7.075}}, 20), "XContest");
    ASSERT_EQ(flight->positions->size(), 81u);
    const auto view = view_of(flight);
    const std::vector<TrackPosition>& p = *flight->positions;
    const ContestMarks& m = view->marks();
    const std::vector<Pixel> corners = {pixel_of(*view, p, 20), pixel_of(*view, p, 40), pixel_of(*view, p, 60)};
    EXPECT_EQ(m.turnpoints, corners);
    EXPECT_EQ(m.legs, (std::vector<Pixel>{corners[0], corners[1], corners[2], corners[0]}));
    EXPECT_TRUE(m.closed);
    EXPECT_EQ(m.ends, (std::vector<Pixel>{pixel_of(*view, p, 0), pixel_of(*view, p, 80)}));
    EXPECT_EQ(view->caption().toStdString().rfind("Closed FAI triangle, ", 0), 0u) << view->caption().toStdString();
    const QImage& image = view->image();
    ASSERT_EQ(image.size(), QSize(view->bitmap().width, view->bitmap().height));
    for (const Pixel& c : corners) {
        EXPECT_TRUE(view->bitmap().black(c.x, c.y));  // on the track...
        EXPECT_EQ(image.pixel(c.x, c.y), kContestPointColour);  // ...marked
    }
    // Halfway along the first leg the track lies under the leg's colour.
    const Pixel half{(corners[0].x + corners[1].x) / 2, (corners[0].y + corners[1].y) / 2};
    EXPECT_TRUE(view->bitmap().black(half.x, half.y));
    EXPECT_TRUE(reddish(image.pixel(half.x, half.y))) << std::hex << image.pixel(half.x, half.y);
}

TEST_F(ContestView, AFreeFlightRunsFromStartToFinish) {
    // A zigzag that never comes back: its corners are the flight.
    const auto flight = scored(flown({{46.0, 7.0}, {46.1, 7.1}, {46.0, 7.2}, {46.1, 7.3}, {46.0, 7.4}}, 20), "FAI");
    const auto view = view_of(flight);
    const ContestMarks& m = view->marks();
    EXPECT_FALSE(m.closed);
    std::vector<Pixel> corners;
    for (std::size_t fix : {0, 20, 40, 60, 80}) corners.push_back(pixel_of(*view, *flight->positions, fix));
    EXPECT_EQ(m.legs, corners);
    EXPECT_EQ(m.turnpoints, (std::vector<Pixel>{corners[1], corners[2], corners[3]}));
    const Pixel start = corners.front();
    EXPECT_EQ(m.ends, (std::vector<Pixel>{start, corners.back()}));
    EXPECT_EQ(view->caption().toStdString().rfind("Free distance, ", 0), 0u) << view->caption().toStdString();
    // The start is a ring in the closing colour round the first fix.
    const QRgb ring = view->image().pixel(start.x, start.y - 4);
    EXPECT_GT(qBlue(ring), qRed(ring) + 50) << std::hex << ring;
}

// The view of the window's selection scores it under the remembered rules;
// the figures are the peer's for this flight (tests/data/contest).
TEST_F(ContestView, ShowTrackDrawsTheBestFlightOfTheChosenRules) {
    const std::pair<const char*, const char*> cases[] = {
        {"XContest", "Free triangle, 15.60 points (XContest, optimal)"},
        {"FFVL", "Flat triangle, 17.52 points (FFVL, optimal)"},
    };
    MainWindow& w = open_window();
    ASSERT_GT(w.open_track_file(test::flight_path("tri.igc")), 0);
    w.command(40042);
    for (const auto& [rules, caption] : cases) {
        SCOPED_TRACE(rules);
        w.settings().contest_rules = rules;
        w.command(40141);
        ASSERT_NE(w.track_view(), nullptr);
        TrackViewWindow& v = *w.track_view();
        EXPECT_EQ(v.caption().toStdString(), std::string("Contest score (") + rules + "): 0 of " +
                                                  std::to_string(find_contest_rules(rules)->types.size()) +
                                                  " types scored");
        ASSERT_TRUE(pump_until([&] { return v.contest() != nullptr; }, 60000));
        EXPECT_EQ(v.caption().toStdString(), caption);
        ASSERT_EQ(v.marks().turnpoints.size(), 3u);
        for (const Pixel& t : v.marks().turnpoints) EXPECT_TRUE(v.bitmap().black(t.x, t.y)) << t.x << "," << t.y;
    }
}

TEST_F(ContestView, TheStatisticsScoreOfTheSameFixesIsDrawnAtOnce) {
    MainWindow& w = open_window();
    w.settings().log_filter = 0;
    ASSERT_GT(w.open_track_file(test::flight_path("tri.igc")), 0);
    w.command(40042);
    std::string result;
    w.set_dialog_handler([&](QDialog& d) {
        auto& s = dynamic_cast<StatisticsDialog&>(d);
        EXPECT_TRUE(pump_until([&] { return s.field("result7").find(" points (") != std::string::npos; }, 60000));
        result = s.field("result7");
        return 0;
    });
    w.command(40115);
    w.command(40141);
    ASSERT_NE(w.track_view(), nullptr);
    ASSERT_NE(w.track_view()->contest(), nullptr);  // no scoring: it is there before any event
    EXPECT_EQ(w.track_view()->caption().toStdString(), result);
    EXPECT_EQ(w.track_view()->marks().turnpoints.size(), 3u);

    // Other fixes are scored afresh.
    w.list()->clearSelection();
    QItemSelection range(w.model()->index(0, 0), w.model()->index(399, 0));
    w.list()->selectionModel()->select(range, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    w.command(40141);
    ASSERT_NE(w.track_view(), nullptr);
    EXPECT_EQ(w.track_view()->contest(), nullptr);
    ASSERT_TRUE(pump_until([&] { return w.track_view()->contest() != nullptr; }, 60000));
    EXPECT_EQ(w.track_view()->contest()->positions->size(), 400u);
}

TEST_F(ContestView, ClosingTheViewHaltsALongSearch) {
    MainWindow& w = open_window();
    ASSERT_GT(w.open_track_file(test::flight_path("freeflight-xcontest-465.33.igc")), 0);
    w.command(40042);
    w.command(40141);
    ASSERT_NE(w.track_view(), nullptr);
    EXPECT_EQ(w.track_view()->contest(), nullptr);
    w.track_view()->close();  // halts and joins the search as it goes
    EXPECT_TRUE(pump_until([&] { return w.track_view() == nullptr; }, 5000));
}

}  // namespace
}  // namespace orlogix::ui
