#include "ui/rotate_dialog.hpp"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include <cmath>

#include "core/coord_text.hpp"
#include "core/names.hpp"
#include "core/report.hpp"
#include "core/units.hpp"

namespace orlogix::ui {

namespace {
constexpr std::size_t kFieldMax = 79;
constexpr double kOneArcSecond = 3314.017975309;  // semicircles
constexpr const char* kTitle = "Decode position";
}  // namespace

RotateDialog::RotateDialog(Reporter& r, RotateMemory& memory, QWidget* parent)
    : QDialog(parent), r_(r), memory_(memory) {
    setWindowTitle("Rotate Track");
    auto* g = new QGridLayout(this);
    auto edit = [&](int row, const char* label, const std::string& value) {
        auto* l = new QLabel(label, this);
        auto* e = new QLineEdit(QString::fromStdString(value), this);
        e->setMaxLength(static_cast<int>(kFieldMax));
        l->setBuddy(e);
        g->addWidget(l, row, 0);
        g->addWidget(e, row, 1);
        return e;
    };
    SemicirclePair s = semicircles_to_centi_arcsec(memory_.start_latitude, memory_.start_longitude);
    SemicirclePair e = semicircles_to_centi_arcsec(memory_.end_latitude, memory_.end_longitude);
    start_latitude = edit(0, "&Start latitude", format_dms(s.latitude, Axis::Latitude));
    start_longitude = edit(1, "S&tart longitude", format_dms(s.longitude, Axis::Longitude));
    end_latitude = edit(2, "&End latitude", format_dms(e.latitude, Axis::Latitude));
    end_longitude = edit(3, "E&nd longitude", format_dms(e.longitude, Axis::Longitude));
    g->addWidget(new QLabel("N/S/E/W or +/-   DDD.dddddd   DDD MM.mmm   DDD MM SS.ss", this), 4, 0, 1, 2);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &RotateDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &RotateDialog::reject);
    g->addWidget(buttons, 5, 0, 1, 2);
}

void RotateDialog::accept() {
    struct Field {
        QLineEdit* edit;
        Axis axis;
        const char* name;
    };
    const Field fields[4] = {{start_latitude, Axis::Latitude, "start latitude"},
                             {start_longitude, Axis::Longitude, "start longitude"},
                             {end_latitude, Axis::Latitude, "end latitude"},
                             {end_longitude, Axis::Longitude, "end longitude"}};
    int32_t v[4] = {};
    for (int i = 0; i < 4; ++i) {
        const std::string t = read_field_text(fields[i].edit->text().toStdString(), kFieldMax);
        if (t.empty()) {
            r_.error_box(kTitle, strformat("Missing %s input", fields[i].name));
            return;
        }
        double radians = 0;
        if (parse_latlon(t, fields[i].axis, radians) != 0 || radians_to_semicircle(radians, v[i]) != 0) {
            r_.error_box(kTitle, strformat("Bad %s input", fields[i].name));
            return;
        }
    }
    const double dlat = std::fabs(static_cast<double>(v[0]) - v[2]);
    const double dlon = std::fabs(static_cast<double>(v[1]) - v[3]);
    if (dlat < kOneArcSecond && dlon < kOneArcSecond) {
        r_.error_box(kTitle, "Positions are too close");
        return;
    }
    memory_ = RotateMemory{v[0], v[1], v[2], v[3]};
    QDialog::accept();
}

}  // namespace orlogix::ui
