// The File, Wpts and CTR menu entries driven through the window with files in
// a temporary folder: the file dialogs are answered by a handler.
#include <gtest/gtest.h>

#include <QItemSelectionModel>
#include <QTableView>

#include <cmath>
#include <mutex>

#include "core/file_read.hpp"
#include "formats/airspace/openair_reader.hpp"
#include "formats/commands/waypoint_dialogs.hpp"
#include "formats/commands/track_read.hpp"
#include "sim/garmin/garmin_receiver.hpp"
#include "sim/harness.hpp"
#include "support/recording_reporter.hpp"
#include "window_fixture.hpp"

namespace orlogix::ui {
namespace {

class FileMenus : public test::WindowTest {
protected:
    void select(int first, int last) {
        window_->list()->clearSelection();
        QItemSelection range(window_->model()->index(first, 0), window_->model()->index(last, 0));
        window_->list()->selectionModel()->select(range, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    // The next file dialog picks name (in the test folder) with the 0-based filter.
    void answer_dialog(const std::string& name, int filter, std::vector<std::string> more = {}) {
        window_->set_file_dialog_handler([this, name, filter, more](FileRequest& r) {
            last_request_ = r;
            r.filter_index = filter;
            for (const std::string& m : more) r.chosen.push_back((dir_ / m).string());
            return (dir_ / name).string();
        });
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    FileRequest last_request_;
};

TEST_F(FileMenus, EveryWritableTrackTypeOpensAgainWithTheSamePositions) {
    MainWindow& w = open_window();
    ASSERT_GT(w.open_track_file(test::flight_path("line.igc")), 0);
    const std::vector<TrackPosition> original = w.data().track_log.positions;
    // Save filter (0-based), its extension, open filter (0-based).
    struct Case { int save; const char* ext; int open; };
    for (Case c : {Case{0, ".plt", 1}, Case{1, ".mps", 4}, Case{3, ".gpx", 7}, Case{4, ".csv", 8}}) {
        SCOPED_TRACE(c.ext);
        answers_.push_back(0);  // "New Track Log": overwrite
        ASSERT_GT(w.open_track_file(test::flight_path("line.igc")), 0);
        select(10, 59);
        answer_dialog("part", c.save);
        w.command(40116);
        ASSERT_TRUE(std::filesystem::exists(path(std::string("part") + c.ext)));
        EXPECT_EQ(w.status_text().toStdString(), path(std::string("part") + c.ext) + ": 50 positions written");
        EXPECT_EQ(w.settings().log_export_ext, c.save + 1);  // remembered counting from 1

        answers_.push_back(0);  // "New Track Log": overwrite
        answer_dialog("part", c.open);  // no extension typed: the filter's is added
        w.command(40117);
        ASSERT_EQ(w.data().track_log.positions.size(), 50u);
        EXPECT_EQ(w.view_mode(), kViewTrackLog);
        EXPECT_EQ(w.settings().log_import_ext, c.open + 1);
        const TrackPosition& a = w.data().track_log.positions.front();
        const TrackPosition& b = original[10];
        EXPECT_LT(std::abs(a.latitude - b.latitude), 200);  // within the coarsest format's precision
        EXPECT_LT(std::abs(a.longitude - b.longitude), 200);
        std::remove(path(std::string("part") + c.ext).c_str());
    }
    EXPECT_EQ(last_request_.filters.size(), 18u);
    EXPECT_EQ(last_request_.filters[1], "Ozi files (*.plt)");

    // The Top Navigator type writes the downloaded raw log, which there is none of.
    select(0, 5);
    answer_dialog("raw", 2);
    w.command(40116);
    EXPECT_TRUE(has_box("Save track log", "No TopNav log downloaded"));
    EXPECT_FALSE(std::filesystem::exists(path("raw.tnc")));
}

TEST_F(FileMenus, AppendingAFileAddsItBehindTheLoadedLog) {
    MainWindow& w = open_window();
    ASSERT_GT(w.open_track_file(test::flight_path("line.igc")), 0);
    const std::vector<TrackPosition> original = w.data().track_log.positions;
    ASSERT_GT(original.size(), 60u);
    select(0, 9);
    answer_dialog("early.plt", 0);
    w.command(40116);
    select(20, 59);
    answer_dialog("late.plt", 0);
    w.command(40116);

    answers_.push_back(0);
    answer_dialog("early.plt", 1);
    w.command(40117);
    ASSERT_EQ(w.data().track_log.positions.size(), 10u);
    answers_.push_back(1);  // append
    answer_dialog("late.plt", 1);
    w.command(40117);
    ASSERT_EQ(w.data().track_log.positions.size(), 50u);
    EXPECT_EQ(w.data().track_log.positions[10].time, original[20].time);

    // Appending the earlier part again overlaps: refused, the log stays.
    answers_.push_back(1);
    answer_dialog("early.plt", 1);
    w.command(40117);
    EXPECT_TRUE(has_box("Append track", "New track overlaps current one"));
    EXPECT_EQ(w.data().track_log.positions.size(), 50u);

    // Cancelling the choice keeps the log too.
    answers_.push_back(-1);
    answer_dialog("early.plt", 1);
    w.command(40117);
    EXPECT_EQ(w.data().track_log.positions.size(), 50u);
}

TEST_F(FileMenus, BatchConversionsWriteBesideEachFileAndBack) {
    MainWindow& w = open_window();
    std::filesystem::copy_file(test::flight_path("line.igc"), path("a.igc"));
    std::filesystem::copy_file(test::flight_path("tri.igc"), path("b.igc"));
    orlogix::test::RecordingReporter r;
    TrackFileRead before;
    ASSERT_GT(read_track_file(r, path("b.igc"), before), 0);

    answer_dialog("a.igc", 0, {"a.igc", "b.igc"});
    w.settings().contest_rules = "FFVL";
    w.command(40171);
    EXPECT_TRUE(last_request_.multiple);
    ASSERT_TRUE(std::filesystem::exists(path("a.kml")));
    ASSERT_TRUE(std::filesystem::exists(path("b.kml")));
    // Each flight's contest score under the remembered rules (the peer's figures, tests/data/contest).
    EXPECT_TRUE(has_box("Convert .igc to .kml", "2 file(s) converted\n\n"
                                                "a.igc: Free distance, 53.35 points (FFVL, optimal)\n"
                                                "b.igc: Flat triangle, 17.52 points (FFVL, optimal)"))
        << boxes_.back().text;

    std::filesystem::remove(path("b.igc"));
    answer_dialog("b.kml", 0, {"b.kml"});
    w.command(40170);
    EXPECT_TRUE(has_box("Convert .kml to .igc", "1 file(s) converted"));
    TrackFileRead after;
    ASSERT_GT(read_track_file(r, path("b.igc"), after), 0) << r.last_error().text;
    ASSERT_EQ(after.positions.size(), before.positions.size());
    EXPECT_EQ(after.positions.back().time, before.positions.back().time);
    EXPECT_EQ(after.positions.back().latitude, before.positions.back().latitude);
}

TEST_F(FileMenus, WaypointFilesOpenAndSaveThroughTheMenu) {
    MainWindow& w = open_window();
    std::filesystem::copy_file(std::string(ORLOGIX_TEST_DATA) + "/waypoints/euregio9.cup", path("region.cup"));
    answer_dialog("region.cup", 6);  // "All files": recognised by content
    w.command(40047);
    EXPECT_EQ(w.settings().wpt_import_ext, 7);
    const std::size_t count = w.data().waypoints.size();
    ASSERT_GT(count, 3u);
    EXPECT_EQ(w.view_mode(), kViewWaypoints);
    EXPECT_EQ(w.model()->rowCount(), static_cast<int>(count));
    const Waypoint first = w.data().waypoints[0];
    const Waypoint third = w.data().waypoints[2];

    w.command(40118);
    EXPECT_TRUE(has_box("Save waypoints", "No waypoints selected"));
    select(0, 2);
    answer_dialog("three", 0);  // the first filter adds its extension
    w.command(40118);
    ASSERT_EQ(last_request_.filters.size(), 16u);
    EXPECT_EQ(w.settings().wpt_export_ext, 1);
    const std::string written = path("three" + std::string(waypoint_save_filters()[0].pattern.substr(1)));
    ASSERT_TRUE(std::filesystem::exists(written)) << written;

    w.data().waypoints.clear();
    answer_dialog(std::filesystem::path(written).filename().string(), 6);
    w.command(40047);
    ASSERT_EQ(w.data().waypoints.size(), 3u);
    EXPECT_EQ(w.data().waypoints[0].identifier, first.identifier);
    EXPECT_LT(std::abs(w.data().waypoints[2].latitude - third.latitude), 2000);
    EXPECT_LT(std::abs(w.data().waypoints[2].longitude - third.longitude), 2000);
}

// The remembered types count from 1, so a fresh install starts on the first
// type of each list and a stored number opens its own type again.
TEST_F(FileMenus, FileDialogsStartOnTheRememberedType) {
    MainWindow& w = open_window();
    ASSERT_GT(w.open_track_file(test::flight_path("line.igc")), 0);
    w.data().track_log.header.saved = 1;
    w.data().waypoints.replace(sim::generated_waypoints(3));
    struct Case {
        int command;
        int view;
        int64_t Settings::*remembered;
        const char* fresh;
        int64_t stored;
        const char* again;
    };
    const Case cases[] = {
        {40117, kViewTrackLog, &Settings::log_import_ext, "DezuvaDar files (*.kml)", 7, "IGC files (*.igc)"},
        {40116, kViewTrackLog, &Settings::log_export_ext, "Ozi files (*.plt)", 5, "CSV files (*.csv)"},
        {40047, kViewWaypoints, &Settings::wpt_import_ext, "Ozi/Orlogix files (*.wpt)", 7, "All files (*.*)"},
        {40118, kViewWaypoints, &Settings::wpt_export_ext, "Ozi files (*.wpt)", 9, "Ozi files (*.*)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        std::string shown;
        w.set_file_dialog_handler([&](FileRequest& r) {
            shown = r.filter_index >= 0 && r.filter_index < static_cast<int>(r.filters.size())
                        ? r.filters[static_cast<std::size_t>(r.filter_index)]
                        : "out of range";
            return std::string();  // cancelled
        });
        w.show_view(c.view, false);
        select(0, 1);
        w.command(c.command);
        EXPECT_EQ(shown, c.fresh);
        w.settings().*c.remembered = c.stored;
        w.command(c.command);
        EXPECT_EQ(shown, c.again);
        EXPECT_EQ(w.settings().*c.remembered, c.stored);  // a cancel keeps it
    }
}

// Instruments and other programs name files FLIGHT.IGC: an extension that
// names a type decides over the filter left standing in the dialog.
TEST_F(FileMenus, ATypedExtensionChoosesTheTypeWhateverTheFilter) {
    MainWindow& w = open_window();
    std::filesystem::copy_file(test::flight_path("line.igc"), path("FLIGHT.IGC"));
    answer_dialog("FLIGHT.IGC", 1);  // "Ozi files (*.plt)"
    w.command(40117);
    ASSERT_GT(w.data().track_log.positions.size(), 60u);
    for (const BoxRequest& b : boxes_) EXPECT_NE(b.kind, "error") << b.title << ": " << b.text;
    EXPECT_EQ(w.settings().log_import_ext, 2);  // the filter chosen is still the one remembered

    std::string bytes;
    select(0, 9);
    answer_dialog("part.GPX", 0);  // "Ozi files (*.plt)"
    w.command(40116);
    ASSERT_EQ(read_file(path("part.GPX"), bytes), 0);
    EXPECT_EQ(bytes.rfind("<?xml", 0), 0u) << bytes.substr(0, 40);
    EXPECT_EQ(w.settings().log_export_ext, 1);

    w.data().waypoints.replace(sim::generated_waypoints(3));
    w.show_view(kViewWaypoints, false);
    // Written type and first line: the UTM filter keeps its own ".wpt".
    struct Case { const char* name; int filter; const char* first_line; };
    for (Case c : {Case{"w.cup", 0, "name,code,country"}, Case{"u.wpt", 1, "$FormatUTM"},
                   Case{"o.Wpt", 5, "OziExplorer Waypoint File"}}) {
        SCOPED_TRACE(c.name);
        select(0, 2);
        answer_dialog(c.name, c.filter);
        w.command(40118);
        ASSERT_EQ(read_file(path(c.name), bytes), 0);
        EXPECT_EQ(bytes.rfind(c.first_line, 0), 0u) << bytes.substr(0, 40);
    }
}

TEST_F(FileMenus, CtrFilesReadShowWriteAndDelete) {
    MainWindow& w = open_window();
    std::filesystem::copy_file(std::string(ORLOGIX_TEST_DATA) + "/airspace/openair.txt", path("air.txt"));
    answer_dialog("air", 0);  // ".txt" is added for the first filter
    w.command(40100);
    const std::size_t count = w.data().ctrs.size();
    ASSERT_GT(count, 3u);
    EXPECT_EQ(w.view_mode(), kViewCtrs);
    EXPECT_EQ(w.model()->rowCount(), static_cast<int>(count));
    EXPECT_EQ(header(1), "Floor (Remark)");
    EXPECT_EQ(cell(2, 0), w.data().ctrs[2].name);
    EXPECT_EQ(cell(2, 1), w.data().ctrs[2].floor);
    EXPECT_EQ(cell(2, 3), "200");
    EXPECT_EQ(cell(2, 4), std::to_string(w.data().ctrs[2].segments.size()));

    w.command(40108);
    EXPECT_TRUE(has_box("Write CTR", "No CTR(s) selected"));
    select(2, 3);
    answer_dialog("two", 0);
    w.command(40108);
    std::string text;
    ASSERT_EQ(read_file(path("two.txt"), text), 0);
    orlogix::test::RecordingReporter r;
    CtrList back;
    ASSERT_EQ(parse_openair(r, text, back), 2) << r.last_error().text;
    EXPECT_EQ(back[0].name, w.data().ctrs[2].name);
    EXPECT_EQ(back[1].segments.size(), w.data().ctrs[3].segments.size());

    answer_dialog("two", 0);
    w.command(40149);
    std::string gpx;
    ASSERT_EQ(read_file(path("two.gpx"), gpx), 0);
    EXPECT_NE(gpx.find("<trkpt"), std::string::npos);
    EXPECT_NE(w.status_text().toStdString().find("two.gpx written"), std::string::npos)
        << w.status_text().toStdString();

    const std::string third_name = w.data().ctrs[3].name;
    select(2, 2);
    w.command(40111);
    ASSERT_EQ(w.data().ctrs.size(), count - 1);
    EXPECT_EQ(w.data().ctrs[2].name, third_name);
    EXPECT_EQ(w.model()->rowCount(), static_cast<int>(count - 1));

    // Reading the file again with "keep" puts the new CTRs in front.
    answers_.push_back(kBoxYes);
    answer_dialog("air.txt", 0);
    w.command(40100);
    EXPECT_EQ(w.data().ctrs.size(), 2 * count - 1);

    select(2, 2);
    w.command(40112);
    EXPECT_EQ(w.view_mode(), kViewWaypoints);
    EXPECT_GT(w.data().waypoints.size(), 2u);
    EXPECT_EQ(w.data().waypoints.size(), w.data().track_log.positions.size());

    // List commands other than reading need the CTR view.
    w.command(40108);
    EXPECT_TRUE(has_box("Write CTR", "Incorrect view mode"));
}

TEST_F(FileMenus, SelectedCtrsGoToTheGarminAsTrackLogs) {
    std::mutex mutex;
    std::vector<std::string> uploaded;
    auto receiver = std::make_unique<sim::GarminReceiver>(sim::GarminConfig{});
    receiver->set_report_sink([&](std::string_view line) {
        std::lock_guard<std::mutex> lock(mutex);
        uploaded.emplace_back(line);
    });
    sim::Harness harness(std::move(receiver));
    ASSERT_EQ(harness.start(), 0);
    MainWindow& w = open_window();
    w.settings().port_name = harness.device_path();
    w.jobs().set_port_name(harness.device_path());
    ASSERT_TRUE(w.action(40106)->isEnabled());

    std::filesystem::copy_file(std::string(ORLOGIX_TEST_DATA) + "/airspace/openair.txt", path("air.txt"));
    answer_dialog("air.txt", 0);
    w.command(40100);
    ASSERT_GT(w.data().ctrs.size(), 3u);
    select(3, 3);
    w.command(40106);
    ASSERT_TRUE(w.jobs().busy());
    ASSERT_TRUE(pump_until([&] { return !w.jobs().busy(); }));
    EXPECT_EQ(w.exit_code(), 0);
    window_.reset();
    harness.stop();
    std::lock_guard<std::mutex> lock(mutex);
    int headers = 0;
    for (const std::string& l : uploaded)
        if (l.rfind("track header ", 0) == 0) ++headers;
    EXPECT_EQ(headers, 1);
    std::string all;
    for (const std::string& l : uploaded) all += l + "\n";
    EXPECT_NE(all.find("transfer complete"), std::string::npos) << all;
}

}  // namespace
}  // namespace orlogix::ui
