// The window's Garmin USB download through the real libusb stack, run inside
// the umockdev test bed of orlogix-sim, which serves the flight named by
// ORLOGIX_USB_FLIGHT (below tests/data) at usb:001:002. Only that test bed
// can host it: its ctest entry runs
//   orlogix-sim --family garminusb --track <flight> -- test_ui
//       --gtest_also_run_disabled_tests --gtest_filter=GarminUsbTestbedWindow.*
// and it is kept out of the ordinary discovery and runs of test_ui.
#include <gtest/gtest.h>

#include <QAction>
#include <QPushButton>

#include <cstdlib>

#include "support/sim_kit.hpp"
#include "window_fixture.hpp"

namespace orlogix::ui {
namespace {

class GarminUsbTestbedWindow : public test::WindowTest {};

TEST_F(GarminUsbTestbedWindow, DISABLED_ReadGarminUsbInstallsEveryFixOfTheFlight) {
    const char* flight = std::getenv("ORLOGIX_USB_FLIGHT");
    ASSERT_NE(flight, nullptr) << "runs only inside the test bed that serves the flight";
    const std::vector<TrackPosition> want = orlogix::test::load_flight(flight);
    ASSERT_GT(want.size(), 4000u);

    MainWindow& w = open_window();
    ASSERT_TRUE(w.action(40075)->isEnabled());
    EXPECT_EQ(w.action(40075)->shortcut(), QKeySequence("Ctrl+U"));
    EXPECT_TRUE(w.button(40075)->isEnabled());
    w.action(40075)->trigger();
    ASSERT_TRUE(pump_until([&] { return !w.jobs().busy() && !w.jobs().job_registered(); }, 120000));
    for (const BoxRequest& b : boxes_) ADD_FAILURE() << b.title << ": " << b.text;

    EXPECT_EQ(w.view_mode(), kViewTrackLog);
    const TrackLog& log = w.data().track_log;
    EXPECT_EQ(log.header.device_identity, "Garmin USB: 3456789");
    EXPECT_EQ(log.header.instrument_family, InstrumentFamily::Garmin);
    ASSERT_EQ(log.positions.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        const TrackPosition& got = log.positions[i];
        ASSERT_TRUE(got.time == want[i].time && got.latitude == want[i].latitude &&
                    got.longitude == want[i].longitude)
            << "fix " << i << " of " << flight;
    }
    ASSERT_EQ(w.model()->rowCount(), static_cast<int>(want.size()));
    EXPECT_EQ(w.exit_code(), 0);
}

}  // namespace
}  // namespace orlogix::ui
