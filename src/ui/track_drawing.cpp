#include "ui/track_drawing.hpp"

#include <QImage>
#include <QPixmap>
#include <QResizeEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>
#include <cstring>

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

void TrackViewWindow::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (e->size().width() > 0 && e->size().height() > 0) redraw();
}

void TrackViewWindow::redraw() {
    const int w = width(), h = height();
    bitmap_ = render_track(drawing_, w, h);
    QImage image(w, h, QImage::Format_Mono);
    image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < h; ++y)
        std::memcpy(image.scanLine(y), bitmap_.bits.data() + static_cast<std::size_t>(y * bitmap_.stride),
                    static_cast<std::size_t>(std::min(bitmap_.stride, static_cast<int>(image.bytesPerLine()))));
    picture_->setPixmap(QPixmap::fromImage(image));
    ++redraws_;
}

}  // namespace orlogix::ui
