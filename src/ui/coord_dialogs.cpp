#include "ui/coord_dialogs.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/coord_text.hpp"
#include "core/geodesy.hpp"
#include "core/names.hpp"
#include "core/report.hpp"

namespace orlogix::ui {

namespace {

constexpr std::size_t kFieldMax = 80;

std::string field(QLineEdit* e) { return read_field_text(e->text().toStdString(), kFieldMax); }
void put(QLineEdit* e, const std::string& s) { e->setText(QString::fromStdString(s)); }

QLineEdit* line_edit(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setMaxLength(static_cast<int>(kFieldMax));
    return e;
}

std::string zone_text(const UtmPosition& u) { return strformat("%02d%c", u.zone, u.band); }

}  // namespace

CoordinateConversionDialog::CoordinateConversionDialog(Reporter& r, QWidget* parent) : QDialog(parent), r_(r) {
    setWindowTitle("Coordinate conversion");
    auto* g = new QGridLayout(this);
    zone = line_edit(this, "zone");
    easting = line_edit(this, "easting");
    northing = line_edit(this, "northing");
    latitude = line_edit(this, "latitude");
    longitude = line_edit(this, "longitude");
    const char* labels[] = {"&Zone", "&Easting", "&Northing", "L&atitude (N/S)", "L&ongitude (E/W)"};
    QLineEdit* edits[] = {zone, easting, northing, latitude, longitude};
    for (int i = 0; i < 5; ++i) {
        auto* l = new QLabel(labels[i], this);
        l->setBuddy(edits[i]);
        g->addWidget(l, i, 0);
        g->addWidget(edits[i], i, 1);
    }
    g->addWidget(new QLabel("NOTE:  Only WGS84 is supported", this), 5, 0, 1, 2);
    auto* utm_button = new QPushButton("To &UTM/UPS", this);
    auto* deg_button = new QPushButton("To &degrees", this);
    auto* close = new QPushButton("&Close", this);
    g->addWidget(utm_button, 6, 0);
    g->addWidget(deg_button, 6, 1);
    g->addWidget(close, 7, 1);
    connect(utm_button, &QPushButton::clicked, this, [this] { to_utm(); });
    connect(deg_button, &QPushButton::clicked, this, [this] { to_degrees(); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

int CoordinateConversionDialog::to_utm() {
    GeoPosition p;
    std::string t = field(latitude);
    if (t.empty()) return r_.error_box("Decoding latitude string", "Missing input"), -1;
    if (parse_latlon(t, Axis::Latitude, p.latitude) != 0)
        return r_.error_box("Decoding latitude string", "Bad latitude input"), -1;
    t = field(longitude);
    if (t.empty()) return r_.error_box("Decoding longitude string", "Missing input"), -1;
    if (parse_latlon(t, Axis::Longitude, p.longitude) != 0)
        return r_.error_box("Decoding longitude string", "Bad longitude input"), -1;
    UtmPosition u;
    t = field(zone);
    if (!t.empty()) {
        char band = 0;
        if (parse_utm_zone(t, u.zone, band) != 0) return r_.error_box("Decoding longitude string", "Bad zone input"), -1;
    }
    geo_to_utm(p, u);  // the band letter is always the computed one
    put(easting, strformat("%012.4f", u.easting));
    put(northing, strformat("%012.4f", u.northing));
    put(zone, zone_text(u));
    return 0;
}

int CoordinateConversionDialog::to_degrees() {
    UtmPosition u;
    std::string t = field(zone);
    if (t.empty()) return r_.error_box("Decoding zone string", "Missing input"), -1;
    if (parse_utm_zone(t, u.zone, u.band) != 0) return r_.error_box("Decoding zone string", "Bad input"), -1;
    t = field(easting);
    if (t.empty()) return r_.error_box("Decoding easting string", "Missing input"), -1;
    if (parse_metres(t, u.easting) != 0) return r_.error_box("Decoding easting string", "Bad input"), -1;
    t = field(northing);
    if (t.empty()) return r_.error_box("Decoding northing string", "Missing input"), -1;
    if (parse_metres(t, u.northing) != 0) return r_.error_box("Decoding northing string", "Bad input"), -1;
    GeoPosition p = utm_to_geo(u);
    put(latitude, format_dms_precise(p.latitude, Axis::Latitude));
    put(longitude, format_dms_precise(p.longitude, Axis::Longitude));
    return 0;
}

DistanceDialog::DistanceDialog(Reporter& r, DistanceMemory& memory, const WaypointList& waypoints, QWidget* parent)
    : QDialog(parent), r_(r), memory_(memory), waypoints_(waypoints) {
    setWindowTitle("Calculate distance");
    auto* g = new QGridLayout(this);
    utm = new QCheckBox("&UTM", this);
    from_zone = line_edit(this, "from_zone");
    from_a = line_edit(this, "from_a");
    from_b = line_edit(this, "from_b");
    to_zone = line_edit(this, "to_zone");
    to_a = line_edit(this, "to_a");
    to_b = line_edit(this, "to_b");
    from_list = new QComboBox(this);
    to_list = new QComboBox(this);
    from_comment_ = new QLabel(this);
    to_comment_ = new QLabel(this);
    for (const Waypoint& w : waypoints_) {
        from_list->addItem(QString::fromStdString(w.identifier));
        to_list->addItem(QString::fromStdString(w.identifier));
    }
    from_list->setCurrentIndex(-1);
    to_list->setCurrentIndex(-1);
    g->addWidget(new QLabel("From", this), 0, 1);
    g->addWidget(new QLabel("To", this), 0, 2);
    g->addWidget(from_list, 1, 1);
    g->addWidget(to_list, 1, 2);
    g->addWidget(from_comment_, 2, 1);
    g->addWidget(to_comment_, 2, 2);
    QLineEdit* rows[3][2] = {{from_zone, to_zone}, {from_a, to_a}, {from_b, to_b}};
    for (int i = 0; i < 3; ++i) {
        labels_[i] = new QLabel(this);
        labels_[i]->setBuddy(rows[i][0]);
        g->addWidget(labels_[i], 3 + i, 0);
        g->addWidget(rows[i][0], 3 + i, 1);
        g->addWidget(rows[i][1], 3 + i, 2);
    }
    g->addWidget(utm, 6, 0);
    g->addWidget(new QLabel("Distance (m):", this), 7, 0);
    distance_ = new QLabel(this);
    distance_->setObjectName("distance");
    g->addWidget(distance_, 7, 1);
    g->addWidget(new QLabel("NOTE:  Only WGS84 is supported", this), 8, 0, 1, 3);
    auto* calc = new QPushButton("&Calculate", this);
    auto* close = new QPushButton("&Close", this);
    g->addWidget(calc, 9, 1);
    g->addWidget(close, 9, 2);
    connect(calc, &QPushButton::clicked, this, [this] { calculate(); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(utm, &QCheckBox::clicked, this, [this](bool on) { set_utm(on); });
    connect(from_list, &QComboBox::activated, this, [this](int i) { choose_waypoint(false, i); });
    connect(to_list, &QComboBox::activated, this, [this](int i) { choose_waypoint(true, i); });
    utm->setChecked(memory_.utm);
    show_positions();
    show_distance();
}

void DistanceDialog::show_positions() {
    const bool u = memory_.utm;
    labels_[0]->setText("&Zone");
    labels_[1]->setText(u ? "&Easting" : "&Latitude");
    labels_[2]->setText(u ? "&Northing" : "Lo&ngitude");
    from_zone->setEnabled(u);
    to_zone->setEnabled(u);
    auto fill = [u](int32_t lat, int32_t lon, QLineEdit* z, QLineEdit* a, QLineEdit* b) {
        if (u) {
            UtmPosition p;
            geo_to_utm(semicircles_to_radians(lat, lon), p);
            put(z, zone_text(p));
            put(a, strformat("%07lld", static_cast<long long>(round_half_away(p.easting))));
            put(b, strformat("%07lld", static_cast<long long>(round_half_away(p.northing))));
        } else {
            SemicirclePair cs = semicircles_to_centi_arcsec(lat, lon);
            z->clear();
            put(a, format_dms(cs.latitude, Axis::Latitude));
            put(b, format_dms(cs.longitude, Axis::Longitude));
        }
    };
    fill(memory_.from_latitude, memory_.from_longitude, from_zone, from_a, from_b);
    fill(memory_.to_latitude, memory_.to_longitude, to_zone, to_a, to_b);
}

void DistanceDialog::show_distance() {
    double metres = 0;
    const int rc = geodesic_distance(semicircles_to_radians(memory_.from_latitude, memory_.from_longitude),
                                     semicircles_to_radians(memory_.to_latitude, memory_.to_longitude), metres);
    distance_->setText(rc == 0 ? QString::fromStdString(strformat("%.2f", metres)) : QString("Error"));
}

std::string DistanceDialog::distance_text() const { return distance_->text().toStdString(); }

int DistanceDialog::read_position(bool to, int32_t& latitude, int32_t& longitude) {
    const char* side = to ? "TO" : "FROM";
    auto caption = [side](const char* what) { return strformat("Reading %s %s", side, what); };
    GeoPosition p;
    if (memory_.utm) {
        UtmPosition u;
        std::string t = field(to ? to_zone : from_zone);
        if (t.empty()) return r_.error_box(caption("zone"), "Missing input"), -1;
        if (parse_utm_zone(t, u.zone, u.band) != 0) return r_.error_box(caption("zone"), "Bad zone input"), -1;
        t = field(to ? to_a : from_a);
        if (t.empty()) return r_.error_box(caption("easting"), "Missing input"), -1;
        if (parse_metres(t, u.easting) != 0) return r_.error_box(caption("easting"), "Bad input"), -1;
        t = field(to ? to_b : from_b);
        if (t.empty()) return r_.error_box(caption("northing"), "Missing input"), -1;
        if (parse_metres(t, u.northing) != 0) return r_.error_box(caption("northing"), "Bad input"), -1;
        p = utm_to_geo(u);
    } else {
        std::string t = field(to ? to_a : from_a);
        if (t.empty()) return r_.error_box(caption("latitude"), "Missing input"), -1;
        if (parse_latlon(t, Axis::Latitude, p.latitude) != 0)
            return r_.error_box(caption("latitude"), "Bad latitude input"), -1;
        t = field(to ? to_b : from_b);
        if (t.empty()) return r_.error_box(caption("longitude"), "Missing input"), -1;
        if (parse_latlon(t, Axis::Longitude, p.longitude) != 0)
            return r_.error_box(caption("longitude"), "Bad longitude input"), -1;
    }
    SemicirclePair s;
    if (radians_to_semicircles(p, s) != 0)
        return r_.error_box(caption(memory_.utm ? "northing" : "latitude"), "Bad input"), -1;
    latitude = s.latitude;
    longitude = s.longitude;
    return 0;
}

int DistanceDialog::calculate() {
    int32_t flat, flon, tlat, tlon;
    if (read_position(false, flat, flon) != 0) return -1;
    if (read_position(true, tlat, tlon) != 0) return -1;
    memory_.from_latitude = flat;
    memory_.from_longitude = flon;
    memory_.to_latitude = tlat;
    memory_.to_longitude = tlon;
    show_distance();
    return 0;
}

void DistanceDialog::set_utm(bool on) {
    memory_.utm = on;
    if (utm->isChecked() != on) utm->setChecked(on);
    show_positions();
    show_distance();
}

void DistanceDialog::choose_waypoint(bool to, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= waypoints_.size()) return;
    const Waypoint& w = waypoints_[static_cast<std::size_t>(index)];
    (to ? memory_.to_latitude : memory_.from_latitude) = w.latitude;
    (to ? memory_.to_longitude : memory_.from_longitude) = w.longitude;
    (to ? to_comment_ : from_comment_)->setText(QString::fromStdString(w.comment));
    show_positions();
    show_distance();
}

}  // namespace orlogix::ui
