#pragma once
// "Edit Waypoint": one waypoint's fields, checked in a fixed order on OK.
#include <QDialog>

#include "core/records.hpp"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace orlogix {
class Reporter;
}

namespace orlogix::ui {

class WaypointDialog : public QDialog {
    Q_OBJECT
public:
    // utm: the remembered display choice, updated by the check box.
    WaypointDialog(Reporter& r, const Waypoint& initial, bool& utm, QWidget* parent = nullptr);
    const Waypoint& waypoint() const { return w_; }
    void set_utm(bool on);
    void accept() override;

    QLineEdit *id, *comment, *height, *timestamp, *zone, *first, *second;  // first/second: lat/lon or easting/northing
    QComboBox* kind;
    QCheckBox* utm_box;

private:
    void show_position();
    Reporter& r_;
    Waypoint w_;
    bool& utm_;
    QLabel *first_label_, *second_label_;
};

}  // namespace orlogix::ui
