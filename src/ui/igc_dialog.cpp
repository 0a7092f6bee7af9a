#include "ui/igc_dialog.hpp"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace orlogix::ui {

IgcFormatDialog::IgcFormatDialog(Reporter& r, const IgcDialogValues& v,
                                 std::function<int(IgcDialogValues&, int)> write, QWidget* parent)
    : QDialog(parent), r_(r), write_(std::move(write)) {
    setWindowTitle("IGC File Format");
    auto* g = new QGridLayout(this);
    int row = 0;
    auto edit = [&](const char* label, const std::string& value, int max) {
        auto* l = new QLabel(label, this);
        auto* e = new QLineEdit(QString::fromStdString(value), this);
        e->setMaxLength(max);
        l->setBuddy(e);
        g->addWidget(l, row, 0);
        g->addWidget(e, row++, 1);
        return e;
    };
    pilot = edit("&Pilot", v.pilot, 80);
    flight = edit("&Flight # (1-35)", v.flight_number, 10);
    serial = edit("FR serial no.", v.fr_serial, 3);
    g->addWidget(new QLabel("3 alpha/num", this), row - 1, 2);
    glider_type = edit("&Glider Type", v.glider_type, 80);
    glider_id = edit("Glider &ID", v.glider_id, 80);
    site = edit("&Site", v.site, 80);
    glider_class = edit("&Class", v.competition_class, 80);
    long_name = new QCheckBox("Save with IGC long file name", this);
    short_name = new QCheckBox("Save with IGC short file name", this);
    enl = new QCheckBox("Add ENL from trk depth", this);
    long_name->setChecked(v.name_form == IgcNameForm::Long);
    short_name->setChecked(v.name_form == IgcNameForm::Short);
    enl->setChecked(v.add_enl);
    // The two name forms exclude each other; both may be off.
    connect(long_name, &QCheckBox::clicked, this, [this](bool on) { if (on) short_name->setChecked(false); });
    connect(short_name, &QCheckBox::clicked, this, [this](bool on) { if (on) long_name->setChecked(false); });
    g->addWidget(long_name, row++, 0, 1, 3);
    g->addWidget(short_name, row++, 0, 1, 3);
    g->addWidget(enl, row++, 0, 1, 3);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton("&Save", QDialogButtonBox::AcceptRole);
    buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &IgcFormatDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &IgcFormatDialog::reject);
    g->addWidget(buttons, row, 0, 1, 3);
}

IgcDialogValues IgcFormatDialog::values() const {
    IgcDialogValues v;
    v.pilot = pilot->text().toStdString();
    v.flight_number = flight->text().toStdString();
    v.fr_serial = serial->text().toStdString();
    v.glider_type = glider_type->text().toStdString();
    v.glider_id = glider_id->text().toStdString();
    v.site = site->text().toStdString();
    v.competition_class = glider_class->text().toStdString();
    v.name_form = long_name->isChecked() ? IgcNameForm::Long : short_name->isChecked() ? IgcNameForm::Short : IgcNameForm::None;
    v.add_enl = enl->isChecked();
    return v;
}

void IgcFormatDialog::accept() {
    IgcDialogValues v = values();
    const int flight_number = check_igc_dialog(r_, v);
    if (flight_number < 0) return;
    if (write_(v, flight_number) == 1) QDialog::accept();
}

}  // namespace orlogix::ui
