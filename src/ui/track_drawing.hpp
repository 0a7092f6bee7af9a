#pragma once
// "Show track": the selected positions projected about their middle
// meridian, scaled into a one-bit bitmap the size of the window and joined by
// straight lines; over it, in colour, the flight's best contest flight; and
// the window that shows both.
#include <QImage>
#include <QLabel>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/geodesy.hpp"
#include "core/records.hpp"
#include "ui/contest_run.hpp"

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

// A contest flight on the picture, in pixels (x from the left, y from the top).
struct Pixel {
    int x = 0, y = 0;
    bool operator==(const Pixel&) const = default;
};
struct ContestMarks {
    std::vector<Pixel> legs;        // the path of the legs that count
    std::vector<Pixel> turnpoints;  // in flight order, labelled 1, 2, 3
    std::vector<Pixel> ends;        // start and finish (S, F), or the closing pair
    bool closed = false;            // the ends are a closing pair, joined by a dashed line
};
// The marks of a result over the drawing's points (the fixes it was scored on).
ContestMarks contest_marks(const TrackDrawing& d, const ContestResult& r, int w, int h);

inline constexpr QRgb kContestLegColour = 0xFFD62728;       // red: the legs that score
inline constexpr QRgb kContestPointColour = 0xFFD62728;     // the turn points, filled
inline constexpr QRgb kContestClosingColour = 0xFF1F77B4;   // blue: start, finish, closing pair
// The track in black on white with the marks and a caption over it.
QImage render_track_view(const MonoBitmap& track, const ContestMarks* marks, const QString& caption);

// The "Track view" window: one picture redrawn at every resize. The contest
// flight comes from a finished score or from a run of its own; the caption
// says how far it got.
class TrackViewWindow : public QWidget {
    Q_OBJECT
public:
    explicit TrackViewWindow(TrackDrawing drawing, QWidget* parent = nullptr);
    // Halts and joins its contest run, if any.
    ~TrackViewWindow() override;
    const MonoBitmap& bitmap() const { return bitmap_; }
    int redraw_count() const { return redraws_; }

    // A score of the drawn fixes, as it is.
    void show_contest(std::shared_ptr<const ScoredFlight> flight);
    // Scores the drawn fixes on a worker within the time limit, the caption
    // counting the types done; closing the window halts it.
    void score_contest(std::shared_ptr<const std::vector<TrackPosition>> positions, const ContestRules& rules,
                       double time_limit_seconds);
    const std::shared_ptr<const ScoredFlight>& contest() const { return contest_; }
    const ContestMarks& marks() const { return marks_; }
    const QImage& image() const { return image_; }
    const QString& caption() const { return caption_; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void redraw();
    TrackDrawing drawing_;
    QLabel* picture_;
    MonoBitmap bitmap_{0, 0};
    QImage image_;
    ContestRun* run_ = nullptr;
    std::shared_ptr<const ScoredFlight> contest_;
    ContestMarks marks_;
    QString caption_;
    int redraws_ = 0;
};

}  // namespace orlogix::ui
