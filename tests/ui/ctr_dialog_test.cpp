// "New CTR" and "Edit CTR" through the CTR menu, with the dialog driven by the test.
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>
#include <QPlainTextEdit>

#include "ui/ctr_dialog.hpp"
#include "window_fixture.hpp"

namespace orlogix::ui::test {
namespace {

class CtrEdit : public WindowTest {
protected:
    void select_row(int row) {
        window_->list()->clearSelection();
        QItemSelection range(window_->model()->index(row, 0), window_->model()->index(row, 0));
        window_->list()->selectionModel()->select(range, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
};

TEST_F(CtrEdit, NewCtrGoesToTheFrontAndEditReplacesItInPlace) {
    MainWindow& w = open_window();
    std::string shown;
    w.set_dialog_handler([&](QDialog& d) {
        auto& c = dynamic_cast<CtrDialog&>(d);
        shown = c.text->toPlainText().toStdString();
        EXPECT_EQ(c.warning->text().toStdString(), "200");
        c.text->setPlainText("AC R\nAN FIRST\nAL GND\nAH FL100\nDP 45:00:00 N 006:00:00 E\n"
                             "DP 45:10:00 N 006:00:00 E\nDP 45:10:00 N 006:10:00 E\n");
        c.accept();
        return c.result();
    });
    w.command(40105);
    EXPECT_NE(shown.find("AN Put airspace name here"), std::string::npos) << shown;
    ASSERT_EQ(w.data().ctrs.size(), 1u);
    EXPECT_EQ(w.data().ctrs[0].name, "FIRST");
    EXPECT_EQ(w.data().ctrs[0].segments.size(), 3u);
    EXPECT_EQ(w.view_mode(), kViewCtrs);

    // A second new one goes in front.
    w.set_dialog_handler([&](QDialog& d) {
        auto& c = dynamic_cast<CtrDialog&>(d);
        c.text->setPlainText("AN SECOND\nAL GND\nAH 2000ft\nV X=45:30:00 N 006:30:00 E\nDC 2\n");
        c.accept();
        return c.result();
    });
    w.command(40105);
    ASSERT_EQ(w.data().ctrs.size(), 2u);
    EXPECT_EQ(w.data().ctrs[0].name, "SECOND");

    // Edit the selected row: bad distance keeps the dialog open, then a good one replaces it.
    select_row(1);
    w.set_dialog_handler([&](QDialog& d) {
        auto& c = dynamic_cast<CtrDialog&>(d);
        shown = c.text->toPlainText().toStdString();
        c.warning->setText("12x");
        c.accept();
        if (c.result() == QDialog::Accepted) return 0;
        c.warning->setText("350");
        c.text->setPlainText(c.text->toPlainText().replace("AN FIRST", "AN RENAMED"));
        c.accept();
        return c.result();
    });
    w.command(40104);
    EXPECT_NE(shown.find("AN FIRST"), std::string::npos) << shown;
    EXPECT_TRUE(has_box("Edit CTR", "Bad warning distance format"));
    ASSERT_EQ(w.data().ctrs.size(), 2u);
    EXPECT_EQ(w.data().ctrs[1].name, "RENAMED");
    EXPECT_EQ(w.data().ctrs[1].warning_distance, 350);
    EXPECT_EQ(w.data().ctrs[0].name, "SECOND");
}

TEST_F(CtrEdit, EditNeedsTheCtrViewAndASelection) {
    MainWindow& w = open_window();
    bool opened = false;
    w.set_dialog_handler([&](QDialog&) {
        opened = true;
        return 0;
    });
    w.command(40104);  // track view shown: refused
    EXPECT_FALSE(opened);
    EXPECT_FALSE(boxes_.empty());
}

}  // namespace
}  // namespace orlogix::ui::test
