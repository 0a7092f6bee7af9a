// The OLC statistics dialog: the worker's results, entry checks and the form file.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>

#include "core/file_read.hpp"
#include "ui/olc_dialog.hpp"
#include "window_fixture.hpp"

namespace orlogix::ui {
namespace {

using Olc = test::WindowTest;

TEST_F(Olc, ScoresTheSelectionChecksEntriesAndWritesTheForm) {
    MainWindow& w = open_window();
    ASSERT_GT(w.open_track_file(test::flight_path("tri.igc")), 0);
    QItemSelection range(w.model()->index(0, 0), w.model()->index(299, 0));
    w.list()->selectionModel()->select(range, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const std::string path = (dir_ / "flight").string();
    w.set_file_dialog_handler([&](FileRequest& r) {
        EXPECT_EQ(r.title, "Save OLC file");
        return path;
    });
    std::string results;
    int first_save = 0, second_save = 0;
    w.set_dialog_handler([&](QDialog& d) {
        auto& o = dynamic_cast<OlcDialog&>(d);
        EXPECT_TRUE(pump_until([&] { return !o.results_text().empty(); }));
        results = o.results_text();
        first_save = o.save(false);  // nothing typed yet
        o.first_name->setText("Anna");
        o.last_name->setText("O'Neill & Co");
        o.birth_date->setText("1.2.85");
        o.glider_class->setCurrentIndex(2);
        o.glider_type->setText("Alpha 7");
        o.start_place->setText("Col du Lac");
        o.flight_number->setText("2");
        second_save = o.save(false);
        o.reject();
        return 0;
    });
    w.command(40094);
    EXPECT_NE(results.find("MAX. DISTANCE"), std::string::npos) << results;
    EXPECT_EQ(first_save, -1);
    EXPECT_TRUE(has_box("User information input", "Missing first name"));
    EXPECT_EQ(second_save, 1);
    std::string bytes;
    ASSERT_EQ(read_file(path + ".olc", bytes), 0);
    EXPECT_EQ(bytes.rfind("OLCvnolc=Anna&na=O%27Neill%20%26%20Co&geb=01.02.85", 0), 0u) << bytes.substr(0, 80);
    EXPECT_NE(bytes.find("&sta=Col%20du%20Lac"), std::string::npos);
    EXPECT_EQ(bytes.find("&IGCigcIGC="), std::string::npos);
    // The entries are remembered for the next time.
    EXPECT_EQ(w.settings().olc_first_name, "Anna");
    EXPECT_EQ(w.settings().olc_birth_date, "01.02.85");
}

TEST_F(Olc, BufferModeNeedsADownloadedIgcAndSelectionNeedsFivePositions) {
    MainWindow& w = open_window();
    w.command(40025);
    w.command(40095);
    EXPECT_TRUE(has_box("OLC statistics", "No raw IGC buffer stored"));
    ASSERT_GT(w.open_track_file(test::flight_path("line.igc")), 0);
    QItemSelection range(w.model()->index(0, 0), w.model()->index(3, 0));
    w.list()->selectionModel()->select(range, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    int opened = 0;
    w.set_dialog_handler([&](QDialog&) { return ++opened, 0; });
    w.command(40094);
    EXPECT_EQ(opened, 0);
    EXPECT_TRUE(has_box("Initialize OLC statistics", "Number of positions must be 5 or more"));
}

TEST_F(Olc, ClosingWhileSearchingHaltsAndJoins) {
    MainWindow& w = open_window();
    ASSERT_GT(w.open_track_file(test::flight_path("tri.igc")), 0);
    w.command(40042);
    bool was_running = false;
    w.set_dialog_handler([&](QDialog& d) {
        auto& o = dynamic_cast<OlcDialog&>(d);
        was_running = !o.finished();
        o.reject();
        return 0;
    });
    w.command(40094);
    EXPECT_TRUE(was_running);
}

}  // namespace
}  // namespace orlogix::ui
