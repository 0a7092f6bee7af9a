// orlogix-sim --family garminusb: the Garmin receiver on USB, for a program
// run under a umockdev test bed.
#include <algorithm>

#include "core/report.hpp"
#include "sim/family_registry.hpp"
#include "sim/garmin/usb_testbed.hpp"

namespace orlogix::sim {

namespace {

int host_garmin_usb(const FamilyOptions& options, const std::vector<std::string>& command, Reporter& r,
                    const ReportSink& uploads) {
    std::vector<std::string_view> keys(kGarminSettingKeys.begin(), kGarminSettingKeys.end());
    keys.push_back("bulk");
    keys.push_back("zero_length");
    if (check_setting_keys(r, "garminusb", options.settings, keys) < 0) return -1;
    GarminUsbConfig c;
    // A receiver closes a transfer that fills its last packet with a zero-length one.
    c.zero_length = true;
    FamilyOptions serial = options;
    for (const char* key : {"bulk", "zero_length"}) {
        const auto it = serial.settings.find(key);
        if (it == serial.settings.end()) continue;
        if (it->second != "on" && it->second != "off") {
            r.error_box("orlogix-sim", "Bad value " + it->second + " for setting " + key);
            return -1;
        }
        (std::string_view(key) == "bulk" ? c.bulk : c.zero_length) = it->second == "on";
        serial.settings.erase(it);
    }
    if (garmin_config(serial, r, c.receiver) < 0) return -1;
    std::string why;
    const int status = run_under_usb_testbed(std::move(c), command, uploads, why);
    if (status < 0) r.error_box("orlogix-sim", "Cannot run the USB test bed: " + why);
    return status;
}

}  // namespace

void register_garmin_usb_family(FamilyRegistry& registry) {
    registry.add_host("garminusb",
                      "Garmin USB receiver at usb:001:002 for the program after --, under umockdev; the garmin "
                      "settings and bulk=on|off, zero_length=on|off (on)",
                      host_garmin_usb);
}

}  // namespace orlogix::sim
