#pragma once
// The Misc menu's pilot-data dialogs: "Set Flymaster Name" (pilot data),
// "Set Flymaster altitude alarm", "Set Flymaster IDs", "Write GPS name" and
// the "Set DSX pilot data" form over the texts read. OK checks the
// fields in order; the first refused one is named in a box and the dialog
// stays open. A good OK leaves the data the set-data job sends.
#include <QDialog>

#include <memory>
#include <string>
#include <vector>

#include "access/job_context.hpp"

class QLineEdit;
class QRadioButton;

namespace orlogix {
class Reporter;
}

namespace orlogix::ui {

class FlymasterDataDialog : public QDialog {
    Q_OBJECT
public:
    // The dialog of a Misc entry: 40145 name, 40157 altitude alarm, 40166
    // IDs, the LogIt's 40015 and the Graviter's 40180 "Write GPS name";
    // nullptr for any other entry.
    static std::unique_ptr<FlymasterDataDialog> for_entry(Reporter& r, int entry, QWidget* parent = nullptr);
    // The DSX form, filled with the five texts and the extra text read
    // (missing ones empty); data().texts are the texts to send. A text left
    // as shown comes back whole, even when the field holds fewer characters.
    static std::unique_ptr<FlymasterDataDialog> dsx_form(Reporter& r, const std::vector<std::string>& read,
                                                         QWidget* parent = nullptr);
    // The DSX form's label choice: fields 3 to 5 for gliding and motor planes.
    QRadioButton* gliding = nullptr;

    void accept() override;
    // After a good OK: the job's data, and whether there is anything to
    // send (an altitude alarm of 0 sends nothing).
    const PilotData& data() const { return data_; }
    bool sends() const { return sends_; }

    std::vector<QLineEdit*> fields;   // in the order they are checked

    // How a field is checked and where its value goes.
    enum class Rule { Text, Digits, Altitude, Name, Printable };
    struct Field {
        const char* label;
        int max_length;
        Rule rule;
        const char* refusal;   // Text: the name in "... contains '*'"; Digits: the message
        std::string PilotData::*text;   // none: the altitude, or the next of PilotData::texts
    };
    struct Layout {
        int kind;                 // PilotData::kind
        const char* title;
        const char* caption;      // of the refusals
        const char* note;
        std::vector<Field> fields;
    };
    FlymasterDataDialog(Reporter& r, Layout layout, QWidget* parent = nullptr);

private:
    bool check(const Field& f, const std::string& text);

    Reporter& r_;
    Layout layout_;
    std::vector<std::string> read_;   // the DSX texts read, in field order
    PilotData data_;
    bool sends_ = true;
};

}  // namespace orlogix::ui
