#pragma once
// "Coordinate conversion" and "Calculate distance": positions typed as
// latitude/longitude or UTM, checked field by field in a fixed order; the
// first bad field is reported and the dialog stays open.
#include <QDialog>

#include <cstdint>
#include <string>

#include "core/records.hpp"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace orlogix {
class Reporter;
}

namespace orlogix::ui {

class CoordinateConversionDialog : public QDialog {
    Q_OBJECT
public:
    CoordinateConversionDialog(Reporter& r, QWidget* parent = nullptr);

    // The buttons: 0 when the other fields were written, -1 after a message.
    int to_utm();
    int to_degrees();

    QLineEdit* zone;
    QLineEdit* easting;
    QLineEdit* northing;
    QLineEdit* latitude;
    QLineEdit* longitude;

private:
    Reporter& r_;
};

// What "Calculate distance" keeps while the program runs.
struct DistanceMemory {
    bool utm = false;
    int32_t from_latitude = 0, from_longitude = 0, to_latitude = 0, to_longitude = 0;
};

class DistanceDialog : public QDialog {
    Q_OBJECT
public:
    DistanceDialog(Reporter& r, DistanceMemory& memory, const WaypointList& waypoints, QWidget* parent = nullptr);

    // Reads both positions ("&Calculate"): 0, or -1 after the first bad field's message.
    int calculate();
    void set_utm(bool on);
    void choose_waypoint(bool to, int index);
    std::string distance_text() const;

    QCheckBox* utm;
    QLineEdit* from_zone;
    QLineEdit* from_a;  // latitude or easting
    QLineEdit* from_b;  // longitude or northing
    QLineEdit* to_zone;
    QLineEdit* to_a;
    QLineEdit* to_b;
    QComboBox* from_list;
    QComboBox* to_list;

private:
    int read_position(bool to, int32_t& latitude, int32_t& longitude);
    void show_positions();
    void show_distance();

    Reporter& r_;
    DistanceMemory& memory_;
    const WaypointList& waypoints_;
    QLabel* distance_;
    QLabel* from_comment_;
    QLabel* to_comment_;
    QLabel* labels_[6];
};

}  // namespace orlogix::ui
