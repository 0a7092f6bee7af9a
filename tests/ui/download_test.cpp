// Downloads from the simulated Garmin through the menu, the busy flag, abort
// and the window's closing.
#include <gtest/gtest.h>

#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>

#include <mutex>

#include "core/file_read.hpp"
#include "core/text_buffer.hpp"
#include "settings/settings.hpp"
#include "sim/garmin/garmin_receiver.hpp"
#include "sim/harness.hpp"
#include "ui/menu_table.hpp"
#include "window_fixture.hpp"

namespace orlogix::ui {
namespace {

class Download : public test::WindowTest {
protected:
    void start_receiver(std::vector<TrackPosition> track, bool silent = false) {
        sim::GarminConfig config;
        config.track = std::move(track);
        harness_ = std::make_unique<sim::Harness>(std::make_unique<sim::GarminReceiver>(config));
        sim::FaultSettings faults;
        faults.silent = silent;
        harness_->instrument().set_faults(faults);
        ASSERT_EQ(harness_->start(), 0);
    }
    MainWindow& window_on_receiver() {
        MainWindow& w = open_window();
        w.settings().port_name = harness_->device_path();
        w.jobs().set_port_name(harness_->device_path());
        return w;
    }
    void TearDown() override {
        window_.reset();
        harness_.reset();
        test::WindowTest::TearDown();
    }
    std::unique_ptr<sim::Harness> harness_;
};

TEST_F(Download, ReadGarminFromTheMenuFillsTheListAndStatusLines) {
    std::vector<TrackPosition> track = sim::generated_track(120);
    start_receiver(track);
    MainWindow& w = window_on_receiver();
    w.action(40029)->trigger();
    EXPECT_EQ(w.view_mode(), kViewTrackLog);
    ASSERT_TRUE(pump_until([&] { return !w.jobs().busy(); }));
    ASSERT_EQ(w.model()->rowCount(), static_cast<int>(track.size()));
    EXPECT_EQ(w.data().track_log.positions[5].time, track[5].time);
    EXPECT_EQ(cell(0, 6), "START");
    EXPECT_NE(w.product_text().toStdString().find("SIMGPS"), std::string::npos) << w.product_text().toStdString();
    EXPECT_NE(w.status_text().toStdString(), "Status");
    EXPECT_FALSE(w.status_text().isEmpty());
    EXPECT_EQ(w.exit_code(), 0);
}

TEST_F(Download, SwitchingViewWhileBusyIsRefusedAndAbortKeepsTheOldLog) {
    start_receiver(sim::generated_track(10), true);
    MainWindow& w = window_on_receiver();
    ASSERT_GT(w.open_track_file(test::flight_path("line.igc")), 0);
    const std::size_t old_count = w.data().track_log.positions.size();
    w.data().track_log.header.saved = 1;  // no question about the unsaved log
    w.command(40029);
    ASSERT_TRUE(w.jobs().busy());
    boxes_.clear();
    EXPECT_EQ(w.show_view(kViewWaypoints, false), -1);
    EXPECT_EQ(w.view_mode(), kViewTrackLog);
    ASSERT_FALSE(boxes_.empty());
    EXPECT_EQ(boxes_.back().title, "Change view mode");
    EXPECT_EQ(boxes_.back().text, "Busy GPS driver");
    w.command(40133);
    EXPECT_EQ(boxes_.back().title, "Set list size");
    EXPECT_EQ(w.rebuild_count(), 0);
    w.command(40029);
    EXPECT_EQ(boxes_.back().title, "Download track log");
    w.button(kIdAbortButton)->click();
    EXPECT_FALSE(w.jobs().busy());
    ASSERT_TRUE(pump_until([&] { return !w.jobs().job_registered(); }));
    // The aborted download left the log it was meant to replace.
    EXPECT_EQ(w.data().track_log.positions.size(), old_count);
    EXPECT_EQ(w.model()->rowCount(), static_cast<int>(old_count));
}

TEST_F(Download, UnsavedLogAsksFirstAndCancelStartsNothing) {
    start_receiver(sim::generated_track(10));
    MainWindow& w = window_on_receiver();
    ASSERT_GT(w.open_track_file(test::flight_path("line.igc")), 0);
    answers_.push_back(kBoxCancel);
    w.command(40029);
    EXPECT_TRUE(has_box("Unsaved track log", "Continue without saving current track log ?"));
    EXPECT_FALSE(w.jobs().busy());
}

TEST_F(Download, AbortWithoutAJobDoesNothing) {
    MainWindow& w = open_window();
    w.button(kIdAbortButton)->click();
    EXPECT_TRUE(boxes_.empty());
    EXPECT_FALSE(w.jobs().busy());
}

TEST_F(Download, ClosingSavesTheSettings) {
    MainWindow& w = open_window();
    w.settings().track_gap_time = 777;
    w.settings().log_import_ext = 6;
    w.close();
    std::string text;
    ASSERT_EQ(read_file(paths_.user_file, text), 0);
    Settings back = default_settings(paths_.home);
    settings_from_text(text, back);
    EXPECT_EQ(back.track_gap_time, 777);
    EXPECT_EQ(back.log_import_ext, 6);
}

TEST_F(Download, ClosingDuringAJobAbortsItAndStillSaves) {
    start_receiver(sim::generated_track(10), true);
    MainWindow& w = window_on_receiver();
    w.command(40029);
    ASSERT_TRUE(w.jobs().busy());
    w.close_main_window();
    EXPECT_TRUE(w.closing());
    EXPECT_FALSE(w.jobs().busy());
    // The job has ended within the shutdown wait.
    EXPECT_FALSE(w.jobs().job_registered());
    std::string text;
    EXPECT_EQ(read_file(paths_.user_file, text), 0);
    EXPECT_NE(text.find(harness_->device_path()), std::string::npos);
}

TEST_F(Download, ACommandLineRunsInTheWindow) {
    CommandLine c;
    c.operation = CommandOperation::LogFile;
    c.file_name = test::flight_path("line.igc");
    c.window_mode = WindowMode::Minimised;
    MainWindow& w = open_window(c);
    EXPECT_EQ(w.view_mode(), kViewTrackLog);
    EXPECT_GT(w.model()->rowCount(), 0);
    EXPECT_EQ(w.model()->rowCount(), static_cast<int>(w.data().track_log.positions.size()));
}

}  // namespace
}  // namespace orlogix::ui

namespace orlogix::ui {
namespace {

TEST_F(Download, AFailedCommandLineInTheWindowGivesExitCodeOne) {
    CommandLine c;
    c.operation = CommandOperation::LogFile;
    c.file_name = (dir_ / "missing.igc").string();
    MainWindow& w = open_window(c);
    ASSERT_FALSE(boxes_.empty());
    EXPECT_EQ(boxes_.back().kind, "error");
    EXPECT_EQ(w.exit_code(), 1);
    EXPECT_EQ(w.model()->rowCount(), 0);
}

// WR_CTR reads its file into the current CTR list and uploads from there.
TEST_F(Download, ACommandLineCtrUploadGoesThroughTheCurrentCtrList) {
    start_receiver({});
    const std::string file = (dir_ / "a.txt").string();
    ASSERT_EQ(write_file_atomic(file, "AN FIRST\r\nDP 45:00:00 N 006:00:00 E\r\nDP 45:10:00 N 006:00:00 E\r\n"
                                      "DP 45:10:00 N 006:10:00 E\r\n\r\nAN ROUND\r\nV X=45:30:00 N 006:30:00 E\r\nDC 2\r\n"),
              0);
    CommandLine c;
    CommandLineError error;
    ASSERT_EQ(parse_command_line("/WR_CTR=" + file + " /COM=" + harness_->device_path(), c, error), 0);
    MainWindow& w = open_window(c);
    ASSERT_EQ(w.data().ctrs.size(), 2u);
    EXPECT_EQ(w.data().ctrs[1].name, "ROUND");
    ASSERT_TRUE(pump_until([&] { return !w.jobs().busy(); }));
    // The job got the list: an empty one fails with "No CTR(s) selected".
    EXPECT_EQ(w.exit_code(), 0);
}

TEST_F(Download, WaypointsFromTheReceiverFillTheWaypointView) {
    sim::GarminConfig config;
    config.waypoints = sim::generated_waypoints(12);
    harness_ = std::make_unique<sim::Harness>(std::make_unique<sim::GarminReceiver>(config));
    ASSERT_EQ(harness_->start(), 0);
    MainWindow& w = window_on_receiver();
    w.command(40025);
    w.command(40027);
    EXPECT_EQ(w.view_mode(), kViewWaypoints);
    ASSERT_TRUE(pump_until([&] { return !w.jobs().busy(); }));
    ASSERT_EQ(w.model()->rowCount(), 12);
    EXPECT_EQ(cell(0, 0), config.waypoints[0].identifier);
    // Sending needs a selection.
    w.command(40021);
    EXPECT_TRUE(has_box("Upload waypoints", "No waypoints selected"));
}

// The selected rows go to the receiver as waypoints (40021) or as one track
// log of their places (40017).
TEST_F(Download, SelectedWaypointsGoToTheReceiver) {
    std::mutex mutex;
    std::vector<std::string> uploaded;
    sim::GarminConfig config;
    auto receiver = std::make_unique<sim::GarminReceiver>(config);
    receiver->set_report_sink([&](std::string_view line) {
        std::lock_guard<std::mutex> lock(mutex);
        uploaded.emplace_back(line);
    });
    harness_ = std::make_unique<sim::Harness>(std::move(receiver));
    ASSERT_EQ(harness_->start(), 0);
    MainWindow& w = window_on_receiver();
    std::vector<Waypoint> list = sim::generated_waypoints(5);
    w.data().waypoints.replace(list);
    w.show_view(kViewWaypoints, true);
    ASSERT_TRUE(w.action(40017)->isEnabled());
    auto send = [&](int command) {
        QItemSelection rows(w.model()->index(1, 0), w.model()->index(3, 0));
        w.list()->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        {
            std::lock_guard<std::mutex> lock(mutex);
            uploaded.clear();
        }
        w.command(command);
        EXPECT_TRUE(w.jobs().busy());
        EXPECT_TRUE(pump_until([&] { return !w.jobs().busy(); }));
        EXPECT_EQ(w.exit_code(), 0);
        // The receiver reports the end of the transfer after the job has ended.
        EXPECT_TRUE(pump_until([&] {
            std::lock_guard<std::mutex> lock(mutex);
            return !uploaded.empty() && uploaded.back().rfind("transfer complete", 0) == 0;
        }, 5000));
        std::lock_guard<std::mutex> lock(mutex);
        std::string all;
        for (const std::string& l : uploaded) all += l + "\n";
        return all;
    };
    const std::string as_waypoints = send(40021);
    EXPECT_NE(as_waypoints.find(list[1].identifier), std::string::npos) << as_waypoints;
    EXPECT_NE(as_waypoints.find(list[3].identifier), std::string::npos) << as_waypoints;
    EXPECT_EQ(as_waypoints.find(list[4].identifier), std::string::npos) << as_waypoints;

    std::string expected = "records 4\ntrack header " + list[1].identifier + "\n";
    for (int i = 1; i <= 3; ++i) expected += strformat("track point %d %d\n", list[i].latitude, list[i].longitude);
    expected += "transfer complete 6\n";
    EXPECT_EQ(send(40017), expected);

    w.show_view(kViewTrackLog, false);
    w.command(40017);
    EXPECT_TRUE(has_box("Upload waypoints", "Incorrect view mode"));
    EXPECT_FALSE(w.jobs().busy());
}

// After a competition download without IDs: "No pilot ID" asks, OK sends the
// ID waypoints (with the dash one under CompWptNNN) to the same receiver.
TEST_F(Download, PilotIdUploadFollowsAnAnsweredQuestion) {
    std::mutex mutex;
    std::string uploaded;
    auto receiver = std::make_unique<sim::GarminReceiver>(sim::GarminConfig{});
    receiver->set_report_sink([&](std::string_view line) {
        std::lock_guard<std::mutex> lock(mutex);
        uploaded += std::string(line) + "\n";
    });
    harness_ = std::make_unique<sim::Harness>(std::move(receiver));
    ASSERT_EQ(harness_->start(), 0);
    MainWindow& w = window_on_receiver();
    w.settings().comp_wpt_nnn = 1;
    const PilotIds none, known{57, -1};
    // Cancel sends nothing; an ID found, or no ID known, asks nothing.
    EXPECT_FALSE(w.offer_pilot_id_upload(none, known, "ANNA BERG", ProtocolType::GarminSerial));
    EXPECT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_.back().title, "No pilot ID");
    EXPECT_FALSE(w.offer_pilot_id_upload(PilotIds{-1, 3}, known, "", ProtocolType::GarminSerial));
    EXPECT_FALSE(w.offer_pilot_id_upload(none, none, "", ProtocolType::GarminSerial));
    EXPECT_EQ(boxes_.size(), 1u);

    answers_.push_back(kBoxOk);
    ASSERT_TRUE(w.offer_pilot_id_upload(none, known, "ANNA BERG", ProtocolType::GarminSerial));
    ASSERT_TRUE(pump_until([&] { return !w.jobs().busy(); }));
    EXPECT_EQ(w.exit_code(), 0);
    ASSERT_TRUE(pump_until([&] {
        std::lock_guard<std::mutex> lock(mutex);
        return uploaded.find("transfer complete") != std::string::npos;
    }, 5000));
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_NE(uploaded.find("COMPID"), std::string::npos) << uploaded;
    EXPECT_NE(uploaded.find("-57"), std::string::npos) << uploaded;
    EXPECT_EQ(uploaded.find("CIVLID"), std::string::npos) << uploaded;
}

}  // namespace
}  // namespace orlogix::ui
