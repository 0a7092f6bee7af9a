// "Edit Waypoint" and the waypoint list commands of the Edit menu.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>

#include "core/geodesy.hpp"
#include "support/recording_reporter.hpp"
#include "ui/waypoint_dialog.hpp"
#include "window_fixture.hpp"

namespace orlogix::ui {
namespace {

using WaypointEdit = test::WindowTest;

TEST(WaypointDialogChecks, FieldsAreCheckedInOrder) {
    test::application();
    orlogix::test::RecordingReporter r;
    bool utm = false;
    Waypoint start;
    start.time = time_from_calendar(2024, 1, 2, 3, 4, 5);
    WaypointDialog d(r, start, utm);
    EXPECT_EQ(d.timestamp->text().toStdString(), "2024-01-02T03:04:05");
    std::vector<std::string> seen;
    auto step = [&] {
        d.accept();
        seen.push_back(r.last_error().text);
    };
    step();  // no ID
    d.id->setText("ab c");
    step();
    d.id->setText("tp01");
    d.height->setText("12a");
    step();
    d.height->setText("- 12");
    d.timestamp->setText("2024-01-02 03:04");
    step();
    d.timestamp->setText("2024-01-02T05:04:05+02:00");
    d.first->clear();
    step();
    d.first->setText("N 46 30");
    d.second->setText("E 200");
    step();
    EXPECT_EQ(seen, (std::vector<std::string>{"Missing ID input", "Bad ID", "Bad height", "Bad timestamp input",
                                              "Missing latitude input", "Bad longitude input"}));
    d.second->setText("E 7 15");
    d.kind->setCurrentIndex(1);
    d.comment->setText("  Top of the hill!");
    d.accept();
    ASSERT_EQ(d.result(), QDialog::Accepted);
    const Waypoint& w = d.waypoint();
    EXPECT_EQ(w.identifier, "TP01");
    EXPECT_EQ(w.height, -12);
    EXPECT_EQ(w.time, start.time);  // the +02:00 offset is taken off
    EXPECT_EQ(w.airfield, 1);
    EXPECT_EQ(w.comment, "Top of the hill-");
    EXPECT_NEAR(semicircle_to_radians(w.latitude) * 57.29577951308, 46.5, 1e-6);
}

TEST(WaypointDialogChecks, UtmFieldsHaveTheirRanges) {
    test::application();
    orlogix::test::RecordingReporter r;
    bool utm = false;
    Waypoint start;
    start.identifier = "A";
    start.latitude = 500000000;
    start.longitude = 60000000;
    start.time = 1000;
    WaypointDialog d(r, start, utm);
    d.utm_box->click();
    EXPECT_TRUE(utm);  // remembered for the next dialog
    EXPECT_TRUE(d.zone->isEnabled());
    d.first->setText("1000001");
    d.accept();
    EXPECT_EQ(r.last_error().text, "Easting value out of range");
    d.first->setText("50x");
    d.accept();
    EXPECT_EQ(r.last_error().text, "Bad easting character");
    d.first->setText("500000");
    d.second->setText("20000001");
    d.accept();
    EXPECT_EQ(r.last_error().text, "Northing value out of range");
    d.zone->setText("0U");
    d.accept();
    EXPECT_EQ(r.last_error().text, "Bad zone input");
    d.zone->setText("32U");
    d.second->setText("5000000");
    d.accept();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    UtmPosition u;
    u.zone = 32;
    geo_to_utm(semicircles_to_radians(d.waypoint().latitude, d.waypoint().longitude), u);
    EXPECT_NEAR(u.easting, 500000, 0.5);
    EXPECT_NEAR(u.northing, 5000000, 0.5);
}

TEST_F(WaypointEdit, NewEditAndDeleteThroughTheMenu) {
    MainWindow& w = open_window();
    int n = 0;
    w.set_dialog_handler([&](QDialog& d) {
        auto& e = dynamic_cast<WaypointDialog&>(d);
        e.id->setText(n == 0 ? "ONE" : n == 1 ? "TWO" : "TWOB");
        e.first->setText("N 45");
        e.second->setText("E 6");
        ++n;
        e.accept();
        return e.result();
    });
    w.command(40038);
    w.command(40038);
    ASSERT_EQ(w.model()->rowCount(), 2);
    EXPECT_EQ(cell(1, 0), "TWO");
    w.list()->selectionModel()->select(w.model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    w.command(40030);
    EXPECT_EQ(cell(1, 0), "TWOB");
    w.command(40031);
    ASSERT_EQ(w.model()->rowCount(), 1);
    EXPECT_EQ(cell(0, 0), "ONE");
    w.command(40025);
    w.command(40031);
    EXPECT_TRUE(has_box("Delete waypoints", "Incorrect view mode"));
}

}  // namespace
}  // namespace orlogix::ui
