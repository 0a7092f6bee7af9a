#include "ui/track_drawing.hpp"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QResizeEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "analysis/contest/contest_report.hpp"

namespace orlogix::ui {


MonoBitmap::MonoBitmap(int w, int h)
    : width(std::max(w, 0)), height(std::max(h, 0)), stride(2 * ((std::max(w, 0) + 15) / 16)),
      bits(static_cast<std::size_t>(stride) * static_cast<std::size_t>(std::max(h, 0)), 0xFF) {}

bool MonoBitmap::black(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return false;
    return (bits[static_cast<std::size_t>(y * stride + x / 8)] & (0x80 >> (x % 8))) == 0;
}

void MonoBitmap::set_black(int x, int y) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    bits[static_cast<std::size_t>(y * stride + x / 8)] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
}

int MonoBitmap::black_count() const {
    int n = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) n += black(x, y) ? 1 : 0;
    return n;
}

TrackDrawing prepare_track_drawing(const std::vector<TrackPosition>& positions) {
    TrackDrawing d;
    if (positions.empty()) return d;
    int32_t lon_min = positions.front().longitude, lon_max = lon_min;
    for (const TrackPosition& p : positions) {
        lon_min = std::min(lon_min, p.longitude);
        lon_max = std::max(lon_max, p.longitude);
    }
    const double meridian = (semicircle_to_radians(lon_min) + semicircle_to_radians(lon_max)) / 2.0;
    d.points.reserve(positions.size());
    for (const TrackPosition& p : positions)
        d.points.push_back(tm_project(semicircles_to_radians(p.latitude, p.longitude), meridian));
    d.x_min = d.x_max = d.points.front().x;
    d.y_min = d.y_max = d.points.front().y;
    for (const PlanePoint& p : d.points) {
        d.x_min = std::min(d.x_min, p.x);
        d.x_max = std::max(d.x_max, p.x);
        d.y_min = std::min(d.y_min, p.y);
        d.y_max = std::max(d.y_max, p.y);
    }
    const double wx = (d.x_max - d.x_min) * 0.05, wy = (d.y_max - d.y_min) * 0.05;
    d.x_min -= wx;
    d.x_max += wx;
    d.y_min -= wy;
    d.y_max += wy;
    return d;
}

void track_pixel(const TrackDrawing& d, int w, int h, const PlanePoint& p, int& column, int& row_from_bottom) {
    const double xs = d.x_max - d.x_min, ys = d.y_max - d.y_min;
    const double cw = w - 1, ch = h - 1;
    // Compared as products so that a zero span never divides; with both
    // spans zero every position lands on the centre.
    double scale = 0.0;
    if (xs > 0 || ys > 0) scale = xs * ch >= ys * cw ? cw / xs : ch / ys;
    const double cx = (d.x_min + d.x_max) / 2.0, cy = (d.y_min + d.y_max) / 2.0;
    column = static_cast<int>(scale * (p.x - cx) + cw / 2.0 + 0.5);
    row_from_bottom = static_cast<int>(scale * (p.y - cy) + ch / 2.0 + 0.5);
}

void draw_line(MonoBitmap& b, int x0, int y0, int x1, int y1) {
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        b.set_black(x0, y0);
        if (x0 == x1 && y0 == y1) break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

MonoBitmap render_track(const TrackDrawing& d, int w, int h) {
    MonoBitmap b(w, h);
    if (w <= 0 || h <= 0 || d.points.empty()) return b;
    int px = 0, py = 0;
    for (std::size_t i = 0; i < d.points.size(); ++i) {
        int x = 0, r = 0;
        track_pixel(d, w, h, d.points[i], x, r);
        const int y = h - 1 - r;
        if (i == 0) b.set_black(x, y);
        else draw_line(b, px, py, x, y);
        px = x;
        py = y;
    }
    return b;
}

ContestMarks contest_marks(const TrackDrawing& d, const ContestResult& r, int w, int h) {
    ContestMarks m;
    if (!r.found || r.type == nullptr) return m;
    auto pixel = [&](uint32_t fix) {
        Pixel p;
        int from_bottom = 0;
        track_pixel(d, w, h, d.points[fix], p.x, from_bottom);
        p.y = h - 1 - from_bottom;
        return p;
    };
    const std::vector<uint32_t> points = contest_flight_points(r);
    const std::vector<uint32_t> path = contest_leg_path(r);
    for (uint32_t fix : points)
        if (fix >= d.points.size()) return m;  // scored on other fixes: nothing to draw
    for (uint32_t fix : path) m.legs.push_back(pixel(fix));
    for (std::size_t k = 1; k + 1 < points.size(); ++k) m.turnpoints.push_back(pixel(points[k]));
    m.ends = {pixel(points.front()), pixel(points.back())};
    m.closed = r.type->shape != ContestShape::FreeDistance;
    return m;
}

namespace {

QPointF centre_of(const Pixel& x) { return QPointF(x.x + 0.5, x.y + 0.5); }

// The corner where a box of that size hides least: no mark if it can, then
// the fewest track pixels; top left first among equals.
QRect quiet_corner(const MonoBitmap& track, const ContestMarks* marks, QSize size) {
    const int w = track.width, h = track.height, margin = 4;
    const QRect corners[] = {
        QRect(QPoint(margin, margin), size),
        QRect(QPoint(w - margin - size.width(), margin), size),
        QRect(QPoint(margin, h - margin - size.height()), size),
        QRect(QPoint(w - margin - size.width(), h - margin - size.height()), size),
    };
    QRect best = corners[0];
    long best_cost = -1;
    for (const QRect& r : corners) {
        long cost = 0;
        for (int y = std::max(r.top(), 0); y <= std::min(r.bottom(), h - 1); ++y)
            for (int x = std::max(r.left(), 0); x <= std::min(r.right(), w - 1); ++x) cost += track.black(x, y) ? 1 : 0;
        if (marks) {
            const QRect near = r.adjusted(-8, -8, 8, 8);
            for (const auto* points : {&marks->turnpoints, &marks->ends})
                for (const Pixel& m : *points) cost += near.contains(m.x, m.y) ? 1000000 : 0;
        }
        if (best_cost < 0 || cost < best_cost) {
            best = r;
            best_cost = cost;
        }
    }
    return best;
}

void paint_caption(QPainter& p, const MonoBitmap& track, const ContestMarks* marks, const QString& caption) {
    // Wrapped narrow enough to find a free corner, on a pale ground where the track runs beneath.
    const int width = std::max(track.width * 9 / 20, 160);
    const QRect text = p.fontMetrics().boundingRect(QRect(0, 0, width, track.height), Qt::TextWordWrap, caption);
    const QRect box = quiet_corner(track, marks, text.size() + QSize(6, 2));
    p.fillRect(box, QColor(255, 255, 255, 220));
    p.setPen(Qt::black);
    p.drawText(box.adjusted(3, 1, -3, -1), Qt::TextWordWrap, caption);
}

void paint_marks(QPainter& p, const ContestMarks& marks, int w, int h) {
    // The legs see-through, so that the track where they run along it stays in sight.
    QColor leg = QColor::fromRgb(kContestLegColour);
    leg.setAlpha(170);
    p.setPen(QPen(leg, 2));
    for (std::size_t k = 0; k + 1 < marks.legs.size(); ++k)
        p.drawLine(centre_of(marks.legs[k]), centre_of(marks.legs[k + 1]));
    const QColor closing = QColor::fromRgb(kContestClosingColour);
    if (marks.closed) {
        p.setPen(QPen(closing, 1.5, Qt::DashLine));
        p.drawLine(centre_of(marks.ends[0]), centre_of(marks.ends[1]));
    }
    QFont font = p.font();
    font.setBold(true);
    p.setFont(font);
    // Up and to the right of its point, kept inside the picture.
    auto label = [&](const Pixel& x, const QString& text, const QColor& colour) {
        QRectF box = p.fontMetrics().boundingRect(text);
        box.moveBottomLeft(centre_of(x) + QPointF(6, -5));
        box.moveLeft(std::clamp(box.left(), 0.0, std::max(0.0, w - box.width())));
        box.moveTop(std::clamp(box.top(), 0.0, std::max(0.0, h - box.height())));
        if (box.contains(centre_of(x))) box.moveRight(centre_of(x).x() - 6);
        p.setPen(colour);
        p.drawText(box, Qt::AlignCenter, text);
    };
    p.setBrush(Qt::white);
    for (std::size_t k = 0; k < marks.ends.size(); ++k) {
        p.setPen(QPen(closing, 2));
        p.drawEllipse(centre_of(marks.ends[k]), 4.5, 4.5);
        if (!marks.closed) label(marks.ends[k], k == 0 ? "S" : "F", closing);
    }
    for (std::size_t k = 0; k < marks.turnpoints.size(); ++k) {
        p.setPen(QPen(Qt::white, 1));
        p.setBrush(QColor::fromRgb(kContestPointColour));
        p.drawEllipse(centre_of(marks.turnpoints[k]), 5, 5);
        label(marks.turnpoints[k], QString::number(k + 1), QColor::fromRgb(kContestPointColour));
    }
}

}  // namespace

QImage render_track_view(const MonoBitmap& track, const ContestMarks* marks, const QString& caption) {
    const int w = track.width, h = track.height;
    QImage mono(w, h, QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < h; ++y)
        std::memcpy(mono.scanLine(y), track.bits.data() + static_cast<std::size_t>(y * track.stride),
                    static_cast<std::size_t>(std::min(track.stride, static_cast<int>(mono.bytesPerLine()))));
    QImage image = mono.convertToFormat(QImage::Format_RGB32);
    if (w <= 0 || h <= 0) return image;
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // The caption first: a mark is never hidden under it.
    if (!caption.isEmpty()) paint_caption(p, track, marks, caption);
    if (marks && !marks->legs.empty()) paint_marks(p, *marks, w, h);
    return image;
}

TrackViewWindow::TrackViewWindow(TrackDrawing drawing, QWidget* parent)
    : QWidget(parent, Qt::Window), drawing_(std::move(drawing)), picture_(new QLabel(this)) {
    setWindowTitle("Track view");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    picture_->setMinimumSize(1, 1);
    picture_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    layout->addWidget(picture_);
    resize(480, 400);
}

TrackViewWindow::~TrackViewWindow() {
    if (run_) run_->stop();
}

void TrackViewWindow::show_contest(std::shared_ptr<const ScoredFlight> flight) {
    contest_ = std::move(flight);
    caption_ = contest_ ? QString::fromStdString(contest_summary(contest_->score)) : QString();
    if (width() > 0 && height() > 0) redraw();
}

void TrackViewWindow::score_contest(std::shared_ptr<const std::vector<TrackPosition>> positions,
                                    const ContestRules& rules, double time_limit_seconds) {
    if (!run_) {
        run_ = new ContestRun(this);
        connect(run_, &ContestRun::progress, this, [this] {
            caption_ = QString::fromStdString(contest_progress(*run_->rules(), run_->types_done()));
            redraw();
        });
        connect(run_, &ContestRun::finished, this, [this] { show_contest(run_->result()); });
    }
    contest_.reset();
    caption_ = QString::fromStdString(contest_progress(rules, 0));
    run_->start(std::move(positions), rules, time_limit_seconds);
    if (width() > 0 && height() > 0) redraw();
}

void TrackViewWindow::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (e->size().width() > 0 && e->size().height() > 0) redraw();
}

void TrackViewWindow::redraw() {
    const int w = width(), h = height();
    bitmap_ = render_track(drawing_, w, h);
    marks_ = ContestMarks{};
    if (contest_ && contest_->score.best >= 0)
        marks_ = contest_marks(drawing_, contest_->score.types[static_cast<std::size_t>(contest_->score.best)], w, h);
    image_ = render_track_view(bitmap_, &marks_, caption_);
    picture_->setPixmap(QPixmap::fromImage(image_));
    ++redraws_;
}

}  // namespace orlogix::ui
