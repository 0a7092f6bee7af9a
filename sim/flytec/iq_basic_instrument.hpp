#pragma once
// A simulated IQ Basic / Flytec 6015: answers the RPA_ parameter reads,
// lists its tracks, serves each track's IGC text with XON and XOFF bytes
// mixed in (the line has no flow control, the program must drop them),
// sends its waypoints and stores uploaded ones, answering " Done" or a set
// error reply.
#include <cstdint>
#include <string>
#include <vector>

#include "core/records.hpp"
#include "sim/flytec/flytec_instrument.hpp"
#include "sim/instrument.hpp"

namespace orlogix::sim {


struct IqBasicConfig {
    uint32_t device_type = 1;   // 0: Flytec 6015
    uint32_t serial = 1137;
    uint32_t version = 1105;    // 1.1.05
    std::vector<FlytecTrack> tracks;   // track number 0 first
    std::vector<Waypoint> waypoints;
    std::string upload_reply = " Done";
};

class IqBasicInstrument : public Instrument {
public:
    explicit IqBasicInstrument(IqBasicConfig config) : config_(std::move(config)) {}

protected:
    void on_bytes(std::string_view bytes) override;

private:
    void handle(std::string_view line);
    void send_line(const std::string& text) { reply(text + "\r\n"); }
    void send_track(std::size_t index);
    void take_upload(std::string_view line);

    IqBasicConfig config_;
    std::string line_;
    bool upload_next_ = false;   // the line after "ACT_32_00" is a waypoint
    std::size_t uploads_ = 0;
};

void register_iq_basic_family(FamilyRegistry& registry);

}  // namespace orlogix::sim
