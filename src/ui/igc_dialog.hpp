#pragma once
// "IGC File Format": the pilot and flight texts of "Save log in &IGC format";
// "&Save" checks them, asks for the file and writes it, and stays open when
// the user declines to overwrite. "Save IGC track log from GPS": the flight
// number and name form of "Save IGC log from &GPS".
#include <QDialog>

#include <functional>
#include <string>

#include "formats/igc_save.hpp"

class QCheckBox;
class QLineEdit;

namespace orlogix::ui {

class IgcFormatDialog : public QDialog {
    Q_OBJECT
public:
    // write: checked values in, 1 written (the dialog closes), 0 stay open, -1 failed (stay open).
    IgcFormatDialog(Reporter& r, const IgcDialogValues& initial, std::function<int(IgcDialogValues&, int flight)> write,
                    QWidget* parent = nullptr);

    IgcDialogValues values() const;  // as typed
    void accept() override;          // "&Save"

    QLineEdit *pilot, *flight, *serial, *glider_type, *glider_id, *site, *glider_class;
    QCheckBox *long_name, *short_name, *enl;

private:
    Reporter& r_;
    std::function<int(IgcDialogValues&, int)> write_;
};

class IgcRawDialog : public QDialog {
    Q_OBJECT
public:
    // write: the flight number as typed, its value and the name form, once
    // checked; 1 closes the dialog, anything else keeps it open.
    using Write = std::function<int(const std::string& flight_text, int flight, IgcNameForm form)>;
    IgcRawDialog(Reporter& r, const std::string& flight_number, IgcNameForm form, Write write,
                 QWidget* parent = nullptr);

    IgcNameForm name_form() const;
    void accept() override;  // "&Save"

    QLineEdit* flight;
    QCheckBox *long_name, *short_name;

private:
    Reporter& r_;
    Write write_;
};

}  // namespace orlogix::ui
