#pragma once
// "IGC File Format": the pilot and flight texts of "Save log in &IGC format";
// "&Save" checks them, asks for the file and writes it, and stays open when
// the user declines to overwrite.
#include <QDialog>

#include <functional>

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

}  // namespace orlogix::ui
