// Competition mode in the window: a pilot list read through "Competition
// Mode", a download from the simulated Garmin identified in "Save
// competition log", the pilot's files in the competition folder, the
// instrument recorded in the saved list, and a failed download that asks
// nothing.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include "core/file_read.hpp"
#include "core/text_buffer.hpp"
#include "competition/pilot_list.hpp"
#include "sim/garmin/garmin_receiver.hpp"
#include "sim/harness.hpp"
#include "ui/competition_dialogs.hpp"
#include "ui/menu_table.hpp"
#include "window_fixture.hpp"

namespace orlogix::ui {
namespace {

namespace fs = std::filesystem;

class CompetitionWindow : public test::WindowTest {
protected:
    MainWindow& competition_window(bool silent) {
        sim::GarminConfig config;
        config.track = sim::generated_track(120);
        harness_ = std::make_unique<sim::Harness>(std::make_unique<sim::GarminReceiver>(config));
        sim::FaultSettings faults;
        faults.silent = silent;
        harness_->instrument().set_faults(faults);
        EXPECT_EQ(harness_->start(), 0);
        MainWindow& w = open_window();
        w.settings().port_name = harness_->device_path();
        w.jobs().set_port_name(harness_->device_path());
        w.settings().comp_dir = (dir_ / "comp").string();
        w.settings().add_igc_to_comp_out = 1;
        fs::create_directories(dir_ / "comp");
        // Completion codes as the window gets them.
        JobHooks& hooks = w.jobs().hooks();
        hooks.completion_message = [this, &w, inner = hooks.completion_message](int code, int param) {
            codes_.push_back(code * 10 + param);
            inner(code, param);
        };
        list_ = (dir_ / "list.csv").string();
        EXPECT_EQ(write_file_atomic(list_, "Name,CompId,CivlId\r\nAnna Berg,12,34567\r\nBen Carr,13,\r\n"), 0);
        return w;
    }
    std::vector<fs::path> comp_files() const {
        std::vector<fs::path> out;
        for (const auto& e : fs::directory_iterator(dir_ / "comp")) out.push_back(e.path());
        std::sort(out.begin(), out.end());
        return out;
    }
    void TearDown() override {
        window_.reset();
        harness_.reset();
        test::WindowTest::TearDown();
    }
    std::unique_ptr<sim::Harness> harness_;
    std::vector<int> codes_;
    std::string list_;
};

TEST_F(CompetitionWindow, ADownloadIsIdentifiedSavedAndRecordedInTheList) {
    MainWindow& w = competition_window(false);
    EXPECT_TRUE(w.action(40121)->isEnabled());
    EXPECT_TRUE(w.action(40143)->isEnabled());
    w.set_file_dialog_handler([&](FileRequest& r) {
        EXPECT_EQ(r.title, "Read pilot list file");
        return list_;
    });
    std::string pilots_text;
    w.set_dialog_handler([&](QDialog& d) {
        if (auto* times = dynamic_cast<CompetitionTimesDialog*>(&d)) {
            times->start->setText("2021-13-01 10:00:00");
            times->accept();  // refused, the dialog stays open
            times->start->clear();
            times->accept();
            return times->result();
        }
        auto& mode = dynamic_cast<CompetitionModeDialog&>(d);
        mode.enabled->setChecked(true);
        mode.read_list->click();
        pilots_text = mode.pilots->text().toStdString();
        mode.set_times->click();
        mode.accept();
        return mode.result();
    });
    w.command(40121);
    EXPECT_TRUE(has_box("Read comp. time", "Bad start time"));
    EXPECT_EQ(pilots_text, "2 pilots");
    EXPECT_EQ(w.settings().comp_mode, 1);
    EXPECT_EQ(w.settings().comp_time_start, 0);
    EXPECT_EQ(w.view_mode(), kViewPilots);
    EXPECT_EQ(w.status_text().toStdString(), "2 pilots registered");
    EXPECT_EQ(cell(1, 1), "13");
    EXPECT_EQ(cell(1, 2), "");
    EXPECT_NE(w.windowTitle().toStdString().find(", Competition mode"), std::string::npos);

    // The download finds no ID: opening selects the first entry without a
    // name; typing the competition number finds Anna.
    std::string title, opening_name;
    w.set_dialog_handler([&](QDialog& d) {
        auto& id = dynamic_cast<IdentifyPilotDialog&>(d);
        title = id.windowTitle().toStdString();
        opening_name = id.name->text().toStdString() + "|" + std::to_string(id.choice->currentIndex());
        id.comp_id->clear();
        QTest::keyClicks(id.comp_id, "12");
        id.accept();
        return id.result();
    });
    w.action(40029)->trigger();
    ASSERT_TRUE(pump_until([&] { return !codes_.empty(); }));
    EXPECT_EQ(codes_, std::vector<int>{21});
    EXPECT_EQ(opening_name, "|0");
    EXPECT_EQ(title.rfind("Save competition log (", 0), 0u) << title;
    EXPECT_EQ(w.current_pilot().name, "Anna Berg");
    const std::vector<fs::path> files = comp_files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].filename().string().rfind("Anna Berg.", 0), 0u);
    EXPECT_TRUE(files[0].string().ends_with(".34567.12.igc")) << files[0];
    EXPECT_EQ(files[1].extension(), ".kml");
    std::string kml;
    ASSERT_EQ(read_file(files[1].string(), kml), 0);
    EXPECT_NE(kml.find("civl_pilot_id=\"34567\" comp_pilot_id=\"12\""), std::string::npos);
    // Nothing found on the instrument: the ID upload is offered (and cancelled).
    EXPECT_EQ(boxes_.back().title, "No pilot ID");
    EXPECT_EQ(boxes_.back().kind, "question");

    // The list keeps the instrument beside the pilot.
    const std::string device = w.data().track_log.header.device_identity;
    ASSERT_FALSE(device.empty());
    w.set_file_dialog_handler([&](FileRequest& r) {
        EXPECT_EQ(r.title, "Save pilot list");
        return (dir_ / "saved").string();
    });
    w.command(40143);
    std::string csv;
    ASSERT_EQ(read_file((dir_ / "saved.csv").string(), csv), 0);
    EXPECT_EQ(csv, "Name,CompId,CivlId,Device1,Device2,Device3,Device4\r\nAnna Berg,12,34567," + device +
                       ",,,\r\nBen Carr,13,,,,,\r\n");
    w.command(40129);
    EXPECT_EQ(cell(0, 3), device);

    // "Save log" saves the selected rows only; the identification opens on Anna.
    w.command(40025);
    w.list()->selectionModel()->select(QItemSelection(w.model()->index(0, 0), w.model()->index(59, 0)),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    w.settings().comp_dir = (dir_ / "comp" / "selection").string();
    fs::create_directories(w.settings().comp_dir);
    w.set_dialog_handler([&](QDialog& d) {
        auto& id = dynamic_cast<IdentifyPilotDialog&>(d);
        opening_name = id.name->text().toStdString();
        id.accept();
        return id.result();
    });
    w.command(kIdSaveLogButton);
    EXPECT_EQ(opening_name, "Anna Berg");
    std::string igc;
    for (const auto& e : fs::directory_iterator(dir_ / "comp" / "selection")) {
        if (e.path().extension() == ".igc") {
            ASSERT_EQ(read_file(e.path().string(), igc), 0);
        }
    }
    std::size_t fixes = 0;
    for (std::size_t at = 0; (at = igc.find("\nB", at)) != std::string::npos; ++at) ++fixes;
    EXPECT_EQ(fixes, 60u);

    // The next start in competition mode reads the stored list.
    w.close();
    MainWindow& again = open_window();
    EXPECT_EQ(again.data().pilots.size(), 2u);
}

// "Select pilot": the chosen entry takes the typed number and becomes the current pilot.
TEST_F(CompetitionWindow, SelectPilotWritesTheTypedNumbersIntoTheChosenEntry) {
    MainWindow& w = competition_window(false);
    std::string path = list_;
    ASSERT_EQ(read_pilot_list(w.reporter(), path, w.data().pilots, PilotListOrigin::Named), 0);
    std::string label;
    w.set_dialog_handler([&](QDialog& d) {
        auto& s = dynamic_cast<SelectPilotDialog&>(d);
        label = s.choice_label->text().toStdString();
        s.choice->setCurrentIndex(1);
        emit s.choice->activated(1);
        s.civl_id->setText("777");
        s.nnn->setChecked(true);
        s.accept();
        return s.result();
    });
    ASSERT_EQ(w.select_pilot(), 0);
    EXPECT_EQ(label, "&Select pilot from list (2 pilots)");
    EXPECT_EQ(w.current_pilot().name, "Ben Carr");
    EXPECT_EQ(w.current_pilot().ids.comp_id, 13);
    EXPECT_EQ(w.data().pilots.pilots[1].civl_id, 777);
    EXPECT_EQ(w.settings().comp_wpt_nnn, 1);
}

// No answer, then Abort: no file, no question, the list as it was.
TEST_F(CompetitionWindow, AFailedDownloadWritesNothingAndAsksNothing) {
    MainWindow& w = competition_window(true);
    std::string path = list_;
    ASSERT_EQ(read_pilot_list(w.reporter(), path, w.data().pilots, PilotListOrigin::Named), 0);
    w.settings().comp_mode = 1;
    int dialogs = 0;
    w.set_dialog_handler([&](QDialog&) { return ++dialogs, 0; });
    w.command(40029);
    ASSERT_TRUE(w.jobs().busy());
    w.button(kIdAbortButton)->click();
    ASSERT_TRUE(pump_until([&] { return !codes_.empty(); }));
    EXPECT_EQ(codes_, std::vector<int>{20});
    EXPECT_EQ(dialogs, 0);
    for (const BoxRequest& b : boxes_) EXPECT_NE(b.kind, "question") << b.title;
    EXPECT_TRUE(comp_files().empty());
    EXPECT_EQ(w.data().pilots.size(), 2u);
}

}  // namespace
}  // namespace orlogix::ui
