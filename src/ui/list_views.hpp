#pragma once
// The four view modes of the main list: their column sets and the cell-text
// routines the table model asks when it paints (text on demand).
#include <QAbstractTableModel>

#include <functional>
#include <string>
#include <vector>

#include "core/records.hpp"

namespace orlogix::ui {

enum ViewMode { kViewWaypoints = 0, kViewTrackLog = 1, kViewCtrs = 2, kViewPilots = 3 };

struct ColumnSpec {
    const char* name;
    int width_chars;  // in average characters of the dialog font
};

struct ListViewDescriptor {
    int list_id = 1101;
    bool wide_text = false;
    std::vector<ColumnSpec> columns;
    std::function<int()> row_count;
    std::function<std::string(int row, int column)> cell_text;
    std::function<void(int column)> column_click;  // may be empty
};

std::vector<ColumnSpec> waypoint_columns(bool utm);
std::vector<ColumnSpec> track_columns(bool utm);
std::vector<ColumnSpec> ctr_columns();
std::vector<ColumnSpec> pilot_columns();

// Cell texts; the column index counts in the set chosen by utm.
std::string waypoint_cell(const Waypoint& w, int column, bool utm);
std::string track_cell(const TrackLog& log, std::size_t row, int column, bool utm);

// The table model of the one list: rows and columns from the current
// descriptor, texts from its cell routine.
class ListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ListModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    // Replaces the descriptor: all rows and columns are built anew.
    void set_descriptor(const ListViewDescriptor* d);
    const ListViewDescriptor* descriptor() const { return d_; }
    // Rows changed under the same columns; the selection stays when their number did not change.
    void reload();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const ListViewDescriptor* d_ = nullptr;
    int rows_ = 0;
};

}  // namespace orlogix::ui
