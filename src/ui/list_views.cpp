#include "ui/list_views.hpp"

#include "analysis/track_filters.hpp"
#include "core/coord_text.hpp"
#include "core/geodesy.hpp"
#include "core/report.hpp"

namespace orlogix::ui {

std::vector<ColumnSpec> waypoint_columns(bool utm) {
    if (utm)
        return {{"ID", 8}, {"Zone", 5}, {"Easting", 9}, {"Northing", 9}, {"Height", 7}, {"T", 2}, {"Name", 50}, {"Time", 20}};
    return {{"ID", 8}, {"Latitude", 13}, {"Longitude", 14}, {"Height", 7}, {"T", 2}, {"Name", 50}, {"Time", 20}};
}

std::vector<ColumnSpec> track_columns(bool utm) {
    if (utm)
        return {{"UTC date", 10}, {"UTC time", 8}, {"Zone", 4}, {"Easting", 8}, {"Northing", 8},
                {"H (GPS)", 5},   {"H (B-G)", 5},  {"km/h", 5}};
    return {{"UTC date", 10}, {"UTC time", 8}, {"Latitude", 13}, {"Longitude", 14},
            {"H (GPS)", 5},   {"H (B-G)", 5},  {"km/h", 5}};
}

std::vector<ColumnSpec> ctr_columns() {
    return {{"Name", 30}, {"Floor (Remark)", 20}, {"Ceiling", 12}, {"Distance", 10}, {"Segments", 9}};
}

std::vector<ColumnSpec> pilot_columns() { return {{"Name", 35}, {"Comp. ID", 9}, {"CIVL ID", 9}, {"Device", 30}}; }

namespace {

std::string dms(int32_t latitude, int32_t longitude, bool want_latitude) {
    SemicirclePair cs = semicircles_to_centi_arcsec(latitude, longitude);
    return want_latitude ? format_dms(cs.latitude, Axis::Latitude) : format_dms(cs.longitude, Axis::Longitude);
}

// Zone, easting or northing (which = 0, 1, 2), the zone chosen from the position.
std::string utm_text(int32_t latitude, int32_t longitude, int which) {
    UtmPosition utm;
    geo_to_utm(semicircles_to_radians(latitude, longitude), utm);
    if (which == 0) return strformat("%02d%c", utm.zone, utm.band);
    return strformat("%07lld", static_cast<long long>(round_half_away(which == 1 ? utm.easting : utm.northing)));
}

// The position columns of either set: the index within them, or -1.
std::string position_cell(int32_t latitude, int32_t longitude, int index, bool utm) {
    if (utm) return utm_text(latitude, longitude, index);
    return dms(latitude, longitude, index == 0);
}

}  // namespace

std::string waypoint_cell(const Waypoint& w, int column, bool utm) {
    const int positions = utm ? 3 : 2;
    if (column == 0) return w.identifier;
    if (column >= 1 && column <= positions) return position_cell(w.latitude, w.longitude, column - 1, utm);
    switch (column - positions) {
        case 1: return strformat("%d", w.height);
        case 2: return w.airfield ? "A" : " ";
        case 3: return w.comment;
        case 4: {
            CalendarTime c = calendar_from_time(w.time);
            return strformat("%d-%02d-%02dT%02d:%02d:%02d", c.year, c.month, c.day, c.hour, c.minute, c.second);
        }
        default: return {};
    }
}

std::string track_cell(const TrackLog& log, std::size_t row, int column, bool utm) {
    if (row >= log.positions.size()) return {};
    const TrackPosition& p = log.positions[row];
    const int positions = utm ? 3 : 2;
    if (column == 0 || column == 1) {
        CalendarTime c = calendar_from_time(p.time);
        return column == 0 ? strformat("%4d-%02d-%02d", c.year, c.month, c.day)
                           : strformat("%02d:%02d:%02d", c.hour, c.minute, c.second);
    }
    if (column >= 2 && column < 2 + positions) return position_cell(p.latitude, p.longitude, column - 2, utm);
    switch (column - 2 - positions) {
        case 0: return strformat("%d", gps_altitude_metres(p.gps_altitude));
        case 1:
            if (!log.header.baro_present) return {};
            return strformat("%d", p.baro_altitude - gps_altitude_metres(p.gps_altitude));
        case 2: {
            if (row == 0 || (p.flags & kSegmentStart)) return "START";
            const TrackPosition& q = log.positions[row - 1];
            // Equal or backward times have no speed; show none rather than infinity.
            if (p.time <= q.time) return "0.0";
            return strformat("%.1f", position_distance(q, p) * 3.6 / static_cast<double>(p.time - q.time));
        }
        default: return {};
    }
}

void ListModel::set_descriptor(const ListViewDescriptor* d) {
    beginResetModel();
    d_ = d;
    rows_ = d_ && d_->row_count ? d_->row_count() : 0;
    endResetModel();
}

void ListModel::reload() {
    const int rows = d_ && d_->row_count ? d_->row_count() : 0;
    if (rows != rows_) {
        set_descriptor(d_);
        return;
    }
    // Same rows: repaint them and keep the user's selection.
    if (rows_ > 0 && columnCount() > 0) emit dataChanged(index(0, 0), index(rows_ - 1, columnCount() - 1));
}

int ListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int ListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !d_ ? 0 : static_cast<int>(d_->columns.size());
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !d_ || !index.isValid() || index.row() >= rows_) return {};
    return QString::fromStdString(d_->cell_text(index.row(), index.column()));
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || !d_) return {};
    if (orientation == Qt::Vertical) return {};
    if (section < 0 || section >= static_cast<int>(d_->columns.size())) return {};
    return QString::fromUtf8(d_->columns[static_cast<std::size_t>(section)].name);
}

}  // namespace orlogix::ui
