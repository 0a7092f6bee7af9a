#pragma once
// The in-memory Garmin USB receiver behind a umockdev test bed: a program
// run under it finds a Garmin (vendor 0x091E product 0x0003, class 0xFF)
// at usb:001:002 and talks to it through the ordinary libusb calls, whose
// usbfs requests the test bed hands to the receiver.
#include <string>
#include <vector>

#include "sim/garmin/garmin_usb_receiver.hpp"

namespace orlogix::sim {

// Runs command (program and arguments, looked up in PATH) under the test
// bed until it ends. Its exit status, or -1 with why set when the test bed
// or the program could not be started. Uploads are reported through report.
int run_under_usb_testbed(GarminUsbConfig config, const std::vector<std::string>& command,
                          const ReportSink& report, std::string& why);

}  // namespace orlogix::sim
