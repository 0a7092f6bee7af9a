#include "ui/igc_dialog.hpp"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace orlogix::ui {

namespace {

// The two name forms exclude each other; both may be off.
void exclude_each_other(QCheckBox* a, QCheckBox* b, IgcNameForm form) {
    a->setChecked(form == IgcNameForm::Long);
    b->setChecked(form == IgcNameForm::Short);
    QObject::connect(a, &QCheckBox::clicked, b, [b](bool on) { if (on) b->setChecked(false); });
    QObject::connect(b, &QCheckBox::clicked, a, [a](bool on) { if (on) a->setChecked(false); });
}

IgcNameForm form_of(const QCheckBox* long_name, const QCheckBox* short_name) {
    return long_name->isChecked() ? IgcNameForm::Long : short_name->isChecked() ? IgcNameForm::Short : IgcNameForm::None;
}

QDialogButtonBox* save_and_cancel(QDialog* d, const char* cancel) {
    auto* buttons = new QDialogButtonBox(d);
    buttons->addButton("&Save", QDialogButtonBox::AcceptRole);
    buttons->addButton(cancel, QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, d, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, d, &QDialog::reject);
    return buttons;
}

}  // namespace

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
    exclude_each_other(long_name, short_name, v.name_form);
    enl->setChecked(v.add_enl);
    g->addWidget(long_name, row++, 0, 1, 3);
    g->addWidget(short_name, row++, 0, 1, 3);
    g->addWidget(enl, row++, 0, 1, 3);
    g->addWidget(save_and_cancel(this, "Cancel"), row, 0, 1, 3);
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
    v.name_form = form_of(long_name, short_name);
    v.add_enl = enl->isChecked();
    return v;
}

void IgcFormatDialog::accept() {
    IgcDialogValues v = values();
    const int flight_number = check_igc_dialog(r_, v);
    if (flight_number < 0) return;
    if (write_(v, flight_number) == 1) QDialog::accept();
}

IgcRawDialog::IgcRawDialog(Reporter& r, const std::string& flight_number, IgcNameForm form, Write write,
                           QWidget* parent)
    : QDialog(parent), r_(r), write_(std::move(write)) {
    setWindowTitle("Save IGC track log from GPS");
    auto* g = new QGridLayout(this);
    auto* label = new QLabel("&Flight # (1-35)", this);
    flight = new QLineEdit(QString::fromStdString(flight_number), this);
    flight->setMaxLength(7);
    label->setBuddy(flight);
    g->addWidget(label, 0, 0);
    g->addWidget(flight, 0, 1);
    long_name = new QCheckBox("Save with IGC &long file name", this);
    short_name = new QCheckBox("Save with IGC &short file name", this);
    exclude_each_other(long_name, short_name, form);
    g->addWidget(long_name, 1, 0, 1, 2);
    g->addWidget(short_name, 2, 0, 1, 2);
    g->addWidget(save_and_cancel(this, "&Cancel"), 3, 0, 1, 2);
}

IgcNameForm IgcRawDialog::name_form() const { return form_of(long_name, short_name); }

void IgcRawDialog::accept() {
    const std::string text = flight->text().toStdString();
    const int number = check_igc_flight_number(r_, text, "IGC file parameter check");
    if (number < 0) return;
    if (write_(text, number, name_form()) == 1) QDialog::accept();
}

}  // namespace orlogix::ui
