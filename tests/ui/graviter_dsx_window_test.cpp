// The Graviter and DSX dialogs in the window, against the simulated
// instruments on a pseudo-terminal: the "No log positions" notice and its
// skip box, the "Write GPS name" dialog, and the "Set DSX pilot data" form
// over the texts read (refusals, and the write that reaches the instrument).
#include <gtest/gtest.h>

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "sim/dsx/dsx_instrument.hpp"
#include "sim/graviter/graviter_instrument.hpp"
#include "support/sim_kit.hpp"
#include "ui/flymaster_dialogs.hpp"
#include "window_fixture.hpp"

namespace orlogix::ui {
namespace {

class GraviterDsxWindow : public test::PtySimWindowTest {
protected:
    int boxes_titled(const char* title) const {
        int n = 0;
        for (const BoxRequest& b : boxes_) n += b.title == title;
        return n;
    }
};

sim::GraviterConfig two_flights_without_fix() {
    sim::GraviterConfig c;
    const std::vector<TrackPosition> flight = orlogix::test::load_flight("flights/d3p.igc");
    std::vector<TrackPosition> some(flight.begin(), flight.begin() + 50);
    c.flights = {{some, 3, false}, {some, 3, false}, {some, 3, true}};
    return c;
}

TEST_F(GraviterDsxWindow, NoLogPositionsNoticeIsSkippedOnceItsBoxIsTicked) {
    for (const bool tick : {false, true}) {
        SCOPED_TRACE(tick);
        MainWindow& w = window_on(std::make_unique<sim::GraviterInstrument>(two_flights_without_fix()));
        boxes_.clear();
        tick_checks_ = tick;
        ASSERT_TRUE(run(w, 40058));
        EXPECT_EQ(boxes_titled("No log positions"), tick ? 1 : 2);
        for (const BoxRequest& b : boxes_)
            if (b.title == "No log positions") {
                EXPECT_EQ(b.kind, "check");
                ASSERT_EQ(b.items.size(), 1u);
                EXPECT_EQ(b.items[0], "&Skip further notifications");
            }
        EXPECT_FALSE(w.data().track_log.positions.empty()) << "the flight with fixes still comes down";
        window_.reset();
    }
}

// Fills the dialog's fields (nullptr: leave as shown) and presses OK.
void fill(FlymasterDataDialog& f, const std::vector<const char*>& inputs) {
    for (std::size_t i = 0; i < inputs.size() && i < f.fields.size(); ++i)
        if (inputs[i]) f.fields[i]->setText(QString::fromUtf8(inputs[i]));
    f.accept();
}

TEST_F(GraviterDsxWindow, GraviterNameDialogRefusesWhatTheInstrumentCannotKeepAndWritesEightBytes) {
    MainWindow& w = window_on(std::make_unique<sim::GraviterInstrument>(sim::GraviterConfig{}));
    EXPECT_TRUE(w.action(40180)->isEnabled());
    bool refused = false;
    int max_length = 0;
    w.set_dialog_handler([&](QDialog& d) {
        auto& f = dynamic_cast<FlymasterDataDialog&>(d);
        EXPECT_EQ(f.windowTitle().toStdString(), "Write GPS name");
        max_length = f.fields[0]->maxLength();
        fill(f, {"JOS\xC3\x89"});
        refused = f.result() != QDialog::Accepted;
        fill(f, {"ANNA"});
        return f.result();
    });
    ASSERT_TRUE(run(w, 40180));
    EXPECT_TRUE(refused);
    EXPECT_EQ(max_length, 8);
    ASSERT_FALSE(boxes_.empty());
    EXPECT_EQ(boxes_[0].title, "Write GPS name");
    EXPECT_EQ(boxes_[0].text, "Name contains '?'");
    const std::string got = received();
    // "ANNA" then four blanks, one memory write per byte at 208..215.
    for (const char* write : {"W000208065", "W000211065", "W000212032", "W000215032"})
        EXPECT_NE(got.find(write), std::string::npos) << write << " in " << got;
    EXPECT_EQ(got.find("W000216"), std::string::npos);
    EXPECT_EQ(w.status_text().toStdString(), "Name sent (no verification)");
}

TEST_F(GraviterDsxWindow, DsxFormShowsTheTextsReadAndRewritesOnlyChangedOnes) {
    sim::DsxConfig c;
    const std::string long_name(80, 'N');   // longer than the form's field
    c.texts = {long_name, "123", "4567", "GLIDER", "SPONSOR"};
    MainWindow& w = window_on(std::make_unique<sim::DsxInstrument>(c));
    EXPECT_TRUE(w.action(40153)->isEnabled());
    std::vector<std::string> shown;
    std::string third_label;
    bool refused = false;
    w.set_dialog_handler([&](QDialog& d) {
        auto& f = dynamic_cast<FlymasterDataDialog&>(d);
        EXPECT_EQ(f.windowTitle().toStdString(), "Set DSX pilot data");
        for (QLineEdit* e : f.fields) shown.push_back(e->text().toStdString());
        f.gliding->setChecked(true);
        auto* form = f.findChild<QFormLayout*>();
        if (auto* l = qobject_cast<QLabel*>(form->labelForField(f.fields[2]))) third_label = l->text().toStdString();
        fill(f, {nullptr, "7\t7"});
        refused = f.result() != QDialog::Accepted;
        // Comp. ID changed, field 5 emptied, the rest left as shown; an extra text.
        fill(f, {nullptr, "777", nullptr, nullptr, "", "EXTRA"});
        return f.result();
    });
    ASSERT_TRUE(run(w, 40153));
    ASSERT_EQ(shown.size(), 6u);
    EXPECT_EQ(shown[0], std::string(62, 'N'));
    EXPECT_EQ(shown[2], "4567");
    EXPECT_EQ(third_label, "Comp. class");
    EXPECT_TRUE(refused);
    ASSERT_FALSE(boxes_.empty());
    EXPECT_EQ(boxes_[0].title, "Set DSX pilot data");
    EXPECT_EQ(boxes_[0].text, "Comp. ID contains '?'");
    const std::string got = received();
    EXPECT_NE(got.find("H2777\r"), std::string::npos) << got;
    EXPECT_NE(got.find("C1EXTRA\r"), std::string::npos) << got;
    for (const char* unsent : {"H1", "H3", "H4", "H5"}) EXPECT_EQ(got.find(unsent), std::string::npos) << unsent;
    EXPECT_EQ(w.status_text().toStdString(), "Data sent");
}

}  // namespace
}  // namespace orlogix::ui
