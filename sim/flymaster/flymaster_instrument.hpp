#pragma once
// A simulated Flymaster variometer (F1 family, B1NAV): answers the product
// request, lists its tracks, sends a track as binary blocks and waits for
// each acknowledgement (0xB1 next, 0xB2 the same again, 0xB3 stop), serves
// its waypoints and keeps and answers uploaded ones, and reports set-data
// sentences and power-off.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/records.hpp"
#include "sim/instrument.hpp"

namespace orlogix::sim {

class FamilyRegistry;

struct FlymasterTrack {
    std::vector<TrackPosition> positions;
    uint32_t start = 0;      // first fix, for the list and the request
    uint32_t duration = 0;   // seconds
};

struct FlymasterConfig {
    std::string model = "F1";
    std::string serial = "12345";
    std::string version = "1.19";
    std::vector<FlymasterTrack> tracks;   // list index 0 first
    std::vector<Waypoint> waypoints;      // uploads are added
    // A confused instrument, for the tests of the program's checks: blocks
    // sent for any track download instead of the track's own (the end mark
    // follows them), and a name every upload answer gives instead of the
    // waypoint's.
    std::optional<std::vector<std::string>> blocks;
    std::string answer_name;
};

// The blocks a track goes out as: flight information, then a key position
// and delta blocks, a new key position wherever a change does not fit a
// signed byte (or the time step an unsigned one). Each block whole, with
// its checksum; the end mark is not among them.
std::vector<std::string> flymaster_blocks(const FlymasterTrack& track, const FlymasterConfig& config);

class FlymasterInstrument : public Instrument {
public:
    explicit FlymasterInstrument(FlymasterConfig config) : config_(std::move(config)) {}
    const std::vector<Waypoint>& waypoints() const { return config_.waypoints; }

protected:
    void on_bytes(std::string_view bytes) override;

private:
    void handle(std::string_view line);
    void take_upload(std::string_view line);
    void send_next_block();

    FlymasterConfig config_;
    std::string line_;
    bool in_line_ = false;
    // The track being sent: its blocks and the one awaiting an answer.
    std::vector<std::string> blocks_;
    std::size_t next_block_ = 0;
    bool sending_ = false;
};

void register_flymaster_family(FamilyRegistry& registry);

}  // namespace orlogix::sim
