// The list of the current view mode: columns, texts on demand, UTM, sizes.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>

#include <QApplication>
#include <QClipboard>

#include "analysis/flight_statistics.hpp"
#include "core/file_read.hpp"
#include "core/text_buffer.hpp"
#include "formats/gpx/reader.hpp"
#include "formats/igc/reader.hpp"
#include "ui/list_views.hpp"
#include "window_fixture.hpp"

namespace orlogix::ui {
namespace {

using ListView = test::WindowTest;

std::size_t fixes_in(const std::string& path) {
    std::string bytes;
    EXPECT_EQ(read_file(path, bytes), 0);
    IgcParsed parsed;
    IgcParseError err;
    EXPECT_GT(parse_igc(bytes, parsed, err), 0);
    return parsed.positions.size();
}

TEST_F(ListView, ARealFlightFillsTheTrackViewRowsAndColumns) {
    MainWindow& w = open_window();
    const std::string path = test::flight_path("d3p.igc");
    ASSERT_GT(w.open_track_file(path), 0);
    EXPECT_EQ(w.view_mode(), kViewTrackLog);
    EXPECT_EQ(static_cast<std::size_t>(w.model()->rowCount()), fixes_in(path));
    ASSERT_EQ(w.model()->columnCount(), 7);
    const char* names[] = {"UTC date", "UTC time", "Latitude", "Longitude", "H (GPS)", "H (B-G)", "km/h"};
    for (int c = 0; c < 7; ++c) EXPECT_EQ(header(c), names[c]);
    // The first fix, as the reader decoded it.
    const TrackPosition& p = w.data().track_log.positions.front();
    CalendarTime t = calendar_from_time(p.time);
    EXPECT_EQ(cell(0, 0), strformat("%4d-%02d-%02d", t.year, t.month, t.day));
    EXPECT_EQ(cell(0, 1), strformat("%02d:%02d:%02d", t.hour, t.minute, t.second));
    EXPECT_TRUE(cell(0, 2)[0] == 'N' || cell(0, 2)[0] == 'S') << cell(0, 2);
    EXPECT_TRUE(cell(0, 3)[0] == 'E' || cell(0, 3)[0] == 'W') << cell(0, 3);
    EXPECT_EQ(cell(0, 4), std::to_string(gps_altitude_metres(p.gps_altitude)));
    EXPECT_EQ(cell(0, 6), "START");
    EXPECT_NE(cell(1, 6), "START");
    EXPECT_EQ(w.product_text().toStdString(), "d3p.igc");
    EXPECT_NE(w.status_text().toStdString().find("positions read"), std::string::npos);
}

TEST_F(ListView, UtmSwitchesTheTrackViewToEightColumns) {
    MainWindow& w = open_window();
    ASSERT_GT(w.open_track_file(test::flight_path("line.igc")), 0);
    const std::string lat = cell(3, 2);
    w.set_utm(true);
    ASSERT_EQ(w.model()->columnCount(), 8);
    EXPECT_EQ(header(2), "Zone");
    EXPECT_EQ(header(3), "Easting");
    EXPECT_EQ(header(4), "Northing");
    EXPECT_EQ(header(5), "H (GPS)");
    const std::string zone = cell(3, 2);
    ASSERT_EQ(zone.size(), 3u);
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(zone[0])) && std::isalpha(static_cast<unsigned char>(zone[2])));
    EXPECT_GE(cell(3, 3).size(), 7u);
    w.set_utm(false);
    EXPECT_EQ(w.model()->columnCount(), 7);
    EXPECT_EQ(cell(3, 2), lat);
}

TEST(TrackCells, HeightsSpeedsAndSegmentStarts) {
    TrackLog log;
    TrackPosition a;
    a.flags = kSegmentStart;
    a.time = 1000;
    a.gps_altitude = -52;  // -5.2 m
    a.baro_altitude = 10;
    TrackPosition b = a;
    b.flags = 0;
    b.time = 1010;
    b.latitude = 0;
    b.longitude = static_cast<int32_t>(0.001 / 180.0 * 2147483648.0);  // about 111 m east on the equator
    b.gps_altitude = 1234;
    TrackPosition c = b;
    c.flags = kSegmentStart;
    c.time = 1020;
    log.positions = {a, b, c};
    EXPECT_EQ(track_cell(log, 0, 4, false), "-5");
    EXPECT_EQ(track_cell(log, 0, 5, false), "");  // no pressure altitudes
    log.header.baro_present = 1;
    EXPECT_EQ(track_cell(log, 0, 5, false), "15");
    EXPECT_EQ(track_cell(log, 1, 4, false), "123");
    EXPECT_EQ(track_cell(log, 0, 6, false), "START");
    EXPECT_EQ(track_cell(log, 2, 6, false), "START");
    EXPECT_EQ(track_cell(log, 1, 6, false), "40.1");  // 111.3 m in 10 s
    EXPECT_EQ(track_cell(log, 1, 7, true), "40.1");   // the same column one further right
    EXPECT_EQ(track_cell(log, 9, 0, false), "");
}

TEST(WaypointCells, BothColumnSets) {
    Waypoint w;
    w.identifier = "TAKE1";
    w.comment = "Launch";
    w.height = 1530;
    w.airfield = 1;
    w.time = time_from_calendar(2024, 5, 17, 9, 3, 7);
    w.latitude = static_cast<int32_t>(45.5 / 180.0 * 2147483648.0);
    w.longitude = static_cast<int32_t>(6.25 / 180.0 * 2147483648.0);
    EXPECT_EQ(waypoint_cell(w, 0, false), "TAKE1");
    EXPECT_EQ(waypoint_cell(w, 1, false), "N 45  30  00.00");
    EXPECT_EQ(waypoint_cell(w, 2, false), "E 006  15  00.00");
    EXPECT_EQ(waypoint_cell(w, 3, false), "1530");
    EXPECT_EQ(waypoint_cell(w, 4, false), "A");
    EXPECT_EQ(waypoint_cell(w, 5, false), "Launch");
    EXPECT_EQ(waypoint_cell(w, 6, false), "2024-05-17T09:03:07");
    EXPECT_EQ(waypoint_cell(w, 1, true), "32T");
    EXPECT_EQ(waypoint_cell(w, 7, true), "2024-05-17T09:03:07");
    w.airfield = 0;
    EXPECT_EQ(waypoint_cell(w, 4, false), " ");
}

TEST_F(ListView, SelectionIsInListOrderAndSelectAllTakesEveryRow) {
    MainWindow& w = open_window();
    ASSERT_GT(w.open_track_file(test::flight_path("line.igc")), 0);
    auto* sel = w.list()->selectionModel();
    sel->select(w.model()->index(7, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    sel->select(w.model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(w.selected_rows(), (std::vector<std::size_t>{2, 7}));
    w.command(40042);
    EXPECT_EQ(w.selected_rows().size(), w.data().track_log.positions.size());
}

TEST_F(ListView, ViewModesHaveTheirColumnSetsAndRequireViewRefuses) {
    MainWindow& w = open_window();
    EXPECT_EQ(w.view_mode(), kViewWaypoints);
    EXPECT_EQ(w.model()->columnCount(), 7);
    EXPECT_EQ(header(6), "Time");
    w.command(40101);
    EXPECT_EQ(w.view_mode(), kViewCtrs);
    EXPECT_EQ(header(1), "Floor (Remark)");
    w.command(40129);
    EXPECT_EQ(header(3), "Device");
    EXPECT_EQ(w.require_view(kViewTrackLog, "Show track"), -1);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, "Incorrect view mode");
    EXPECT_EQ(boxes_[0].title, "Show track");
}

TEST_F(ListView, LargeListSizeTwiceRebuildsOnce) {
    MainWindow& w = open_window();
    ASSERT_GT(w.open_track_file(test::flight_path("line.igc")), 0);
    const int rows = w.model()->rowCount();
    EXPECT_EQ(w.set_list_size(1), 0);  // already the default
    EXPECT_EQ(w.rebuild_count(), 0);
    w.command(40133);
    EXPECT_EQ(w.rebuild_count(), 1);
    w.command(40133);
    EXPECT_EQ(w.rebuild_count(), 1);
    EXPECT_EQ(w.model()->rowCount(), rows);  // the rebuilt list shows the same data
    EXPECT_EQ(w.list()->model(), w.model());
    w.command(40131);
    EXPECT_EQ(w.rebuild_count(), 2);
    EXPECT_EQ(w.height_units(), 200);
}

TEST_F(ListView, FailedOpenKeepsTheCurrentLog) {
    MainWindow& w = open_window();
    ASSERT_GT(w.open_track_file(test::flight_path("line.igc")), 0);
    const std::size_t before = w.data().track_log.positions.size();
    const std::string bad = (dir_ / "bad.igc").string();
    ASSERT_EQ(write_file_atomic(bad, "AXXX\r\nHFDTE010203\r\nnot a fix\r\n"), 0);
    EXPECT_LT(w.open_track_file(bad), 0);
    EXPECT_EQ(w.data().track_log.positions.size(), before);
    EXPECT_LT(w.open_track_file((dir_ / "flight.xyz").string()), 0);
    EXPECT_TRUE(has_box("Reading track log file", "Unsupported track log file extension"));
    EXPECT_LT(w.open_track_file((dir_ / "missing.plt").string()), 0);
    EXPECT_EQ(w.data().track_log.positions.size(), before);
}

}  // namespace
}  // namespace orlogix::ui

namespace orlogix::ui {
namespace {

TEST_F(ListView, SaveAsWritesTheSelectedPositions) {
    MainWindow& w = open_window();
    ASSERT_GT(w.open_track_file(test::flight_path("line.igc")), 0);
    QItemSelection range(w.model()->index(10, 0), w.model()->index(59, 0));
    w.list()->selectionModel()->select(range, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    int filter = 3;  // "GPX files (*.gpx)"
    std::vector<std::string> filters;
    w.set_file_dialog_handler([&](FileRequest& r) {
        filters = r.filters;
        r.filter_index = filter;
        return (dir_ / "part").string();
    });
    w.command(40116);
    ASSERT_EQ(filters.size(), 10u);
    EXPECT_EQ(filters[0], "Ozi files (*.plt)");
    std::string bytes;
    ASSERT_EQ(read_file((dir_ / "part.gpx").string(), bytes), 0);
    std::vector<TrackPosition> back;
    EXPECT_EQ(read_gpx_track(w.reporter(), bytes, back), 50);
    EXPECT_EQ(back.front().time, w.data().track_log.positions[10].time);
    EXPECT_EQ(w.status_text().toStdString(), (dir_ / "part.gpx").string() + ": 50 positions written");
    EXPECT_EQ(w.settings().log_export_ext, 4);  // remembered counting from 1
}

TEST_F(ListView, CopyPutsTheSelectedPositionsOnTheClipboard) {
    MainWindow& w = open_window();
    ASSERT_GT(w.open_track_file(test::flight_path("line.igc")), 0);
    w.command(40083);
    EXPECT_TRUE(has_box("Copy track to clip board", "No position(s) selected"));
    QItemSelection range(w.model()->index(0, 0), w.model()->index(2, 0));
    w.list()->selectionModel()->select(range, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    w.command(40083);
    const std::string text = QApplication::clipboard()->text().toStdString();
    std::vector<TrackPosition> three(w.data().track_log.positions.begin(), w.data().track_log.positions.begin() + 3);
    EXPECT_EQ(text, clipboard_text(three));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
}

}  // namespace
}  // namespace orlogix::ui
