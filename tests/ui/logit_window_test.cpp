// The MLR and LogIt entries in the window, and the "Write GPS name" dialog:
// its refusals and an accepted name reaching the simulated logger.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>

#include "sim/logit/logit_logger.hpp"
#include "support/sim_kit.hpp"
#include "ui/flymaster_dialogs.hpp"
#include "window_fixture.hpp"

namespace orlogix::ui {
namespace {

class LogItWindow : public test::WindowTest {
protected:
    void TearDown() override {
        window_.reset();
        sim_.reset();
        test::WindowTest::TearDown();
    }
    std::unique_ptr<orlogix::test::PtySim> sim_;
};

TEST_F(LogItWindow, EntriesAreOnAndTheNameDialogRefusesFraming) {
    sim_ = std::make_unique<orlogix::test::PtySim>(std::make_unique<sim::LogItLogger>(sim::LogItConfig{}));
    ASSERT_TRUE(sim_->started());
    MainWindow& w = open_window();
    w.settings().port_name = sim_->device_path();
    w.jobs().set_port_name(sim_->device_path());
    for (int id : {40004, 40137, 40033, 40007, 40150, 40010, 40011, 40012, 40069, 40014, 40015, 40016})
        EXPECT_TRUE(w.action(id)->isEnabled()) << id;

    boxes_.clear();
    std::string title;
    int refused = 0;
    w.set_dialog_handler([&](QDialog& d) {
        auto& f = dynamic_cast<FlymasterDataDialog&>(d);
        title = f.windowTitle().toStdString();
        for (const char* bad : {"Jo$", "A,B", "Tab\there"}) {
            f.fields[0]->setText(bad);
            f.accept();
            refused += f.result() != QDialog::Accepted;
        }
        f.fields[0]->setText("ANN");
        f.accept();
        return f.result();
    });
    w.command(40015);
    ASSERT_TRUE(pump_until([&] { return !w.jobs().busy() && !w.jobs().job_registered(); }, 20000));
    EXPECT_EQ(title, "Write GPS name");
    EXPECT_EQ(refused, 3);
    ASSERT_EQ(boxes_.size(), 3u);
    EXPECT_EQ(boxes_[0].text, "Name contains '$'");
    EXPECT_EQ(boxes_[2].text, "Name contains '?'");
    EXPECT_NE(sim_->runner().received().find("$PMLR,IDGPS,01,ANN      ,       *00\r\n"), std::string::npos);
    EXPECT_EQ(w.status_text().toStdString(), "Name sent (no verification)");
}

}  // namespace
}  // namespace orlogix::ui
