// "Save log in &IGC format" through its dialog.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>

#include "core/file_read.hpp"
#include "core/text_buffer.hpp"
#include "formats/igc/reader.hpp"
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
    EXPECT_EQ(w.settings().igc_save_mask, 3);  // saved with the long name
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

// "Save IGC log from &GPS": the file as it came, under a name from its own
// maker code and serial; the flight number and name form are shared with
// "Save log in &IGC format".
TEST_F(IgcSave, TheRawLogAsksForTheFlightNumberAndKeepsItsBytes) {
    MainWindow& w = open_window();
    w.command(40072);
    EXPECT_TRUE(has_box("Save IGC log", "No raw IGC log stored"));
    ASSERT_GT(w.open_track_file(test::flight_path("d3p.igc")), 0);
    std::string original;
    ASSERT_EQ(read_file(test::flight_path("d3p.igc"), original), 0);
    std::vector<FileRequest> requests;
    w.set_file_dialog_handler([&](FileRequest& r) {
        requests.push_back(r);
        r.filter_index = 0;
        return (dir_ / "raw").string();
    });
    int dialogs = 0;
    w.set_dialog_handler([&](QDialog& d) {
        ++dialogs;
        auto& g = dynamic_cast<IgcRawDialog&>(d);
        EXPECT_EQ(g.windowTitle().toStdString(), "Save IGC track log from GPS");
        EXPECT_EQ(g.flight->text().toStdString(), "1");  // the stored flight number
        EXPECT_TRUE(g.short_name->isChecked());         // a fresh install's name form
        for (const char* bad : {" ", "1x", "36"}) {
            g.flight->setText(bad);
            g.accept();
            EXPECT_NE(g.result(), QDialog::Accepted) << bad;
        }
        EXPECT_TRUE(requests.empty());
        g.flight->setText(" 7 ");
        g.long_name->click();
        EXPECT_FALSE(g.short_name->isChecked());
        g.accept();
        return g.result();
    });
    w.command(40072);
    EXPECT_EQ(dialogs, 1);
    for (const char* text : {"Missing flight number", "Bad flight number input", "Flight number out of range"})
        EXPECT_TRUE(has_box("IGC file parameter check", text)) << text;
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].name, "2019-06-15-XSD-GPB-07.igc");
    EXPECT_EQ(requests[0].filters.size(), 1u);
    std::string bytes;
    ASSERT_EQ(read_file((dir_ / "raw.igc").string(), bytes), 0);
    EXPECT_EQ(bytes, original);
    EXPECT_EQ(w.data().track_log.header.saved, 1u);
    EXPECT_EQ(w.settings().igc_flight_no, "7");
    EXPECT_EQ(w.settings().igc_save_mask, 3);

    // "Save log in &IGC format" opens with the same choice.
    w.command(40042);
    w.set_dialog_handler([&](QDialog& d) {
        auto& g = dynamic_cast<IgcFormatDialog&>(d);
        EXPECT_EQ(g.flight->text().toStdString(), "7");
        EXPECT_TRUE(g.long_name->isChecked());
        return static_cast<int>(QDialog::Rejected);
    });
    w.command(40043);

    // Declining to overwrite closes this dialog and writes nothing.
    w.data().track_log.header.saved = 0;
    ASSERT_EQ(write_file_atomic((dir_ / "raw.igc").string(), "old"), 0);
    w.set_dialog_handler([&](QDialog& d) {
        ++dialogs;
        auto& g = dynamic_cast<IgcRawDialog&>(d);
        EXPECT_EQ(g.flight->text().toStdString(), "7");
        EXPECT_TRUE(g.long_name->isChecked());
        g.short_name->click();
        g.accept();  // the overwrite question gets No
        return g.result();
    });
    w.command(40072);
    EXPECT_EQ(dialogs, 2);
    EXPECT_EQ(requests.back().name, "96FXGPB7.igc");
    EXPECT_TRUE(has_box("File creation", "File already exists, overwrite ?"));
    ASSERT_EQ(read_file((dir_ / "raw.igc").string(), bytes), 0);
    EXPECT_EQ(bytes, "old");
    EXPECT_EQ(w.data().track_log.header.saved, 0u);
    EXPECT_EQ(w.settings().igc_save_mask, 3);  // nothing saved, nothing remembered
}

}  // namespace
}  // namespace orlogix::ui
