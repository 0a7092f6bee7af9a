#pragma once
// A simulated Garmin hand-held on the serial link: answers the product
// request (with or without its capability packet), serves its track log and
// waypoints record by record with stop-and-wait acknowledgements, and
// reports what the program uploads.
#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/records.hpp"
#include "protocols/garmin/link_codec.hpp"
#include "protocols/garmin/records.hpp"
#include "sim/instrument.hpp"

namespace orlogix {
class Reporter;
}

namespace orlogix::sim {

class FamilyRegistry;
struct FamilyOptions;

struct GarminConfig {
    garmin::ProductData product{1000, 350, "SIMGPS Software Version 3.50"};
    // False: the receiver sends no capability packet (an older model).
    bool report_capabilities = true;
    // Empty: built from the types below.
    std::vector<garmin::ProtocolEntry> protocols;
    int track_protocol = 301;   // 0, 300, 301 or 302
    int track_header_type = 310;
    int track_point_type = 301;
    int waypoint_type = 108;
    bool ack_product_request = true;   // acknowledge 254 before sending product data
    std::string track_name = "ACTIVE LOG";
    std::vector<TrackPosition> track;
    std::vector<Waypoint> waypoints;
};

// The capability entries a receiver of this configuration announces.
std::vector<garmin::ProtocolEntry> default_protocols(const GarminConfig& config);

// The record count of a transfer is 16 bits. Empty when the track log (with
// its header) and the waypoints each fit one transfer, else the refusal.
inline constexpr std::size_t kMaxTransferRecords = 0xFFFF;
std::string transfer_problem(const GarminConfig& config);

// The --set keys of a simulated Garmin, and the receiver they and the
// loaded files make (unknown keys are the caller's to refuse). 0, or -1
// after the reporter was told which value is bad.
inline constexpr std::array<std::string_view, 12> kGarminSettingKeys{
    "product", "version", "description", "capabilities", "track_protocol", "track_header",
    "track_point", "waypoint_type", "ack_request", "points", "wpts", "track_name"};
int garmin_config(const FamilyOptions& options, Reporter& reporter, GarminConfig& config);

// Positions along a straight climb, one every 5 s, and waypoints on a grid.
std::vector<TrackPosition> generated_track(std::size_t count);
std::vector<Waypoint> generated_waypoints(std::size_t count);

class GarminReceiver : public Instrument {
public:
    explicit GarminReceiver(GarminConfig config);

protected:
    void on_bytes(std::string_view bytes) override;

private:
    void handle(const garmin::Packet& p);
    void handle_command(uint16_t command);
    void handle_upload(const garmin::Packet& p);
    void send_next();
    void send_now(const garmin::Packet& p);

    GarminConfig config_;
    garmin::FrameReceiver frames_;
    // Records waiting to go out; the front one is on the wire until acknowledged.
    std::deque<garmin::Packet> outgoing_;
    bool awaiting_ack_ = false;
    std::size_t upload_records_ = 0;
};

void register_garmin_family(FamilyRegistry& registry);

}  // namespace orlogix::sim
