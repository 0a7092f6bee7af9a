#pragma once
// The dialogs of competition mode: the mode itself with its time window,
// the identification of the pilot before a competition save ("Save
// competition log") and the choice of the pilot whose IDs are uploaded
// ("Select pilot"). Their rules live in competition/; the window hands in
// what needs a file dialog or another modal dialog as callbacks.
#include <QDialog>

#include <cstdint>
#include <functional>
#include <string>

#include "competition/pilot_choice.hpp"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orlogix::ui {

// "Set Competition Times": OK keeps both values only when both fields read.
class CompetitionTimesDialog : public QDialog {
    Q_OBJECT
public:
    CompetitionTimesDialog(Reporter& r, uint32_t start, uint32_t stop, QWidget* parent = nullptr);
    void accept() override;
    uint32_t start_time() const { return start_; }
    uint32_t stop_time() const { return stop_; }

    QLineEdit *start, *stop;

private:
    Reporter& r_;
    uint32_t start_, stop_;
};

// "Competition Mode". read_list reads a pilot list through a file dialog and
// gives its count (-1: nothing read); set_times runs "Set Competition Times"
// and, when it was confirmed, gives the stored window (true).
class CompetitionModeDialog : public QDialog {
    Q_OBJECT
public:
    struct Actions {
        std::function<int()> read_list;
        std::function<bool(uint32_t& start, uint32_t& stop)> set_times;
    };
    CompetitionModeDialog(bool mode, uint32_t start, uint32_t stop, Actions actions, QWidget* parent = nullptr);
    bool mode() const;
    bool list_read() const { return list_read_; }

    QCheckBox* enabled;
    QPushButton *read_list, *set_times;
    QLabel *pilots, *start_text, *stop_text;

private:
    void show_times(uint32_t start, uint32_t stop);
    Actions actions_;
    bool list_read_ = false;
};

// What the pilot dialogs ask of the window: a pilot list read through a
// file dialog (true with its file when one was read; the dialog shows the
// list anew), and for the identification a folder chosen for the
// competition files.
struct PilotDialogActions {
    std::function<bool(std::string& file)> browse_list;
    std::function<bool(const PilotFields& shown, std::string& folder)> browse_folder;
};

// "Save competition log": the pilot a downloaded track belongs to.
class IdentifyPilotDialog : public QDialog {
    Q_OBJECT
public:
    IdentifyPilotDialog(Reporter& r, const std::string& title, const PilotList& list, const CurrentPilot& current,
                        const std::string& list_file, const std::string& folder, PilotDialogActions actions,
                        QWidget* parent = nullptr);
    void accept() override;
    const Identification& identification() const { return result_; }
    PilotFields shown() const;

    QLineEdit *comp_id, *civl_id, *name;
    QComboBox* choice;
    QLabel *list_file, *folder;
    QPushButton *browse_list, *browse_folder;

private:
    void fill_list();
    void show_fields(const PilotFields& f);
    Reporter& r_;
    const PilotList& list_;
    PilotDialogActions actions_;
    Identification result_;
};

// "Select pilot": whose ID waypoints a waypoint send in competition mode
// uploads. OK writes the typed numbers into the chosen entry and makes it
// the current pilot.
class SelectPilotDialog : public QDialog {
    Q_OBJECT
public:
    SelectPilotDialog(Reporter& r, const std::string& title, PilotList& list, CurrentPilot& current, bool dash,
                      const std::string& list_file, PilotDialogActions actions, QWidget* parent = nullptr);
    void accept() override;
    bool dash() const;

    QLineEdit *comp_id, *civl_id;
    QCheckBox* nnn;
    QComboBox* choice;
    QLabel *choice_label, *list_file;
    QPushButton* browse_list;

private:
    void fill_list();
    Reporter& r_;
    PilotList& list_;
    CurrentPilot& current_;
    PilotDialogActions actions_;
};

// "Save competition log (%s)" or "Save competition log (%s, %s)"; the same
// for "Select pilot". Without a product the bare title.
std::string instrument_title(const char* title, const std::string& product, const std::string& identification);

}  // namespace orlogix::ui
