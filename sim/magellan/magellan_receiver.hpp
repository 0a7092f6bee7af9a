#pragma once
// A simulated Magellan hand-held receiver: answers the version request,
// streams its track log (a .log file byte for byte, or sentences made from
// any track) and its waypoints until STOP, ends them with END unless told
// not to (older receivers fall silent instead), keeps uploaded waypoints by
// ID, and with HANDON acknowledges every sentence with $PMGNCSM.
#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "core/records.hpp"
#include "sim/instrument.hpp"

namespace orlogix::sim {

class FamilyRegistry;

struct MagellanConfig {
    int32_t product_id = 33;
    std::string version = "3.20";
    std::string description = "MAGELLAN SPORTRAK";
    std::vector<std::string> track_lines;   // whole sentences with CR LF, sent as they are
    std::vector<Waypoint> waypoints;        // uploads are added, or replace the same ID
    bool end = true;                        // END after a download
};

// The lines of a .log file as they stand, each with its line end.
std::vector<std::string> log_file_lines(std::string_view text);
// One $PMGNTRK sentence per position.
std::vector<std::string> track_sentences(const std::vector<TrackPosition>& positions);

class MagellanReceiver : public Instrument {
public:
    // The receiver talks at 9600 baud only: a host at another rate hears garbage.
    explicit MagellanReceiver(MagellanConfig config) : config_(std::move(config)) { talk_at(9600); }
    const std::vector<Waypoint>& waypoints() const { return config_.waypoints; }
    std::chrono::milliseconds tick_interval() const override { return std::chrono::milliseconds{10}; }

protected:
    void on_bytes(std::string_view bytes) override;
    void on_tick() override;

private:
    void handle(std::string_view line);
    void take_upload(std::string_view body);
    void start(std::vector<std::string> lines);

    MagellanConfig config_;
    std::string line_;
    bool in_line_ = false;
    bool handshake_ = false;
    std::deque<std::string> sending_;
};

void register_magellan_family(FamilyRegistry& registry);

}  // namespace orlogix::sim
