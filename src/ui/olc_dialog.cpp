#include "ui/olc_dialog.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "analysis/olc_display.hpp"
#include "core/overwrite.hpp"
#include "formats/igc/writer.hpp"

namespace orlogix::ui {

namespace {
constexpr const char* kSaveTitle = "Save OLC data";
}

OlcDialog::OlcDialog(Reporter& r, std::unique_ptr<OlcSession> session, const RawIgcLog* raw, OlcEntries e,
                     std::function<std::string()> save_path, QWidget* parent)
    : QDialog(parent), r_(r), session_(std::move(session)), raw_(raw), save_path_(std::move(save_path)) {
    setWindowTitle("OLC statistics");
    auto* g = new QGridLayout(this);
    int row = 0;
    auto edit = [&](const char* label, const std::string& value, int max) {
        auto* l = new QLabel(label, this);
        auto* f = new QLineEdit(QString::fromStdString(value), this);
        f->setMaxLength(max);
        l->setBuddy(f);
        g->addWidget(l, row, 0);
        g->addWidget(f, row++, 1);
        return f;
    };
    first_name = edit("&First name", e.first_name, 80);
    last_name = edit("&Last name", e.last_name, 80);
    birth_date = edit("&Birth date (dd.mm.yy)", e.birth_date, 80);
    glider_class = new QComboBox(this);
    for (const OlcGliderClass& c : olc_glider_classes()) {
        glider_class->addItem(c.name, c.value);
        if (c.value == e.glider_class) glider_class->setCurrentIndex(glider_class->count() - 1);
    }
    g->addWidget(new QLabel("Glider &class", this), row, 0);
    g->addWidget(glider_class, row++, 1);
    glider_type = edit("Glider &type", e.glider_type, 80);
    call_sign = edit("Call si&gn", e.call_sign, 80);
    start_place = edit("Start &place", e.start_place, 80);
    region = new QComboBox(this);
    for (const OlcRegion& reg : olc_regions()) {
        region->addItem(reg.text, QString(reg.code));
        if (e.region == reg.code) region->setCurrentIndex(region->count() - 1);
    }
    g->addWidget(new QLabel("&Region", this), row, 0);
    g->addWidget(region, row++, 1);
    flight_number = edit("Flight &number", e.flight_number, 20);
    long_name = new QCheckBox("Long file&name", this);
    long_name->setChecked(e.long_file_name);
    g->addWidget(long_name, row++, 1);
    results_ = new QPlainTextEdit(this);
    results_->setReadOnly(true);
    QFont mono("Monospace");
    mono.setStyleHint(QFont::TypeWriter);
    results_->setFont(mono);
    results_->setMinimumWidth(560);
    g->addWidget(results_, 0, 2, row, 1);
    status_ = new QLabel(this);
    progress_ = new QLabel(this);
    g->addWidget(status_, row, 0, 1, 2);
    g->addWidget(progress_, row++, 2);
    auto* buttons = new QHBoxLayout;
    auto* halt_button = new QPushButton("&Halt", this);
    auto* olc_only = new QPushButton("Save &OLC only", this);
    auto* with_igc = new QPushButton("&Save with IGC", this);
    auto* exit_button = new QPushButton("E&xit", this);
    for (QPushButton* b : {halt_button, olc_only, with_igc, exit_button}) buttons->addWidget(b);
    g->addLayout(buttons, row, 0, 1, 3);
    connect(halt_button, &QPushButton::clicked, this, [this] { halt(); });
    connect(olc_only, &QPushButton::clicked, this, [this] { save(false); });
    connect(with_igc, &QPushButton::clicked, this, [this] { save(true); });
    connect(exit_button, &QPushButton::clicked, this, &QDialog::reject);
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] { tick(); });
    timer_->start(200);
}

OlcDialog::~OlcDialog() { session_->stop(); }

void OlcDialog::done(int r) {
    session_->stop();  // halts and waits for the worker first
    timer_->stop();
    QDialog::done(r);
}

void OlcDialog::tick() {
    const OlcProgress& p = session_->progress();
    progress_->setText(QString::fromStdString(progress_text(p.done.load(), p.total.load())));
    if (shown_ || !session_->finished()) return;
    shown_ = true;
    const OlcResults& res = session_->results();
    const auto& positions = session_->positions();
    std::string text;
    const std::pair<OlcKind, const OlcScore*> kinds[] = {
        {OlcKind::MaxDistance, &res.two},          {OlcKind::FreeDistance, &res.free_distance},
        {OlcKind::OutAndReturn, &res.out_and_return}, {OlcKind::FreeTriangle, &res.free_triangle},
        {OlcKind::FaiTriangle, &res.fai_triangle}};
    for (const auto& [kind, score] : kinds) {
        text += olc_heading(kind) + "\n";
        for (const std::string& line : olc_score_lines(positions, *score, kind)) text += line + "\n";
        text += "\n";
    }
    results_->setPlainText(QString::fromStdString(text));
    status_->setText(QString::fromStdString(res.best_text));
}

std::string OlcDialog::results_text() const { return results_->toPlainText().toStdString(); }
std::string OlcDialog::progress_text_shown() const { return progress_->text().toStdString(); }

OlcEntries OlcDialog::entries() const {
    OlcEntries e;
    e.first_name = first_name->text().toStdString();
    e.last_name = last_name->text().toStdString();
    e.birth_date = birth_date->text().toStdString();
    e.glider_class = glider_class->currentData().toInt();
    e.glider_type = glider_type->text().toStdString();
    e.call_sign = call_sign->text().toStdString();
    e.start_place = start_place->text().toStdString();
    e.region = region->currentData().toString().toStdString();
    e.flight_number = flight_number->text().toStdString();
    e.long_file_name = long_name->isChecked();
    return e;
}

int OlcDialog::save(bool with_igc) {
    if (!session_->finished()) {
        r_.error_box(kSaveTitle, "Optimization not yet finished");
        return -1;
    }
    const OlcResults& res = session_->results();
    if (res.best == OlcBest::None) {
        r_.error_box(kSaveTitle, "No OLC result");
        return -1;
    }
    OlcEntries e = entries();
    int flight = 0;
    if (check_olc_entries(r_, e, flight) != 0) return -1;
    birth_date->setText(QString::fromStdString(e.birth_date));
    const auto& positions = session_->positions();
    const std::array<OlcFormPoint, 5> points = olc_form_points(positions, res.olc_points);
    const CalendarTime date = calendar_from_time(positions.front().time);
    const std::string igc_name = olc_igc_file_name(date, raw_ ? raw_->maker : std::string(),
                                                   raw_ ? raw_->serial : std::string(), flight, e.long_file_name);
    const std::string form = olc_form_text(e, igc_name, points, kProgramVersionHundredths / 100,
                                           kProgramVersionHundredths % 100);
    std::string igc;
    if (with_igc) {
        if (raw_) {
            igc = raw_->bytes;
        } else {
            IgcHeaderTexts texts;
            texts.pilot = e.last_name;
            texts.glider_type = e.glider_type;
            texts.glider_id = e.call_sign;
            texts.competition_class = glider_class->currentText().toStdString();
            texts.site = e.start_place;
            IgcEncodeOptions options;
            options.download_time = calendar_now();
            bool signable = false;
            if (encode_igc(positions, texts, options, igc, signable) < 0) {
                r_.error_box(kSaveTitle, "Memory allocation error");
                return -1;
            }
        }
    }
    std::string path = save_path_();
    if (path.empty()) return 0;
    path = olc_file_name(r_, path);
    if (path.empty()) return -1;
    if (!may_replace(r_, path, OverwriteBox::OkCancel)) return 0;
    return write_olc_file(r_, path, olc_file_bytes(form, with_igc ? &igc : nullptr)) == 0 ? 1 : -1;
}

}  // namespace orlogix::ui
