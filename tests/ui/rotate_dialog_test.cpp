// "Rotate Track": the field checks and the rotated track log.
#include <gtest/gtest.h>

#include <QLineEdit>

#include <cstdlib>

#include "core/coord_text.hpp"
#include "ui/rotate_dialog.hpp"
#include "window_fixture.hpp"

namespace orlogix::ui {
namespace {

using Rotate = test::WindowTest;

std::string dms(int32_t v, Axis axis) {
    SemicirclePair c = semicircles_to_centi_arcsec(axis == Axis::Latitude ? v : 0, axis == Axis::Longitude ? v : 0);
    return format_dms(axis == Axis::Latitude ? c.latitude : c.longitude, axis);
}

TEST_F(Rotate, ChecksInOrderThenTurnsTheSelectionOntoTheBaseLine) {
    MainWindow& w = open_window();
    ASSERT_GT(w.open_track_file(test::flight_path("line.igc")), 0);
    w.command(40042);
    const TrackPosition first = w.data().track_log.positions.front();
    const TrackPosition last = w.data().track_log.positions.back();
    std::vector<std::string> messages;
    w.set_dialog_handler([&](QDialog& d) {
        auto& r = dynamic_cast<RotateDialog&>(d);
        r.start_latitude->clear();
        r.accept();
        r.start_latitude->setText("N 46");
        r.start_longitude->setText("E 7");
        r.end_latitude->setText("N 46 00 00.5");
        r.end_longitude->setText("E 7");
        r.accept();  // half an arc-second apart
        r.end_longitude->setText("Q 7");
        r.accept();
        r.start_latitude->setText(QString::fromStdString(dms(first.latitude, Axis::Latitude)));
        r.start_longitude->setText(QString::fromStdString(dms(first.longitude, Axis::Longitude)));
        r.end_latitude->setText(QString::fromStdString(dms(last.latitude, Axis::Latitude)));
        r.end_longitude->setText(QString::fromStdString(dms(last.longitude, Axis::Longitude)));
        r.accept();
        return r.result();
    });
    w.command(40124);
    for (const BoxRequest& b : boxes_) messages.push_back(b.text);
    EXPECT_EQ(messages, (std::vector<std::string>{"Missing start latitude input", "Positions are too close",
                                                  "Bad end longitude input"}));
    const auto& p = w.data().track_log.positions;
    // One arc-second is about 3314 semicircles; the start lands on 0/0, the end on the equator.
    EXPECT_LT(std::abs(p.front().latitude), 3400);
    EXPECT_LT(std::abs(p.front().longitude), 3400);
    EXPECT_LT(std::abs(p.back().latitude), 3400);
    EXPECT_GT(std::abs(p.back().longitude), 100000);
    EXPECT_EQ(w.model()->rowCount(), static_cast<int>(p.size()));
}

}  // namespace
}  // namespace orlogix::ui
