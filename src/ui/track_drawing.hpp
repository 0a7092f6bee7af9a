#pragma once
// "Show track": the selected positions projected about their middle
// meridian, scaled into a one-bit bitmap the size of the window and joined by
// straight lines; and the window that shows it.
#include <QLabel>
#include <QWidget>

#include <cstdint>
#include <vector>

#include "core/geodesy.hpp"
#include "core/records.hpp"

namespace orlogix::ui {

// Rows of 2 x ceil(w/16) bytes, top row first, most significant bit leftmost;
// a set bit is white, a cleared bit black.
struct MonoBitmap {
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<uint8_t> bits;

    MonoBitmap(int w, int h);
    // x from the left, y from the top.
    bool black(int x, int y) const;
    void set_black(int x, int y);  // outside the bitmap: ignored
    int black_count() const;
};

struct TrackDrawing {
    std::vector<PlanePoint> points;
    double x_min = 0, x_max = 0, y_min = 0, y_max = 0;  // widened by 5 % of the span on each side
};

TrackDrawing prepare_track_drawing(const std::vector<TrackPosition>& positions);
// Pixel of a point: column from the left, row from the bottom (rounded half up).
void track_pixel(const TrackDrawing& d, int w, int h, const PlanePoint& p, int& column, int& row_from_bottom);
MonoBitmap render_track(const TrackDrawing& d, int w, int h);
// The integer line from (x0, y0) to (x1, y1), both ends included.
void draw_line(MonoBitmap& bitmap, int x0, int y0, int x1, int y1);

// The "Track view" window: one picture redrawn at every resize.
class TrackViewWindow : public QWidget {
    Q_OBJECT
public:
    explicit TrackViewWindow(TrackDrawing drawing, QWidget* parent = nullptr);
    const MonoBitmap& bitmap() const { return bitmap_; }
    int redraw_count() const { return redraws_; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void redraw();
    TrackDrawing drawing_;
    QLabel* picture_;
    MonoBitmap bitmap_{0, 0};
    int redraws_ = 0;
};

}  // namespace orlogix::ui
