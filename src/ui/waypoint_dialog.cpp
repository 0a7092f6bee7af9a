#include "ui/waypoint_dialog.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "core/coord_text.hpp"
#include "core/geodesy.hpp"
#include "core/names.hpp"
#include "core/report.hpp"

namespace orlogix::ui {

namespace {
constexpr const char* kTitle = "Edit waypoint";
constexpr std::size_t kFieldMax = 80;

std::string text_of(QLineEdit* e) { return read_field_text(e->text().toStdString(), kFieldMax); }

// An optional sign, optional spaces after it, then digits only.
bool parse_height(const std::string& t, int32_t& out) {
    std::size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
    while (i < t.size() && t[i] == ' ') ++i;
    if (i == t.size()) return false;
    long long v = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9') return false;
        v = v * 10 + (t[i] - '0');
        if (v > 2147483647LL) return false;
    }
    out = static_cast<int32_t>(negative ? -v : v);
    return true;
}
}  // namespace

WaypointDialog::WaypointDialog(Reporter& r, const Waypoint& initial, bool& utm, QWidget* parent)
    : QDialog(parent), r_(r), w_(initial), utm_(utm) {
    setWindowTitle("Edit Waypoint");
    auto* g = new QGridLayout(this);
    int row = 0;
    auto edit = [&](const char* label, const std::string& value, int max, QLabel** label_out = nullptr) {
        auto* l = new QLabel(label, this);
        auto* e = new QLineEdit(QString::fromStdString(value), this);
        e->setMaxLength(max);
        l->setBuddy(e);
        g->addWidget(l, row, 0);
        g->addWidget(e, row++, 1);
        if (label_out) *label_out = l;
        return e;
    };
    id = edit("&ID", initial.identifier, 6);
    comment = edit("C&omment", initial.comment, 40);
    height = edit("&Height (m)", std::to_string(initial.height), 20);
    kind = new QComboBox(this);
    kind->addItems({"Point", "Airfield"});
    kind->setCurrentIndex(initial.airfield ? 1 : 0);
    g->addWidget(new QLabel("&Kind", this), row, 0);
    g->addWidget(kind, row++, 1);
    const CalendarTime c = calendar_from_time(initial.time);
    timestamp = edit("&Timestamp",
                     strformat("%d-%02d-%02dT%02d:%02d:%02d", c.year, c.month, c.day, c.hour, c.minute, c.second), 40);
    utm_box = new QCheckBox("UTM", this);
    g->addWidget(utm_box, row++, 1);
    zone = edit("&Zone", "", 10);
    first = edit("", "", static_cast<int>(kFieldMax), &first_label_);
    second = edit("", "", static_cast<int>(kFieldMax), &second_label_);
    g->addWidget(new QLabel("NOTE:  Only WGS84 is supported", this), row++, 0, 1, 2);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &WaypointDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &WaypointDialog::reject);
    g->addWidget(buttons, row, 0, 1, 2);
    utm_box->setChecked(utm_);
    connect(utm_box, &QCheckBox::clicked, this, [this](bool on) { set_utm(on); });
    show_position();
}

void WaypointDialog::show_position() {
    first_label_->setText(utm_ ? "&Easting" : "&Latitude");
    second_label_->setText(utm_ ? "&Northing" : "Lo&ngitude");
    zone->setEnabled(utm_);
    if (utm_) {
        UtmPosition u;
        geo_to_utm(semicircles_to_radians(w_.latitude, w_.longitude), u);
        zone->setText(QString::fromStdString(strformat("%02d%c", u.zone, u.band)));
        first->setText(QString::fromStdString(strformat("%07lld", static_cast<long long>(round_half_away(u.easting)))));
        second->setText(QString::fromStdString(strformat("%07lld", static_cast<long long>(round_half_away(u.northing)))));
    } else {
        SemicirclePair cs = semicircles_to_centi_arcsec(w_.latitude, w_.longitude);
        zone->clear();
        first->setText(QString::fromStdString(format_dms(cs.latitude, Axis::Latitude)));
        second->setText(QString::fromStdString(format_dms(cs.longitude, Axis::Longitude)));
    }
}

void WaypointDialog::set_utm(bool on) {
    utm_ = on;
    if (utm_box->isChecked() != on) utm_box->setChecked(on);
    show_position();
}

void WaypointDialog::accept() {
    Waypoint w = w_;
    std::string t = text_of(id);
    if (t.empty()) return r_.error_box(kTitle, "Missing ID input");
    if (normalise_id_strict(t, w.identifier) != 0) return r_.error_box(kTitle, "Bad ID");
    w.comment = normalise_comment(comment->text().toStdString());
    t = text_of(height);
    if (t.empty()) return r_.error_box(kTitle, "Missing height input");
    if (!parse_height(t, w.height)) return r_.error_box(kTitle, "Bad height");
    t = text_of(timestamp);
    if (t.empty()) return r_.error_box(kTitle, "Missing timestamp input");
    bool zoned = false;
    if (parse_iso_time(t, w.time, zoned) != 0) return r_.error_box(kTitle, "Bad timestamp input");
    GeoPosition p;
    if (utm_) {
        UtmPosition u;
        t = text_of(zone);
        if (t.empty()) return r_.error_box(kTitle, "Missing zone input");
        if (parse_utm_zone(t, u.zone, u.band) != 0) return r_.error_box(kTitle, "Bad zone input");
        t = text_of(first);
        if (t.empty()) return r_.error_box(kTitle, "Missing easting input");
        int rc = parse_metres(t, u.easting);
        if (rc != 0 && rc != -2) return r_.error_box(kTitle, "Bad easting character");
        if (rc == -2 || u.easting < 0 || u.easting > 1000000) return r_.error_box(kTitle, "Easting value out of range");
        t = text_of(second);
        if (t.empty()) return r_.error_box(kTitle, "Missing northing input");
        rc = parse_metres(t, u.northing);
        if (rc != 0 && rc != -2) return r_.error_box(kTitle, "Bad northing character");
        if (rc == -2 || u.northing < 0 || u.northing > 20000000)
            return r_.error_box(kTitle, "Northing value out of range");
        p = utm_to_geo(u);
    } else {
        t = text_of(first);
        if (t.empty()) return r_.error_box(kTitle, "Missing latitude input");
        if (parse_latlon(t, Axis::Latitude, p.latitude) != 0) return r_.error_box(kTitle, "Bad latitude input");
        t = text_of(second);
        if (t.empty()) return r_.error_box(kTitle, "Missing longitude input");
        if (parse_latlon(t, Axis::Longitude, p.longitude) != 0) return r_.error_box(kTitle, "Bad longitude input");
    }
    SemicirclePair s;
    if (radians_to_semicircles(p, s) != 0) return r_.error_box(kTitle, utm_ ? "Northing value out of range" : "Bad latitude input");
    w.latitude = s.latitude;
    w.longitude = s.longitude;
    w.airfield = kind->currentIndex() == 1 ? 1 : 0;
    w_ = w;
    QDialog::accept();
}

}  // namespace orlogix::ui
