#pragma once
// "OLC statistics": the online-contest searches on a worker watched by a
// timer, the result lines, the pilot's entries and the ".olc" form file.
#include <QDialog>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/olc_form.hpp"
#include "analysis/olc_search.hpp"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTimer;

namespace orlogix::ui {

struct OlcSource {
    std::vector<TrackPosition> positions;
    const RawIgcLog* raw = nullptr;  // set when scoring the stored IGC text
};

class OlcDialog : public QDialog {
    Q_OBJECT
public:
    // session: started; save_path asks for the file name (empty: cancelled).
    OlcDialog(Reporter& r, std::unique_ptr<OlcSession> session, const RawIgcLog* raw, OlcEntries entries,
              std::function<std::string()> save_path, QWidget* parent = nullptr);
    ~OlcDialog() override;

    // "Save &OLC only" / "&Save with IGC": 1 written, 0 cancelled, -1 refused or failed.
    int save(bool with_igc);
    void halt() { session_->halt(); }
    bool finished() const { return session_->finished(); }
    OlcEntries entries() const;  // as typed
    std::string results_text() const;
    std::string progress_text_shown() const;
    void done(int r) override;

    QLineEdit *first_name, *last_name, *birth_date, *glider_type, *call_sign, *start_place, *flight_number;
    QComboBox *glider_class, *region;
    QCheckBox* long_name;

private:
    void tick();

    Reporter& r_;
    std::unique_ptr<OlcSession> session_;
    const RawIgcLog* raw_;
    std::function<std::string()> save_path_;
    QLabel* status_;
    QLabel* progress_;
    QPlainTextEdit* results_;
    QTimer* timer_;
    bool shown_ = false;
};

}  // namespace orlogix::ui
