#pragma once
// "Flight statistics": the selection's figures at once, the distance
// optimisation on a worker thread, then the contest score under the chosen
// rules, and the save into a logbook file.
#include <QDialog>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "analysis/statistics_session.hpp"
#include "formats/kml/trip_writer.hpp"
#include "ui/contest_run.hpp"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace orlogix::ui {

struct FileRequest;

class StatisticsDialog : public QDialog {
    Q_OBJECT
public:
    // session: prepared (prepare() returned 0); its worker is started here.
    // save_path asks for the logbook file name (empty: cancelled).
    // contest_rules: the rules the contest score starts with.
    StatisticsDialog(Reporter& r, std::unique_ptr<StatisticsSession> session,
                     std::function<std::string(const std::string& suggested)> save_path,
                     std::optional<std::string> instrument, uint32_t loop_gap, const ContestRules& contest_rules,
                     QWidget* parent = nullptr);
    // Halts and joins the workers before the selection goes.
    ~StatisticsDialog() override;

    // "&Save": 1 written, 0 cancelled, -1 refused or failed.
    int save();
    // "&Halt computation": the optimisation, or after it the contest score.
    void halt();
    // The rules chosen last, and the contest score once one ran to its end unhalted.
    const ContestRules& contest_rules() const;
    std::shared_ptr<const ScoredFlight> contest_result() const;
    QComboBox* rules_box() const { return rules_box_; }
    bool finished() const { return session_->finished(); }
    std::string field(const char* name) const;  // a figure or result by its object name
    std::string status_text() const;
    bool saved() const { return saved_; }
    QPlainTextEdit* description;

    void done(int r) override;

private:
    void show_results();
    void start_contest();
    void contest_finished();

    Reporter& r_;
    std::unique_ptr<StatisticsSession> session_;
    std::function<std::string(const std::string&)> save_path_;
    std::optional<std::string> instrument_;
    uint32_t loop_gap_;
    QLabel* status_;
    QLabel* results_[8];  // the seven results and the contest score
    QComboBox* rules_box_;
    QTimer* timer_;
    ContestRun* contest_;
    std::chrono::steady_clock::time_point contest_started_;
    bool shown_results_ = false;
    bool halted_ = false;
    bool saved_ = false;
};

}  // namespace orlogix::ui
