#pragma once
// "Rotate Track": the start and end of the base line the track is turned onto.
#include <QDialog>

#include <cstdint>

class QLineEdit;

namespace orlogix {
class Reporter;
}

namespace orlogix::ui {

// The accepted positions, kept for the next opening (semicircles).
struct RotateMemory {
    int32_t start_latitude = 0, start_longitude = 0, end_latitude = 0, end_longitude = 0;
};

class RotateDialog : public QDialog {
    Q_OBJECT
public:
    RotateDialog(Reporter& r, RotateMemory& memory, QWidget* parent = nullptr);
    void accept() override;  // checks the four fields; stays open on the first bad one

    QLineEdit *start_latitude, *start_longitude, *end_latitude, *end_longitude;

private:
    Reporter& r_;
    RotateMemory& memory_;
};

}  // namespace orlogix::ui
