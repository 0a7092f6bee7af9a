// The Flymaster family in the window: its entries, a menu download from the
// simulated variometer on a pseudo-terminal (switched off by its own
// toggle, not the general one), and the three Misc dialogs: their refusals
// and an accepted write reaching the instrument.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QPushButton>

#include "sim/flymaster/flymaster_instrument.hpp"
#include "support/sim_kit.hpp"
#include "ui/flymaster_dialogs.hpp"
#include "window_fixture.hpp"

namespace orlogix::ui {
namespace {

class FlymasterWindow : public test::PtySimWindowTest {
protected:
    MainWindow& window_on(const std::string& model) {
        sim::FlymasterConfig c;
        c.model = model;
        sim::FlymasterTrack t;
        t.positions = orlogix::test::load_flight("flights/d3p.igc");
        t.start = t.positions.front().time;
        t.duration = t.positions.back().time - t.start;
        c.tracks.push_back(std::move(t));
        return PtySimWindowTest::window_on(std::make_unique<sim::FlymasterInstrument>(c));
    }
};

TEST_F(FlymasterWindow, EntriesAreOnAndADownloadSwitchesOffByItsOwnToggle) {
    MainWindow& w = window_on("F1");
    for (int id : {40126, 40167, 40163, 40164, 40165, 40166, 40145, 40157, 40146})
        EXPECT_TRUE(w.action(id)->isEnabled()) << id;
    EXPECT_TRUE(w.button(40126)->isEnabled());

    // The general power-off toggle leaves a Flymaster on ...
    w.action(40144)->trigger();
    ASSERT_TRUE(w.action(40144)->isChecked());
    chosen_lines_ = {0};
    ASSERT_TRUE(run(w, 40126));
    EXPECT_EQ(w.data().track_log.positions.size(), 2527u) << "every fix of d3p.igc";
    EXPECT_EQ(w.data().track_log.header.product_name, "Flymaster");
    EXPECT_EQ(received().find("$PFMOFF"), std::string::npos);

    // ... "Pwr off after log read" switches it off.
    w.data().track_log.header.saved = true;
    w.action(40146)->trigger();
    EXPECT_EQ(w.settings().flymaster_pwr_off, 1);
    ASSERT_TRUE(run(w, 40126));
    EXPECT_EQ(w.data().track_log.positions.size(), 2527u);
    EXPECT_TRUE(received().ends_with("$PFMOFF*14\r\n")) << received().substr(received().size() - 40);
}

// Each dialog: inputs it refuses (with the box it shows, the dialog staying
// open), then the inputs of the write that reaches the instrument.
TEST_F(FlymasterWindow, DialogsRefuseBadFieldsAndWriteGoodOnes) {
    struct Refusal {
        std::vector<const char*> inputs;
        const char* caption;
        const char* message;
    };
    const struct {
        int entry;
        const char* model;
        const char* title;
        std::vector<Refusal> refused;
        std::vector<const char*> accepted;
        const char* sentence;   // the start of what the instrument receives
    } cases[] = {
        {40145, "F1", "Set Flymaster Name",
         {{{"ANNA*", "", "", ""}, "Set Flymaster data", "Pilot name contains '*'"},
          {{"ANNA", "5,7", "", ""}, "Set Flymaster data", "Comp. number contains ','"},
          {{"ANNA", "57", "OZ*NE", ""}, "Set Flymaster data", "Glider brand contains '*'"},
          {{"ANNA", "57", "OZONE", "RUSH,5"}, "Set Flymaster data", "Glider model contains ','"}},
         {"ANNA BERG", "57", "", "RUSH 5"},
         "$PFMPLT,ANNA BERG,57,,RUSH 5,*"},
        {40157, "F1", "Set Flymaster altitude alarm",
         {{{" "}, "Set Flymaster data", "Missing input"},
          {{"12a"}, "Set Flymaster data", "Bad input format"},
          {{"-5"}, "Set Flymaster data", "Bad input format"},
          {{"11001"}, "Set Flymaster data", "Altitude too high"}},
         {"11000"},
         "$PFMALT,11000,*"},
        {40166, "B1NAV", "Set Flymaster IDs",
         {{{"ANNA, BERG", "57", "12345"}, "Set Flymaster IDs", "Pilot name contains ','"},
          {{"ANNA", "5x", "12345"}, "Set Flymaster IDs", "Bad comp. ID"},
          {{"ANNA", "57", "12 45"}, "Set Flymaster IDs", "Bad CIVL ID"},
          {{"ANNA", "57", "-1"}, "Set Flymaster IDs", "Bad CIVL ID"}},
         {"ANNA BERG", "57", "12345"},
         "$PFMIDS,57,12345,ANNA BERG*28\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        MainWindow& w = window_on(c.model);
        boxes_.clear();
        std::string title;
        int open_after_refusals = 0;
        w.set_dialog_handler([&](QDialog& d) {
            auto& f = dynamic_cast<FlymasterDataDialog&>(d);
            title = f.windowTitle().toStdString();
            auto fill = [&](const std::vector<const char*>& inputs) {
                EXPECT_EQ(inputs.size(), f.fields.size());
                for (std::size_t i = 0; i < inputs.size() && i < f.fields.size(); ++i) f.fields[i]->setText(inputs[i]);
                f.accept();
            };
            for (const Refusal& r : c.refused) {
                fill(r.inputs);
                if (f.result() != QDialog::Accepted) ++open_after_refusals;
            }
            fill(c.accepted);
            return f.result();
        });
        ASSERT_TRUE(run(w, c.entry));
        EXPECT_EQ(title, c.title);
        EXPECT_EQ(open_after_refusals, static_cast<int>(c.refused.size()));
        ASSERT_GE(boxes_.size(), c.refused.size());
        for (std::size_t i = 0; i < c.refused.size(); ++i) {
            EXPECT_EQ(boxes_[i].title, c.refused[i].caption);
            EXPECT_EQ(boxes_[i].text, c.refused[i].message);
        }
        EXPECT_EQ(boxes_.size(), c.refused.size()) << "the write shows no box";
        EXPECT_NE(received().find(c.sentence), std::string::npos) << received();
        EXPECT_EQ(w.status_text().toStdString(), "Data sent");
    }
}

TEST_F(FlymasterWindow, AnAltitudeAlarmOfZeroSendsNothing) {
    MainWindow& w = window_on("F1");
    w.set_dialog_handler([&](QDialog& d) {
        auto& f = dynamic_cast<FlymasterDataDialog&>(d);
        f.fields[0]->setText("0");
        f.accept();
        return f.result();
    });
    w.command(40157);
    EXPECT_FALSE(w.jobs().busy());
    EXPECT_TRUE(boxes_.empty());
    EXPECT_TRUE(received().empty());
}

}  // namespace
}  // namespace orlogix::ui
