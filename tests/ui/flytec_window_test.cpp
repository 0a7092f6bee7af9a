// The Flytec/Brauniger and IQ Basic families in the window: their entries and
// buttons, downloads through the menus from simulated instruments on
// pseudo-terminals, "Read all" into one file, and the "Track List" dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "core/file_read.hpp"
#include "core/report.hpp"
#include "sim/flytec/flytec_instrument.hpp"
#include "sim/flytec/iq_basic_instrument.hpp"
#include "sim/harness.hpp"
#include "ui/qt_reporter.hpp"
#include "window_fixture.hpp"

namespace orlogix::ui {
namespace {

class FlytecWindow : public test::InstrumentWindowTest {
protected:
    std::vector<sim::FlytecTrack> flights(std::initializer_list<const char*> names) {
        std::vector<std::string> paths;
        for (const char* n : names) paths.push_back(test::flight_path(n));
        std::vector<sim::FlytecTrack> tracks;
        SilentReporter quiet;
        EXPECT_TRUE(sim::load_served_tracks(quiet, paths, "1234", tracks));
        return tracks;
    }
    bool run(MainWindow& w, int entry) {
        w.command(entry);
        return pump_until([&] { return !w.jobs().busy() && !w.jobs().job_registered(); }, 60000);
    }
    std::string shown() const {
        std::string all;
        for (const BoxRequest& b : boxes_) all += b.kind + " " + b.title + ": " + b.text + "\n";
        return all;
    }
};

TEST_F(FlytecWindow, EntriesAndButtonsAreEnabledAndDownloadsFillTheLog) {
    sim::FlytecConfig c;
    c.tracks = flights({"d3p.igc", "line.igc"});
    MainWindow& w = window_on(std::make_unique<sim::FlytecInstrument>(c));
    for (int id : {40054, 40085, 40119, 40120, 40055, 40098, 40109, 40155, 40158, 40159})
        EXPECT_TRUE(w.action(id)->isEnabled()) << id;
    for (int id : {40054, 40085}) EXPECT_TRUE(w.button(id)->isEnabled()) << id;

    chosen_lines_ = {1};
    ASSERT_TRUE(run(w, 40054));
    ASSERT_FALSE(boxes_.empty());
    EXPECT_EQ(boxes_.front().kind, "choose_many");
    EXPECT_EQ(boxes_.front().items.size(), 2u);
    EXPECT_EQ(w.data().track_log.positions.size(), 8528u) << "every fix of line.igc";
    EXPECT_EQ(w.model()->rowCount(), 8528);
    EXPECT_EQ(w.exit_code(), 0);
}

TEST_F(FlytecWindow, ReadAllWritesTheChosenFlightsAndLeavesTheLog) {
    sim::FlytecConfig c;
    c.tracks = flights({"d3p.igc", "flat-xcontest-8.01.igc"});
    MainWindow& w = window_on(std::make_unique<sim::FlytecInstrument>(c));
    chosen_lines_ = {0, 1};
    save_path_ = (dir_ / "all").string();
    ASSERT_TRUE(run(w, 40119));
    EXPECT_TRUE(has_box("Save DezuvaDar track", "File written")) << shown();
    std::string kml;
    ASSERT_EQ(read_file((dir_ / "all.kml").string(), kml), 0);
    std::size_t folders = 0;
    for (std::size_t at = kml.find("  <Folder>"); at != std::string::npos; at = kml.find("  <Folder>", at + 1)) ++folders;
    EXPECT_EQ(folders, 2u);
    EXPECT_TRUE(w.data().track_log.positions.empty());
    EXPECT_FALSE(has_box("Unsaved track log", "Continue without saving current track log ?"));
    EXPECT_EQ(w.exit_code(), 0);
}

// tri.igc's A-record "AXSR" is too short for a Flytec IGC text.
TEST_F(FlytecWindow, AShortARecordFailsTheDownloadAndKeepsTheLog) {
    sim::FlytecConfig c;
    c.tracks = flights({"tri.igc"});
    MainWindow& w = window_on(std::make_unique<sim::FlytecInstrument>(c));
    chosen_lines_ = {0};
    ASSERT_TRUE(run(w, 40054));
    EXPECT_TRUE(has_box("Read GPS track log", "E206 Format error 28")) << shown();
    EXPECT_TRUE(w.data().track_log.positions.empty());
}

TEST_F(FlytecWindow, IqBasicDownloadsThroughItsEntry) {
    sim::IqBasicConfig c;
    c.tracks = flights({"d3p.igc"});
    MainWindow& w = window_on(std::make_unique<sim::IqBasicInstrument>(c));
    chosen_lines_ = {0};
    ASSERT_TRUE(run(w, 40155));
    EXPECT_EQ(w.data().track_log.positions.size(), 2527u) << shown();
}

// The dialog itself: the first line is selected, OK gives the selection,
// &All every line, closing none.
TEST(TrackListDialog, OkAllAndClose) {
    test::application();
    QWidget window;
    QtReporter r(&window);
    const std::vector<std::string> lines = {"01   a", "02   b", "03   c"};
    const struct {
        const char* press;   // a button's text, or "" to close the dialog
        std::vector<int> chosen;
    } cases[] = {{"OK", {0}}, {"&All", {0, 1, 2}}, {"", {}}};
    for (const auto& c : cases) {
        std::string caption;
        std::vector<std::string> notes;
        QTimer::singleShot(0, [&] {
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            caption = d->windowTitle().toStdString();
            for (QLabel* l : d->findChildren<QLabel*>()) notes.push_back(l->text().toStdString());
            auto* list = d->findChild<QListWidget*>("trackList");
            ASSERT_NE(list, nullptr);
            EXPECT_EQ(list->selectedItems().size(), 1);
            EXPECT_EQ(list->currentRow(), 0);
            if (!*c.press) {
                d->reject();
                return;
            }
            for (QPushButton* b : d->findChildren<QPushButton*>())
                if (b->text() == c.press) b->click();
        });
        EXPECT_EQ(r.choose_many("Track List (ttyS0, Compeo+)", {"Showing up to 31 tracks.", "note"}, lines, 2),
                  c.chosen)
            << c.press;
        EXPECT_EQ(caption, "Track List (ttyS0, Compeo+)");
        EXPECT_EQ(notes, (std::vector<std::string>{"Showing up to 31 tracks.", "note"}));
    }
}

}  // namespace
}  // namespace orlogix::ui
