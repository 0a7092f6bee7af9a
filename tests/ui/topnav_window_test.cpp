// The Top Navigator and XC Trainer in the window: their entries and quick
// buttons are enabled, and a download through a quick button from the
// simulated XC Trainer on a pseudo-terminal is saved as its .tnc log and
// opened again to the same positions.
#include <gtest/gtest.h>

#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>

#include "core/file_read.hpp"
#include "sim/topnav/topnav_instrument.hpp"
#include "support/sim_kit.hpp"
#include "window_fixture.hpp"

namespace orlogix::ui {
namespace {

using TopNavWindow = test::InstrumentWindowTest;

TEST_F(TopNavWindow, EntriesAreEnabledAndTheMxpLogSavesAndOpensAsTnc) {
    sim::TopNavConfig c;
    c.xc_trainer = true;
    c.mxp = true;
    c.variant = 2;
    c.positions = orlogix::test::load_flight("flights/flat-xcontest-8.01.igc");
    MainWindow& w = window_on(std::make_unique<sim::TopNavInstrument>(c));
    for (int id : {40039, 40053, 40009, 40071, 40076, 40013, 40090, 40091}) EXPECT_TRUE(w.action(id)->isEnabled()) << id;
    for (int id : {40090, 40091}) EXPECT_TRUE(w.button(id)->isEnabled()) << id;

    w.button(40091)->click();
    ASSERT_TRUE(pump_until([&] { return !w.jobs().busy() && !w.jobs().job_registered(); }, 60000));
    ASSERT_EQ(w.data().track_log.positions.size(), c.positions.size());
    EXPECT_EQ(w.data().track_log.header.baro_present, 1u);
    const std::string raw = w.data().raw_topnav.bytes;
    ASSERT_FALSE(raw.empty());
    const std::vector<TrackPosition> downloaded = w.data().track_log.positions;

    // "Save log As..." with the TopNavigator type (third) writes the log as it came.
    const int rows = w.model()->rowCount();
    w.list()->selectionModel()->select(QItemSelection(w.model()->index(0, 0), w.model()->index(rows - 1, 0)),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const std::string tnc = (dir_ / "log.tnc").string();
    w.set_file_dialog_handler([&](FileRequest& r) {
        r.filter_index = 2;
        return tnc;
    });
    w.command(40116);
    std::string saved;
    ASSERT_EQ(read_file(tnc, saved), 0);
    EXPECT_EQ(saved, raw);

    // "Open log" with the TopNavigator type (fourth) reads it back.
    answers_.push_back(0);
    w.set_file_dialog_handler([&](FileRequest& r) {
        r.filter_index = 3;
        return tnc;
    });
    w.command(40117);
    ASSERT_EQ(w.data().track_log.positions.size(), downloaded.size());
    for (std::size_t i = 0; i < downloaded.size(); ++i) {
        ASSERT_EQ(w.data().track_log.positions[i].time, downloaded[i].time) << i;
        ASSERT_EQ(w.data().track_log.positions[i].latitude, downloaded[i].latitude) << i;
        ASSERT_EQ(w.data().track_log.positions[i].baro_altitude, downloaded[i].baro_altitude) << i;
    }
}

}  // namespace
}  // namespace orlogix::ui
