// The flight statistics dialog: figures, the background optimisation, halt, save.
#include <gtest/gtest.h>

#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QTableView>

#include "core/file_read.hpp"
#include "ui/menu_table.hpp"
#include "ui/statistics_dialog.hpp"
#include "window_fixture.hpp"

namespace orlogix::ui {
namespace {

struct Statistics : test::WindowTest {
    MainWindow& window_with_selection(int first, int last) {
        MainWindow& w = open_window();
        w.settings().log_filter = 0;
        EXPECT_GT(w.open_track_file(test::flight_path("tri.igc")), 0);
        QItemSelection range(w.model()->index(first, 0), w.model()->index(last, 0));
        w.list()->selectionModel()->select(range, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        return w;
    }
};

TEST_F(Statistics, FiguresAtOnceResultsFromTheWorkerAndASavedLogbook) {
    MainWindow& w = window_with_selection(0, 399);
    const std::string path = (dir_ / "logbook.kml").string();
    w.set_file_dialog_handler([&](FileRequest& r) {
        EXPECT_EQ(r.title, "Save Logbook file");
        EXPECT_FALSE(r.name.empty());
        r.filter_index = 0;
        return path;
    });
    std::vector<std::string> results;
    int saved = -2;
    std::string date;
    w.set_dialog_handler([&](QDialog& d) {
        auto& s = dynamic_cast<StatisticsDialog&>(d);
        date = s.field("date");
        EXPECT_TRUE(pump_until([&] { return !s.field("result6").empty(); }));
        for (int i = 0; i < 8; ++i) results.push_back(s.field(("result" + std::to_string(i)).c_str()));
        s.description->setPlainText("Evening flight");
        saved = s.save();
        return 0;
    });
    w.command(kIdSaveLogButton);
    const TrackPosition& first = w.data().track_log.positions.front();
    CalendarTime c = calendar_from_time(first.time);
    EXPECT_EQ(date, strformat("%4d-%02d-%02d", c.year, c.month, c.day));
    ASSERT_EQ(results.size(), 8u);
    // The contest score beside them, proven on the worker: "<type>, <points> points (XContest, optimal)".
    EXPECT_NE(results[7].find(" points (XContest, optimal)"), std::string::npos) << results[7];
    // Two points can never be farther apart than three, four or five.
    const double two = std::stod(results[0]), five = std::stod(results[3]);
    EXPECT_GT(two, 0.0);
    EXPECT_GE(five, two);
    EXPECT_EQ(saved, 1);
    std::string kml;
    ASSERT_EQ(read_file(path, kml), 0);
    EXPECT_NE(kml.find("<Document>"), std::string::npos);
    EXPECT_NE(kml.find("Evening flight"), std::string::npos);
    EXPECT_EQ(w.data().track_log.header.saved, 1u);
}

TEST_F(Statistics, SaveBeforeTheEndIsRefusedAndHaltShowsIt) {
    MainWindow& w = window_with_selection(0, 4000);
    bool refused = false;
    std::string status;
    w.set_dialog_handler([&](QDialog& d) {
        auto& s = dynamic_cast<StatisticsDialog&>(d);
        // Four thousand positions take far longer than the first look.
        refused = !s.finished() && s.save() == -1;
        s.halt();
        status = s.status_text();
        s.reject();  // halts and joins before the dialog goes
        return 0;
    });
    w.command(40115);
    EXPECT_TRUE(refused);
    EXPECT_TRUE(has_box("Save track log", "Statistics not yet finished"));
    EXPECT_EQ(status, "Computation halted");
    EXPECT_EQ(w.data().track_log.header.saved, 0u);
}

TEST_F(Statistics, TooFewPositionsCloseBeforeTheDialog) {
    MainWindow& w = window_with_selection(0, 5);
    int opened = 0;
    w.set_dialog_handler([&](QDialog&) { return ++opened, 0; });
    w.command(40115);
    EXPECT_EQ(opened, 0);
    EXPECT_TRUE(has_box("Initialize track statistics dialog box", "Too few positions selected"));
}

}  // namespace
}  // namespace orlogix::ui
