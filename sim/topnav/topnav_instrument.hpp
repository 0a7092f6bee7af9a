#pragma once
// A simulated Top Navigator or XC Trainer. These instruments push: once the
// program has purged the port (the user pressing "send" on the instrument)
// the track log goes out whole, in the block form or as MXP lines, or the
// waypoints go out one by one, each after the program's "@@OK". Waypoint
// packets the program uploads are decoded and reported.
#include <cstdint>
#include <string>
#include <vector>

#include "core/records.hpp"
#include "sim/instrument.hpp"

namespace orlogix::sim {

class FamilyRegistry;

struct TopNavConfig {
    bool xc_trainer = false;
    bool mxp = false;            // MXP lines instead of blocks
    int variant = 1;             // 0 barometric heights, 1 GPS heights, 2 both
    bool send_waypoints = false; // what the user chose to send
    uint32_t serial = 0x1234;
    std::string version = "1234";
    std::vector<TrackPosition> positions;
    std::string log;             // a .tnc file: sent byte for byte instead
    std::vector<Waypoint> waypoints;
};

// The lines of a track log in the block form, each with CR LF: the start
// record, a time record and 30 entries per block (seconds without a fix as
// bad entries; only the runs that begin and end a block can carry fixes,
// and the closing block only its first run), then "@EOF".
std::vector<std::string> block_log_lines(const TopNavConfig& config);
// The lines of a track log in MXP form, header first, each with CR LF.
std::vector<std::string> mxp_log_lines(const TopNavConfig& config);
// The Top Navigator's waypoint lines, "@EOF" last.
std::vector<std::string> waypoint_lines(const std::vector<Waypoint>& waypoints);

class TopNavInstrument : public Instrument {
public:
    explicit TopNavInstrument(TopNavConfig config) : config_(std::move(config)) {}
    bool notices_purge() const override { return true; }

protected:
    void on_bytes(std::string_view bytes) override;
    void on_purge() override;

private:
    void send_next_waypoint();

    TopNavConfig config_;
    bool started_ = false;
    std::vector<std::string> waypoint_items_;   // lines or packets still to go
    std::size_t next_waypoint_ = 0;
    std::string input_;
};



}  // namespace orlogix::sim
