#include "ui/competition_dialogs.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "competition/competition_times.hpp"
#include "competition/pilot_text.hpp"

namespace orlogix::ui {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }
std::string text_of(const QLineEdit* e) { return e->text().toStdString(); }

QDialogButtonBox* ok_and_cancel(QDialog* d) {
    auto* buttons = new QDialogButtonBox(d);
    buttons->addButton("&OK", QDialogButtonBox::AcceptRole);
    buttons->addButton("&Cancel", QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, d, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, d, &QDialog::reject);
    return buttons;
}

// A labelled field in row of g.
QLineEdit* field(QDialog* d, QGridLayout* g, int row, const char* label, const std::string& value, int max) {
    auto* l = new QLabel(label, d);
    auto* e = new QLineEdit(q(value), d);
    e->setMaxLength(max);
    l->setBuddy(e);
    g->addWidget(l, row, 0);
    g->addWidget(e, row, 1);
    return e;
}

void fill_choice(QComboBox* choice, const PilotList& list, int selected) {
    const QSignalBlocker block(choice);
    choice->clear();
    for (const std::string& t : pilot_entry_texts(list)) choice->addItem(q(t));
    choice->setEnabled(!list.empty());
    choice->setCurrentIndex(selected);
}

}  // namespace

std::string instrument_title(const char* title, const std::string& product, const std::string& identification) {
    if (product.empty()) return title;
    if (identification.empty()) return std::string(title) + " (" + product + ")";
    return std::string(title) + " (" + product + ", " + identification + ")";
}

CompetitionTimesDialog::CompetitionTimesDialog(Reporter& r, uint32_t start_time, uint32_t stop_time, QWidget* parent)
    : QDialog(parent), r_(r), start_(start_time), stop_(stop_time) {
    setWindowTitle("Set Competition Times");
    auto* g = new QGridLayout(this);
    auto* about = new QLabel("Set the UTC date/times. Positions with timestamp outside these limits are removed. "
                             "Leave entry/entries blank to skip the test.", this);
    about->setWordWrap(true);
    g->addWidget(about, 0, 0, 1, 2);
    g->addWidget(new QLabel("Format:  YYYY-MM-DD  HH:MM:SS", this), 1, 0, 1, 2);
    const int max = static_cast<int>(kCompTimeFieldMax);
    start = field(this, g, 2, "Start", competition_time_field(start_time), max);
    stop = field(this, g, 3, "Stop", competition_time_field(stop_time), max);
    g->addWidget(ok_and_cancel(this), 4, 0, 1, 2);
}

void CompetitionTimesDialog::accept() {
    if (check_competition_times(r_, text_of(start), text_of(stop), start_, stop_) == 0) QDialog::accept();
}

CompetitionModeDialog::CompetitionModeDialog(bool mode, uint32_t start, uint32_t stop, Actions actions,
                                             QWidget* parent)
    : QDialog(parent), actions_(std::move(actions)) {
    setWindowTitle("Competition Mode");
    auto* g = new QGridLayout(this);
    enabled = new QCheckBox("Competition &mode enabled", this);
    enabled->setChecked(mode);
    g->addWidget(enabled, 0, 0, 1, 2);
    read_list = new QPushButton("&Read pilot list", this);
    pilots = new QLabel(this);
    g->addWidget(read_list, 1, 0);
    g->addWidget(pilots, 1, 1);
    set_times = new QPushButton("&Set comp. time", this);
    start_text = new QLabel(this);
    stop_text = new QLabel(this);
    g->addWidget(set_times, 2, 0);
    g->addWidget(start_text, 2, 1);
    g->addWidget(stop_text, 3, 1);
    g->addWidget(ok_and_cancel(this), 4, 0, 1, 2);
    show_times(start, stop);
    connect(read_list, &QPushButton::clicked, this, [this] {
        const int count = actions_.read_list();
        if (count < 0) return;
        list_read_ = true;
        pilots->setText(QString("%1 pilots").arg(count));
    });
    connect(set_times, &QPushButton::clicked, this, [this] {
        uint32_t s = 0, e = 0;
        if (actions_.set_times(s, e)) show_times(s, e);
    });
}

bool CompetitionModeDialog::mode() const { return enabled->isChecked(); }

void CompetitionModeDialog::show_times(uint32_t start, uint32_t stop) {
    start_text->setText(q(competition_start_text(start)));
    stop_text->setText(q(competition_stop_text(stop)));
}

IdentifyPilotDialog::IdentifyPilotDialog(Reporter& r, const std::string& title, const PilotList& list,
                                         const CurrentPilot& current, const std::string& list_path,
                                         const std::string& folder_path, PilotDialogActions actions, QWidget* parent)
    : QDialog(parent), r_(r), list_(list), actions_(std::move(actions)) {
    setWindowTitle(q(title));
    auto* g = new QGridLayout(this);
    comp_id = field(this, g, 0, "C&OMP ID", "", 19);
    civl_id = field(this, g, 1, "CI&VL ID", "", 19);
    // As long as a list name, so that a chosen entry keeps its whole name.
    name = field(this, g, 2, "&Pilot name", "", static_cast<int>(kPilotNameMax));
    g->addWidget(new QLabel("Pilot list file", this), 3, 0);
    list_file = new QLabel(q(list_path), this);
    browse_list = new QPushButton("B&rowse...", this);
    g->addWidget(list_file, 3, 1);
    g->addWidget(browse_list, 3, 2);
    auto* choice_label = new QLabel("&Select pilot from list", this);
    choice = new QComboBox(this);
    choice_label->setBuddy(choice);
    g->addWidget(choice_label, 4, 0);
    g->addWidget(choice, 4, 1, 1, 2);
    g->addWidget(new QLabel("Track log folder", this), 5, 0);
    folder = new QLabel(q(folder_path), this);
    browse_folder = new QPushButton("&Browse...", this);
    g->addWidget(folder, 5, 1);
    g->addWidget(browse_folder, 5, 2);
    g->addWidget(ok_and_cancel(this), 6, 0, 1, 3);

    const PilotFields opening = opening_fields(list_, current);
    fill_choice(choice, list_, opening.selected);
    show_fields(opening);
    // Typing, not the filling below, looks the number up in the list.
    connect(comp_id, &QLineEdit::textEdited, this, [this] { show_fields(edited_fields(list_, shown(), false)); });
    connect(civl_id, &QLineEdit::textEdited, this, [this] { show_fields(edited_fields(list_, shown(), true)); });
    connect(choice, &QComboBox::activated, this, [this](int i) { show_fields(entry_fields(list_, i)); });
    connect(browse_list, &QPushButton::clicked, this, [this] {
        std::string file;
        if (!actions_.browse_list || !actions_.browse_list(file)) return;
        list_file->setText(q(file));
        // The new list is searched for the numbers typed so far.
        const PilotFields f = shown();
        CurrentPilot now{f.name, PilotIds{}};
        int32_t n = -1;
        if (read_pilot_number(f.comp_id, n) == NumberRead::Ok) now.ids.comp_id = n;
        if (read_pilot_number(f.civl_id, n) == NumberRead::Ok) now.ids.civl_id = n;
        const PilotFields opening = opening_fields(list_, now);
        fill_choice(choice, list_, opening.selected);
        show_fields(opening);
    });
    connect(browse_folder, &QPushButton::clicked, this, [this] {
        std::string chosen;
        if (actions_.browse_folder && actions_.browse_folder(shown(), chosen)) folder->setText(q(chosen));
    });
}

PilotFields IdentifyPilotDialog::shown() const {
    return PilotFields{choice->currentIndex(), text_of(comp_id), text_of(civl_id), text_of(name)};
}

void IdentifyPilotDialog::show_fields(const PilotFields& f) {
    comp_id->setText(q(f.comp_id));
    civl_id->setText(q(f.civl_id));
    name->setText(q(f.name));
    const QSignalBlocker block(choice);
    choice->setCurrentIndex(f.selected);
}

void IdentifyPilotDialog::accept() {
    if (accept_identification(r_, list_, shown(), result_) == 0) QDialog::accept();
}

SelectPilotDialog::SelectPilotDialog(Reporter& r, const std::string& title, PilotList& list, CurrentPilot& current,
                                     bool dash, const std::string& list_path, PilotDialogActions actions,
                                     QWidget* parent)
    : QDialog(parent), r_(r), list_(list), current_(current), actions_(std::move(actions)) {
    setWindowTitle(q(title));
    auto* g = new QGridLayout(this);
    auto* about =
        new QLabel("Running in competition mode. Type your CIVL and/or pilot ID, or select from a list.", this);
    about->setWordWrap(true);
    g->addWidget(about, 0, 0, 1, 3);
    g->addWidget(new QLabel("Pilot ID(s) to be uploaded as waypoint(s):", this), 1, 0, 1, 3);
    comp_id = field(this, g, 2, "C&OMPID", pilot_number_text(current.ids.comp_id), 19);
    civl_id = field(this, g, 3, "CI&VLID", pilot_number_text(current.ids.civl_id), 19);
    nnn = new QCheckBox("-NNN", this);
    nnn->setChecked(dash);
    g->addWidget(nnn, 4, 0, 1, 3);
    g->addWidget(new QLabel("Pilot list file", this), 5, 0);
    list_file = new QLabel(q(list_path), this);
    browse_list = new QPushButton("&Browse...", this);
    g->addWidget(list_file, 5, 1);
    g->addWidget(browse_list, 5, 2);
    choice_label = new QLabel(this);
    choice = new QComboBox(this);
    choice_label->setBuddy(choice);
    g->addWidget(choice_label, 6, 0);
    g->addWidget(choice, 6, 1, 1, 2);
    g->addWidget(ok_and_cancel(this), 7, 0, 1, 3);
    fill_list();
    connect(choice, &QComboBox::activated, this, [this](int i) {
        const PilotFields f = entry_fields(list_, i);
        comp_id->setText(q(f.comp_id));
        civl_id->setText(q(f.civl_id));
    });
    connect(browse_list, &QPushButton::clicked, this, [this] {
        std::string file;
        if (!actions_.browse_list || !actions_.browse_list(file)) return;
        list_file->setText(q(file));
        fill_list();
    });
}

void SelectPilotDialog::fill_list() {
    choice_label->setText(q(select_pilot_label(list_)));
    fill_choice(choice, list_, list_.empty() ? -1 : opening_fields(list_, current_).selected);
}

bool SelectPilotDialog::dash() const { return nnn->isChecked(); }

void SelectPilotDialog::accept() {
    if (accept_selected_pilot(r_, list_, choice->currentIndex(), text_of(comp_id), text_of(civl_id), current_) == 0)
        QDialog::accept();
}

}  // namespace orlogix::ui
