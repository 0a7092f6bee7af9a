// "Save log in &IGC format" through its dialog.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>

#include "core/text_buffer.hpp"
#include "formats/igc_reader.hpp"
#include "ui/igc_dialog.hpp"
#include "window_fixture.hpp"

namespace orlogix::ui {
namespace {

using IgcSave = test::WindowTest;

TEST_F(IgcSave, ChecksTheFieldsThenWritesTheSelectionAndRemembersTheValues) {
    MainWindow& w = open_window();
    ASSERT_GT(w.open_track_file(test::flight_path("d3p.igc")), 0);
    w.command(40042);
    std::string suggested;
    w.set_file_dialog_handler([&](FileRequest& r) {
        suggested = r.name;
        EXPECT_EQ(r.filters.size(), 1u);  // a prefilled name offers the IGC filter alone
        r.filter_index = 0;
        return (dir_ / "out").string();
    });
    bool stayed_open = false;
    w.set_dialog_handler([&](QDialog& d) {
        auto& g = dynamic_cast<IgcFormatDialog&>(d);
        g.pilot->clear();
        g.accept();
        stayed_open = g.result() != QDialog::Accepted;
        g.pilot->setText("  Anna   Berg ");
        g.flight->setText("3");
        g.serial->setText("AB1");
        g.long_name->click();
        g.short_name->click();  // clears the long form
        EXPECT_FALSE(g.long_name->isChecked());
        g.long_name->click();
        g.accept();
        return g.result();
    });
    w.command(40043);
    EXPECT_TRUE(stayed_open);
    EXPECT_TRUE(has_box("Checking IGC parameters", "Missing pilot name"));
    const CalendarTime c = calendar_from_time(w.data().track_log.positions.front().time);
    EXPECT_EQ(suggested, strformat("%d-%02d-%02d-XQV-AB1-03.igc", c.year, c.month, c.day));
    std::string bytes;
    ASSERT_EQ(read_file((dir_ / "out.igc").string(), bytes), 0);
    EXPECT_NE(bytes.find("Anna Berg"), std::string::npos);
    IgcParsed parsed;
    IgcParseError err;
    ASSERT_GT(parse_igc(bytes, parsed, err), 0) << err.text;
    EXPECT_EQ(parsed.positions.size(), w.data().track_log.positions.size());
    EXPECT_EQ(w.data().track_log.header.saved, 1u);
    EXPECT_EQ(w.settings().igc_pilot_name, "Anna Berg");
    EXPECT_EQ(w.settings().igc_contest_id, "AB1");
    EXPECT_EQ(w.settings().igc_save_mask, 1);
}

TEST_F(IgcSave, DecliningToOverwriteKeepsTheFileAndTheDialog) {
    MainWindow& w = open_window();
    ASSERT_GT(w.open_track_file(test::flight_path("line.igc")), 0);
    w.command(40042);
    const std::string path = (dir_ / "kept.igc").string();
    ASSERT_EQ(write_file_atomic(path, "old"), 0);
    w.set_file_dialog_handler([&](FileRequest&) { return path; });
    int tries = 0;
    w.set_dialog_handler([&](QDialog& d) {
        auto& g = dynamic_cast<IgcFormatDialog&>(d);
        g.pilot->setText("P");
        g.flight->setText("1");
        g.serial->setText("XYZ");
        g.accept();  // the overwrite question gets Cancel
        ++tries;
        return g.result();
    });
    w.command(40043);
    EXPECT_EQ(tries, 1);
    EXPECT_TRUE(has_box("File creation", "File already exists, overwrite ?"));
    std::string bytes;
    ASSERT_EQ(read_file(path, bytes), 0);
    EXPECT_EQ(bytes, "old");
    EXPECT_EQ(w.data().track_log.header.saved, 0u);
}

}  // namespace
}  // namespace orlogix::ui
