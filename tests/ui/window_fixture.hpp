#pragma once
// A main window per test, offscreen, with its own settings folder; boxes are
// recorded and answered from a queue instead of waiting for a user.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "access/dispatch.hpp"
#include "protocols/families.hpp"
#include "sim/harness.hpp"
#include "support/sim_kit.hpp"
#include "ui/main_window.hpp"

namespace orlogix::ui::test {

inline QApplication& application() {
    static int argc = 1;
    static char name[] = "test_ui";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        auto* a = new QApplication(argc, argv);
        register_protocol_families();
        register_all_families();
        return a;
    }();
    return *app;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        application();
        namespace fs = std::filesystem;
        dir_ = fs::temp_directory_path() /
               ("orlogix-ui-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "config");
        paths_.user_file = (dir_ / "config" / "settings.ini").string();
        paths_.defaults_file = (dir_ / "no-defaults.ini").string();
        paths_.home = dir_.string();
    }
    void TearDown() override {
        window_.reset();
        std::filesystem::remove_all(dir_);
    }

    MainWindow& open_window(std::optional<CommandLine> command = std::nullopt) {
        MainWindowOptions options;
        options.settings_paths = paths_;
        options.command = std::move(command);
        options.box_handler = [this](const BoxRequest& b) {
            boxes_.push_back(b);
            if (b.kind == "choose_many") b.reply->lines = chosen_lines_;
            if (b.kind == "check") b.reply->checked = tick_checks_;
            if (b.kind == "save") {
                b.reply->path = save_path_;
                return save_path_.empty() ? kBoxCancel : kBoxOk;
            }
            if (!answers_.empty()) {
                int a = answers_.front();
                answers_.pop_front();
                return a;
            }
            return b.kind == "question" ? kBoxCancel : b.kind == "yesno" ? kBoxNo : kBoxOk;
        };
        window_ = std::make_unique<MainWindow>(options);
        return *window_;
    }

    // Runs the event loop until done() or the time-out; done()'s last value.
    template <class F>
    bool pump_until(F done, int timeout_ms = 20000) {
        return QTest::qWaitFor(done, timeout_ms);
    }

    bool has_box(const std::string& title, const std::string& text) const {
        for (const BoxRequest& b : boxes_)
            if (b.title == title && b.text == text) return true;
        return false;
    }

    std::string header(int column) const {
        return window_->model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString().toStdString();
    }
    std::string cell(int row, int column) const {
        return window_->model()->data(window_->model()->index(row, column), Qt::DisplayRole).toString().toStdString();
    }

    std::filesystem::path dir_;
    SettingsPaths paths_;
    std::unique_ptr<MainWindow> window_;
    std::vector<BoxRequest> boxes_;
    std::deque<int> answers_;
    std::vector<int> chosen_lines_;  // the answer to a track-list choice
    std::string save_path_;          // the answer to a job's save dialog; empty: closed
    bool tick_checks_ = false;       // the answer to a notice's check box
};

// A window whose configured port is a simulated instrument on a pseudo-terminal.
class InstrumentWindowTest : public WindowTest {
protected:
    MainWindow& window_on(std::unique_ptr<sim::Instrument> instrument) {
        harness_ = std::make_unique<sim::Harness>(std::move(instrument));
        EXPECT_EQ(harness_->start(), 0);
        MainWindow& w = open_window();
        w.settings().port_name = harness_->device_path();
        w.jobs().set_port_name(harness_->device_path());
        return w;
    }
    void TearDown() override {
        window_.reset();
        harness_.reset();
        WindowTest::TearDown();
    }
    std::unique_ptr<sim::Harness> harness_;
};

// A window (the one open, or a new one) on a simulated instrument held by
// the test kit's pseudo-terminal runner, whose received bytes tests check.
class PtySimWindowTest : public WindowTest {
protected:
    MainWindow& window_on(std::unique_ptr<sim::Instrument> instrument) {
        sim_ = std::make_unique<orlogix::test::PtySim>(std::move(instrument));
        EXPECT_TRUE(sim_->started());
        MainWindow& w = window_ ? *window_ : open_window();
        w.settings().port_name = sim_->device_path();
        w.jobs().set_port_name(sim_->device_path());
        return w;
    }
    // Runs a menu entry's job to its end.
    bool run(MainWindow& w, int entry) {
        w.command(entry);
        return pump_until([&] { return !w.jobs().busy() && !w.jobs().job_registered(); }, 60000);
    }
    std::string received() { return sim_->runner().received(); }
    void TearDown() override {
        window_.reset();
        sim_.reset();
        WindowTest::TearDown();
    }
    std::unique_ptr<orlogix::test::PtySim> sim_;
};

inline std::string flight_path(const char* name) { return std::string(ORLOGIX_TEST_DATA) + "/flights/" + name; }

}  // namespace orlogix::ui::test
