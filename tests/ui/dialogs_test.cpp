// The coordinate and settings dialogs: what they refuse, in which order, and what they accept.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <filesystem>

#include "access/debug_trace.hpp"
#include "core/geodesy.hpp"
#include "core/file_read.hpp"
#include "support/recording_reporter.hpp"
#include "ui/coord_dialogs.hpp"
#include "ui/settings_dialogs.hpp"
#include "window_fixture.hpp"

namespace orlogix::ui {
namespace {

struct Dialogs : test::WindowTest {
    void SetUp() override { test::WindowTest::SetUp(); }
    orlogix::test::RecordingReporter r;
};

TEST_F(Dialogs, ConversionToUtmChecksLatitudeLongitudeThenZone) {
    CoordinateConversionDialog d(r);
    EXPECT_EQ(d.to_utm(), -1);
    EXPECT_EQ(r.last_error().title, "Decoding latitude string");
    EXPECT_EQ(r.last_error().text, "Missing input");
    d.latitude->setText("N 90 00 00");  // 90 itself is refused
    d.longitude->setText("garbage");
    EXPECT_EQ(d.to_utm(), -1);
    EXPECT_EQ(r.last_error().text, "Bad latitude input");
    d.latitude->setText("N 45 30 00");
    EXPECT_EQ(d.to_utm(), -1);
    EXPECT_EQ(r.last_error().title, "Decoding longitude string");
    EXPECT_EQ(r.last_error().text, "Bad longitude input");
    d.longitude->setText("E 6 15");
    d.zone->setText("61");
    EXPECT_EQ(d.to_utm(), -1);
    EXPECT_EQ(r.last_error().title, "Decoding longitude string");
    EXPECT_EQ(r.last_error().text, "Bad zone input");
    const int errors = r.count("error");
    d.zone->clear();
    ASSERT_EQ(d.to_utm(), 0);
    EXPECT_EQ(r.count("error"), errors);
    EXPECT_EQ(d.zone->text().toStdString(), "32T");
    UtmPosition u;
    geo_to_utm(GeoPosition{45.5 * 0.017453292519943295, 6.25 * 0.017453292519943295}, u);
    EXPECT_EQ(d.easting->text().toStdString(), strformat("%012.4f", u.easting));
    EXPECT_EQ(d.northing->text().toStdString(), strformat("%012.4f", u.northing));
    // A forced zone keeps its number; the band is the computed one.
    d.zone->setText("31 c");
    ASSERT_EQ(d.to_utm(), 0);
    EXPECT_EQ(d.zone->text().toStdString(), "31T");
}

TEST_F(Dialogs, ConversionToDegreesChecksZoneEastingNorthingAndRoundTrips) {
    CoordinateConversionDialog d(r);
    EXPECT_EQ(d.to_degrees(), -1);
    EXPECT_EQ(r.last_error().title, "Decoding zone string");
    d.zone->setText("32Y");
    EXPECT_EQ(d.to_degrees(), -1);
    EXPECT_EQ(r.last_error().text, "Bad input");
    d.zone->setText("32T");
    EXPECT_EQ(d.to_degrees(), -1);
    EXPECT_EQ(r.last_error().title, "Decoding easting string");
    EXPECT_EQ(r.last_error().text, "Missing input");
    d.easting->setText("32x");
    EXPECT_EQ(d.to_degrees(), -1);
    EXPECT_EQ(r.last_error().text, "Bad input");
    d.easting->setText("330000");
    EXPECT_EQ(d.to_degrees(), -1);
    EXPECT_EQ(r.last_error().title, "Decoding northing string");
    d.latitude->setText("N 45 30 12.5");
    d.longitude->setText("E 006 15 03");
    d.zone->clear();
    ASSERT_EQ(d.to_utm(), 0);
    ASSERT_EQ(d.to_degrees(), 0);
    EXPECT_EQ(d.latitude->text().toStdString().substr(0, 14), "N 45 30 12.500");
    EXPECT_EQ(d.longitude->text().toStdString().substr(0, 15), "E 006 15 03.000");
}

TEST_F(Dialogs, DistanceReadsFromThenToAndRemembersPositions) {
    DistanceMemory memory;
    WaypointList none;
    DistanceDialog d(r, memory, none, nullptr);
    EXPECT_EQ(d.distance_text(), "0.00");
    d.from_a->setText("N 46 00 00");
    d.from_b->setText("E 7");
    d.to_a->setText("N 46");
    d.to_b->setText("");
    EXPECT_EQ(d.calculate(), -1);
    EXPECT_EQ(r.last_error().title, "Reading TO longitude");
    EXPECT_EQ(r.last_error().text, "Missing input");
    d.from_b->setText("X 7");
    EXPECT_EQ(d.calculate(), -1);
    EXPECT_EQ(r.last_error().title, "Reading FROM longitude");
    EXPECT_EQ(r.last_error().text, "Bad longitude input");
    d.from_b->setText("E 7");
    d.to_b->setText("E 7 01");
    ASSERT_EQ(d.calculate(), 0);
    double metres = 0;
    ASSERT_EQ(geodesic_distance(semicircles_to_radians(memory.from_latitude, memory.from_longitude),
                                semicircles_to_radians(memory.to_latitude, memory.to_longitude), metres), 0);
    EXPECT_EQ(d.distance_text(), strformat("%.2f", metres));
    EXPECT_NEAR(metres, 1288.0, 5.0);  // one minute of longitude at 46 degrees
    // UTM mode shows the same positions as zone, easting and northing.
    d.set_utm(true);
    EXPECT_TRUE(memory.utm);
    EXPECT_EQ(d.from_zone->text().toStdString(), "32T");
    EXPECT_TRUE(d.from_zone->isEnabled());
    d.to_zone->setText("0T");
    EXPECT_EQ(d.calculate(), -1);
    EXPECT_EQ(r.last_error().title, "Reading TO zone");
    EXPECT_EQ(r.last_error().text, "Bad zone input");
    // A second dialog starts where the first left off.
    DistanceDialog again(r, memory, none, nullptr);
    EXPECT_TRUE(again.utm->isChecked());
    EXPECT_EQ(again.distance_text(), strformat("%.2f", metres));
}

TEST_F(Dialogs, DistanceTakesWaypointsFromTheLists) {
    DistanceMemory memory;
    WaypointList list;
    Waypoint a;
    a.identifier = "A";
    a.comment = "Start";
    a.latitude = 500000000;
    Waypoint b = a;
    b.identifier = "B";
    b.latitude = 500100000;
    list.append(a);
    list.append(b);
    DistanceDialog d(r, memory, list, nullptr);
    EXPECT_EQ(d.from_list->count(), 2);
    d.choose_waypoint(false, 0);
    d.choose_waypoint(true, 1);
    EXPECT_EQ(memory.to_latitude, 500100000);
    EXPECT_NE(d.distance_text(), "0.00");
}

TEST_F(Dialogs, PortDialogRefusesBadUserInputAndTakesTheList) {
    PortDialog d(r, {"/dev/ttyUSB0", "/dev/ttyUSB1"}, "/dev/ttyUSB1", nullptr);
    EXPECT_EQ(d.list->currentIndex(), 1);
    d.user->setText("21");
    d.accept();
    EXPECT_EQ(r.last_error().text, "User port out of range (1-20)");
    EXPECT_NE(d.result(), QDialog::Accepted);
    d.user->setText("");
    d.accept();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.port_name(), "/dev/ttyUSB1");
    PortDialog empty(r, {}, "", nullptr);
    EXPECT_EQ(r.last_error().text, "Error reading the registry, only COM1 is possible.");
    EXPECT_EQ(empty.list->currentText().toStdString(), "COM1");
}

TEST_F(Dialogs, SettingsDialogsThroughTheMenu) {
    MainWindow& w = open_window();
    w.settings().track_gap_time = 1200;
    std::string shown;
    w.set_dialog_handler([&](QDialog& d) {
        auto* n = dynamic_cast<NumberDialog*>(&d);
        if (!n) return 0;
        shown = n->field->text().toStdString();
        n->field->setText("abc");
        n->accept();  // stays open
        if (n->result() == QDialog::Accepted) return 0;
        n->field->setText(" 25 ");
        n->accept();
        return n->result();
    });
    w.command(40136);
    EXPECT_EQ(shown, "20");
    EXPECT_EQ(w.settings().track_gap_time, 25 * 60);
    EXPECT_TRUE(boxes_.empty());  // the gap dialog refuses silently
    w.command(40172);
    EXPECT_TRUE(has_box("Set vario filter", "Bad input"));
    EXPECT_EQ(w.settings().vario_filter, 25);
    EXPECT_TRUE(w.action(40172)->isChecked());
    w.set_dialog_handler([&](QDialog& d) {
        auto* n = dynamic_cast<NumberDialog*>(&d);
        n->field->clear();
        n->accept();
        return n->result();
    });
    w.command(40172);  // empty means off
    EXPECT_EQ(w.settings().vario_filter, 0);
    EXPECT_FALSE(w.action(40172)->isChecked());
    w.command(40151);
    EXPECT_TRUE(has_box("Set gap distance", "Missing input"));
}

}  // namespace
}  // namespace orlogix::ui

namespace orlogix::ui {
namespace {

TEST_F(Dialogs, PortChoiceThroughTheMenuRenamesTheWindowAndTheJobs) {
    MainWindow& w = open_window();
    w.set_dialog_handler([&](QDialog& d) {
        auto& p = dynamic_cast<PortDialog&>(d);
        p.user->setText("/dev/ttyS7");
        p.accept();
        return p.result();
    });
    w.command(40006);
    EXPECT_EQ(w.settings().port_name, "/dev/ttyS7");
    EXPECT_NE(w.windowTitle().toStdString().find(", /dev/ttyS7"), std::string::npos);
}

TEST_F(Dialogs, DebugDumpWritesTheTraceAndVerifyChecksAFile) {
    MainWindow& w = open_window();
    const std::string dump = (dir_ / "trace").string();
    w.set_file_dialog_handler([&](FileRequest& r) {
        r.filter_index = 0;
        return dump;
    });
    w.command(40080);  // cleared: nothing to write
    w.command(40079);
    EXPECT_TRUE(has_box("Save debug buffer", "Buffer is empty"));
    EXPECT_FALSE(std::filesystem::exists(dump + ".log"));
    trace_text("ABC");
    w.command(40079);
    std::string bytes;
    ASSERT_EQ(read_file(dump + ".log", bytes), 0);
    EXPECT_NE(bytes.find("ABC"), std::string::npos);
    // A file from another program carries no security record of ours.
    w.set_file_dialog_handler([&](FileRequest&) { return test::flight_path("line.igc"); });
    boxes_.clear();
    w.command(40073);
    ASSERT_FALSE(boxes_.empty());
}

}  // namespace
}  // namespace orlogix::ui
