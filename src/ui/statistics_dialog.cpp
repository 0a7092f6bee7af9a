#include "ui/statistics_dialog.hpp"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

#include "analysis/contest/contest_report.hpp"
#include "core/report.hpp"
#include "formats/kml/logbook.hpp"

namespace orlogix::ui {

namespace {
constexpr int kDescriptionMax = 8000;
const char* const kResultNames[8] = {
    "Greatest dist. between any two points", "Greatest distance using 3 points", "Greatest distance using 4 points",
    "Greatest distance using 5 points",      "Greatest out-and-return",          "Greatest triangle",
    "Greatest FAI triangle",                 "Contest score"};
}  // namespace

StatisticsDialog::StatisticsDialog(Reporter& r, std::unique_ptr<StatisticsSession> session,
                                   std::function<std::string(const std::string&)> save_path,
                                   std::optional<std::string> instrument, uint32_t loop_gap,
                                   const ContestRules& contest_rules, QWidget* parent)
    : QDialog(parent), r_(r), session_(std::move(session)), save_path_(std::move(save_path)),
      instrument_(std::move(instrument)), loop_gap_(loop_gap), contest_(new ContestRun(this)) {
    setWindowTitle("Flight statistics");
    auto* g = new QGridLayout(this);
    const StatisticsTexts t = statistics_texts(session_->statistics());
    int row = 0;
    auto add = [&](const char* label, const std::string& a, const char* name, const std::string& b = {},
                   const char* name_b = nullptr) {
        g->addWidget(new QLabel(label, this), row, 0);
        auto* l = new QLabel(QString::fromStdString(a), this);
        l->setObjectName(name);
        g->addWidget(l, row, 1);
        if (name_b) {
            auto* l2 = new QLabel(QString::fromStdString(b), this);
            l2->setObjectName(name_b);
            g->addWidget(l2, row, 2);
        }
        ++row;
    };
    add("Date (UTC)", t.date, "date");
    add("Start / Finish (UTC)", t.start, "start", t.finish, "finish");
    add("Duration (hh:mm:ss)", t.duration, "duration");
    add("Max./ min. height", t.highest, "highest", t.lowest, "lowest");
    add("Max. mean/top speed", t.best_mean_speed, "best_mean_speed", t.top_speed, "top_speed");
    add("Total distance", t.total_distance, "total_distance");
    for (int i = 0; i < 8; ++i) {
        if (i == 7) {
            // The rules of the score below, one entry per league of the table.
            auto* label = new QLabel("Contest &rules", this);
            g->addWidget(label, row, 0);
            rules_box_ = new QComboBox(this);
            rules_box_->setObjectName("contest_rules");
            for (const ContestRules& rules : contest_rule_sets())
                rules_box_->addItem(QString::fromUtf8(rules.name.data(), static_cast<qsizetype>(rules.name.size())));
            rules_box_->setCurrentIndex(static_cast<int>(&contest_rules - contest_rule_sets().data()));
            rules_box_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
            label->setBuddy(rules_box_);
            g->addWidget(rules_box_, row++, 1, Qt::AlignLeft);
        }
        g->addWidget(new QLabel(kResultNames[i], this), row, 0);
        results_[i] = new QLabel(this);
        results_[i]->setObjectName(QString("result%1").arg(i));
        // The contest score is a sentence rather than a figure.
        g->addWidget(results_[i], row++, 1, 1, i == 7 ? 2 : 1);
    }
    g->addWidget(new QLabel("Status", this), row, 0);
    status_ = new QLabel(this);
    status_->setObjectName("status");
    g->addWidget(status_, row++, 1, 1, 2);
    auto* description_label = new QLabel("&Log description (max. 8000 chars.):", this);
    g->addWidget(description_label, row++, 0, 1, 3);
    description = new QPlainTextEdit(this);
    // The label's Alt+L moves to the text (and shows as a mnemonic, not an ampersand).
    description_label->setBuddy(description);
    g->addWidget(description, row++, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    auto* save_button = new QPushButton("&Save", this);
    auto* halt_button = new QPushButton("&Halt computation", this);
    auto* exit_button = new QPushButton("E&xit", this);
    buttons->addWidget(save_button);
    buttons->addWidget(halt_button);
    buttons->addWidget(exit_button);
    g->addLayout(buttons, row, 0, 1, 3);
    connect(save_button, &QPushButton::clicked, this, [this] { save(); });
    connect(halt_button, &QPushButton::clicked, this, [this] { halt(); });
    connect(exit_button, &QPushButton::clicked, this, &QDialog::reject);
    connect(description, &QPlainTextEdit::textChanged, this, [this] {
        if (description->toPlainText().size() > kDescriptionMax) {
            description->setPlainText(description->toPlainText().left(kDescriptionMax));
            description->moveCursor(QTextCursor::End);
        }
    });

    connect(rules_box_, &QComboBox::currentIndexChanged, this, [this] {
        if (shown_results_) start_contest();
    });
    connect(contest_, &ContestRun::progress, this, [this] {
        status_->setText(QString::fromStdString(contest_progress(*contest_->rules(), contest_->types_done())));
    });
    connect(contest_, &ContestRun::finished, this, [this] { contest_finished(); });

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] { show_results(); });
    timer_->start(100);
    // The worker's progress line reaches the label through the event loop.
    QPointer<QLabel> label(status_);
    session_->start(r_, [label](std::string_view text) {
        QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        QMetaObject::invokeMethod(label.data(), [label, s] { if (label) label->setText(s); }, Qt::QueuedConnection);
    });
}

StatisticsDialog::~StatisticsDialog() {
    contest_->stop();
    session_->stop();
}

void StatisticsDialog::done(int r) {
    // "E&xit" and closing: halt, then wait for the workers.
    contest_->stop();
    session_->stop();
    timer_->stop();
    QDialog::done(r);
}

void StatisticsDialog::show_results() {
    if (shown_results_ || !session_->finished()) return;
    std::vector<std::string> fields = session_->result_fields();
    for (std::size_t i = 0; i < fields.size() && i < 8; ++i) results_[i]->setText(QString::fromStdString(fields[i]));
    shown_results_ = !fields.empty();
    if (!shown_results_) return;
    timer_->stop();
    // After the optimisation, so that the two searches do not share the cores;
    // a halt just before it counts for it too.
    if (!halted_) start_contest();
}

void StatisticsDialog::start_contest() {
    const ContestRules& rules = contest_rules();
    results_[7]->setText("Computing...");
    status_->setText(QString::fromStdString(contest_progress(rules, 0)));
    contest_started_ = std::chrono::steady_clock::now();
    contest_->start(std::make_shared<const std::vector<TrackPosition>>(session_->statistics().positions), rules);
}

void StatisticsDialog::contest_finished() {
    const std::shared_ptr<const ScoredFlight> flight = contest_->result();
    results_[7]->setText(QString::fromStdString(contest_summary(flight->score)));
    if (flight->score.halted) return;  // the status says so already
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                          contest_started_)
                        .count();
    status_->setText(QString::fromStdString(strformat("Contest score completed (%d.%03d secs)",
                                                      static_cast<int>(ms / 1000), static_cast<int>(ms % 1000))));
}

void StatisticsDialog::halt() {
    const bool was_finished = session_->finished();
    halted_ = true;
    session_->halt();
    if (!was_finished) {
        status_->setText("Computation halted");
    } else if (contest_->running()) {
        contest_->halt();
        status_->setText("Computation halted");
    }
}

const ContestRules& StatisticsDialog::contest_rules() const {
    return contest_rule_sets()[static_cast<std::size_t>(std::max(rules_box_->currentIndex(), 0))];
}

std::shared_ptr<const ScoredFlight> StatisticsDialog::contest_result() const {
    std::shared_ptr<const ScoredFlight> flight = contest_->result();
    return flight && !flight->score.halted ? flight : nullptr;
}

std::string StatisticsDialog::field(const char* name) const {
    auto* l = findChild<QLabel*>(name);
    return l ? l->text().toStdString() : std::string();
}

std::string StatisticsDialog::status_text() const { return status_->text().toStdString(); }

int StatisticsDialog::save() {
    if (session_->check_save(r_) != 0) return -1;
    FlightStatistics record = session_->statistics();  // the writer may renumber its times
    std::string path = save_path_(logbook_file_name(record.first_time));
    if (path.empty()) return 0;
    const std::string text = description->toPlainText().left(kDescriptionMax).toStdString();
    TripTexts texts;
    texts.description = text;
    if (instrument_) texts.instrument = *instrument_;
    texts.max_gap = loop_gap_;
    const int rc = save_logbook_file(r_, path, record, texts);
    if (rc == 1) saved_ = true;
    return rc;
}

}  // namespace orlogix::ui
