#pragma once
// A Garmin receiver on USB: the same application records as on the serial
// link, in USB packets and without acknowledgements, with the USB protocol's
// own error codes and captions. Every call reports its failure once.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/records.hpp"
#include "protocols/garmin/records.hpp"
#include "protocols/garmin/usb_link.hpp"
#include "protocols/identity_sink.hpp"

namespace orlogix {
class Reporter;
}

namespace orlogix::garmin {

struct UsbSessionOptions {
    bool power_off = false;                      // after a track log read and a waypoint upload
    bool power_off_after_track_upload = false;   // the command line's PWROFF only
    std::function<bool()> aborted;               // the job's abort flag; empty: never
    std::function<void(std::string_view)> notify;
    std::function<uint32_t()> now;               // default waypoint time stamp; empty: time_now()
};

class UsbSession {
public:
    UsbSession(UsbTransport& usb, Reporter& reporter, UsbSessionOptions options = {});

    // Session start, product data and capability table. 0 or -1.
    int identify();
    int read_track_log(std::vector<TrackPosition>& out);
    // Normal mode into out; identity-check mode (out null) hands each record to identity.
    int read_waypoints(WaypointList* out, const IdentitySink& identity = {});
    int upload_waypoints(const std::vector<Waypoint>& waypoints);
    // The points as one track log (a CTR outline when ctr_number > 0, named name).
    int upload_points_as_track(const std::vector<Waypoint>& points, int ctr_number = 0,
                               const std::string* name = nullptr);

    const CapabilityTable& capabilities() const { return caps_; }
    const ProductData& product() const { return product_; }
    uint32_t unit_id() const { return unit_id_; }
    // Product name, description and device identity ("Garmin USB: %u") of a downloaded log.
    void fill_header(TrackLogHeader& header) const;

private:
    int fail(std::string_view caption, std::string_view text);
    int stop_aborted();
    int send_app(uint8_t id, std::span<const uint8_t> data, std::string_view caption, std::string_view error);
    int send_command(uint16_t command, std::string_view caption, std::string_view error);
    // receive(), a failure r reported as "E%d Packet read error" with base - r.
    int receive(std::string_view caption, int base);
    bool aborted() const { return options_.aborted && options_.aborted(); }

    UsbPacketLink link_;
    UsbTransport& usb_;
    Reporter& reporter_;
    UsbSessionOptions options_;
    ProductData product_;
    CapabilityTable caps_{};
    uint32_t unit_id_ = 0;
};

}  // namespace orlogix::garmin
