#pragma once
// "Flight statistics": the selection's figures at once, the distance
// optimisation on a worker thread, and the save into a logbook file.
#include <QDialog>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "analysis/statistics_session.hpp"
#include "formats/kml/trip_writer.hpp"

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
    StatisticsDialog(Reporter& r, std::unique_ptr<StatisticsSession> session,
                     std::function<std::string(const std::string& suggested)> save_path,
                     std::optional<std::string> instrument, uint32_t loop_gap, QWidget* parent = nullptr);
    // Halts and joins the worker before the selection goes.
    ~StatisticsDialog() override;

    // "&Save": 1 written, 0 cancelled, -1 refused or failed.
    int save();
    void halt();
    bool finished() const { return session_->finished(); }
    std::string field(const char* name) const;  // a figure or result by its object name
    std::string status_text() const;
    bool saved() const { return saved_; }
    QPlainTextEdit* description;

    void done(int r) override;

private:
    void show_results();

    Reporter& r_;
    std::unique_ptr<StatisticsSession> session_;
    std::function<std::string(const std::string&)> save_path_;
    std::optional<std::string> instrument_;
    uint32_t loop_gap_;
    QLabel* status_;
    QLabel* results_[8];  // the seven results and the contest score
    QTimer* timer_;
    bool shown_results_ = false;
    bool saved_ = false;
};

}  // namespace orlogix::ui
