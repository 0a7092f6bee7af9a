// The flight statistics dialog: figures, the background optimisation, the
// contest score under the chosen rules, halt, save.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
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
        EXPECT_TRUE(pump_until([&] { return s.field("result7").find(" points (") != std::string::npos; }));
        for (int i = 0; i < 8; ++i) results.push_back(s.field(("result" + std::to_string(i)).c_str()));
        // The description's label takes the user there with its mnemonic.
        bool labelled = false;
        for (const QLabel* l : s.findChildren<QLabel*>()) labelled |= l->buddy() == s.description;
        EXPECT_TRUE(labelled);
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

TEST_F(Statistics, ChosenRulesScoreAgainAndAreRemembered) {
    MainWindow& w = open_window();
    w.settings().log_filter = 0;
    ASSERT_GT(w.open_track_file(test::flight_path("tri.igc")), 0);
    w.command(40042);  // every fix, as the peer scored the file
    auto has = [](const std::string& text, const char* part) { return text.find(part) != std::string::npos; };
    std::string offered, first, chosen, status;
    w.set_dialog_handler([&](QDialog& d) {
        auto& s = dynamic_cast<StatisticsDialog&>(d);
        for (int i = 0; i < s.rules_box()->count(); ++i) offered += s.rules_box()->itemText(i).toStdString() + " ";
        offered += "/ " + s.rules_box()->currentText().toStdString();
        EXPECT_TRUE(pump_until([&] { return has(s.field("result7"), " points ("); }, 60000));
        first = s.field("result7");
        s.rules_box()->setCurrentText("FFVL");
        EXPECT_TRUE(pump_until([&] { return has(s.field("result7"), "(FFVL"); }, 60000));
        chosen = s.field("result7");
        status = s.status_text();
        return 0;
    });
    w.command(40115);
    EXPECT_EQ(offered, "XContest FFVL FAI / XContest");
    // The peer's scores of this flight (tests/data/contest).
    EXPECT_EQ(first, "Free triangle, 15.60 points (XContest, optimal)");
    EXPECT_EQ(chosen, "Flat triangle, 17.52 points (FFVL, optimal)");
    EXPECT_EQ(status.rfind("Contest score completed (", 0), 0u) << status;
    EXPECT_EQ(w.settings().contest_rules, "FFVL");

    // The choice outlives the window: written at its end, the next one starts on it.
    w.close_main_window();
    std::string ini;
    ASSERT_EQ(read_file(paths_.user_file, ini), 0);
    EXPECT_NE(ini.find("\nContestRules=FFVL\n"), std::string::npos);
    window_.reset();
    MainWindow& again = window_with_selection(0, 399);
    EXPECT_EQ(again.settings().contest_rules, "FFVL");
    std::string reopened, result;
    again.set_dialog_handler([&](QDialog& d) {
        auto& s = dynamic_cast<StatisticsDialog&>(d);
        reopened = s.rules_box()->currentText().toStdString();
        EXPECT_TRUE(pump_until([&] { return has(s.field("result7"), " points ("); }, 60000));
        result = s.field("result7");
        return 0;
    });
    again.command(40115);
    EXPECT_EQ(reopened, "FFVL");
    EXPECT_TRUE(has(result, " points (FFVL, optimal)")) << result;
}

TEST_F(Statistics, HaltDuringTheContestScoreKeepsTheResults) {
    MainWindow& w = open_window();
    w.settings().log_filter = 0;
    ASSERT_GT(w.open_track_file(test::flight_path("freeflight-xcontest-465.33.igc")), 0);
    w.command(40042);  // its triangles take the contest search seconds
    std::string result, status, six;
    bool optimised = false;
    w.set_dialog_handler([&](QDialog& d) {
        auto& s = dynamic_cast<StatisticsDialog&>(d);
        EXPECT_TRUE(pump_until([&] { return s.field("result7") == "Computing..."; }, 60000));
        s.halt();
        EXPECT_TRUE(pump_until([&] { return s.field("result7") != "Computing..."; }, 60000));
        result = s.field("result7");
        status = s.status_text();
        six = s.field("result6");
        optimised = s.finished();  // the optimisation's results stand: the log may be saved
        return 0;
    });
    w.command(40115);
    EXPECT_EQ(result, "halted (XContest)");
    EXPECT_EQ(status, "Computation halted");
    EXPECT_FALSE(six.empty());
    EXPECT_TRUE(optimised);
}

TEST_F(Statistics, RulesChosenDuringAScoreReplaceIt) {
    MainWindow& w = open_window();
    w.settings().log_filter = 0;
    ASSERT_GT(w.open_track_file(test::flight_path("out-and-return-record.igc")), 0);
    w.command(40042);
    std::string result;
    w.set_dialog_handler([&](QDialog& d) {
        auto& s = dynamic_cast<StatisticsDialog&>(d);
        EXPECT_TRUE(pump_until([&] { return s.field("result7") == "Computing..."; }, 60000));
        s.rules_box()->setCurrentText("FFVL");
        // The first result to arrive is the new rules': the XContest search never reports.
        EXPECT_TRUE(pump_until([&] { return s.field("result7") != "Computing..."; }, 60000));
        result = s.field("result7");
        return 0;
    });
    w.command(40115);
    EXPECT_NE(result.find(" points (FFVL, "), std::string::npos) << result;
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
