#pragma once
// A simulated MLR receiver (or a Digifly, CPilot or CoMo built on one): it
// answers the $PMLR product request, serves its track log and waypoints as
// fast binary frames after the start sentences, reports the "$GPWPL"
// sentences it is sent, and in NMEA mode streams GPRMC and GPGGA with one
// of its waypoints as GPWPL every second.
#include <cstdint>
#include <string>
#include <vector>

#include "core/records.hpp"
#include "sim/mlr/pmlr_instrument.hpp"

namespace orlogix::sim {

class FamilyRegistry;

struct MlrConfig {
    std::string model = "SP24 XC";
    std::string serial = "10442";
    std::string firmware = "3.10";
    std::string extra = "XC";
    std::vector<TrackPosition> positions;
    std::vector<Waypoint> waypoints;
    bool nmea = false;          // stream sentences
    // Frames whose sum is spoiled, counted from 1 over each transfer (0: none).
    std::size_t bad_frame = 0;
};

class MlrReceiver : public PmlrInstrument {
public:
    explicit MlrReceiver(MlrConfig config);
    std::chrono::milliseconds tick_interval() const override {
        return std::chrono::milliseconds(config_.nmea ? 1000 : 0);
    }

protected:
    void on_tick() override;
    void handle(const std::string& line) override;

private:
    void send_track();
    void send_waypoints();
    void send_frames(char letter, const std::vector<std::vector<uint8_t>>& records, std::size_t per_frame);

    MlrConfig config_;
    uint32_t time_ahead_ = 0;   // the old SP24 firmware's 14 s
    std::size_t streamed_ = 0;
    uint8_t sequence_ = 0;
};

void register_mlr_family(FamilyRegistry& registry);

}  // namespace orlogix::sim
