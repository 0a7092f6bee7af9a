#pragma once
// A simulated Flytec/Brauniger variometer (IQ-Compeo, Competino, Flytec
// 50xx/60xx): answers its PBR sentences only when an XON leads them, serves
// a track list and each track's IGC text, its waypoints, and checks and
// reports the waypoints and airspaces the program uploads. It never sends XON or XOFF,
// which a serial line would swallow.
#include <cstdint>
#include <string>
#include <vector>

#include "core/ctr_records.hpp"
#include "core/records.hpp"
#include "sim/instrument.hpp"

namespace orlogix::sim {

class FamilyRegistry;

struct FlytecTrack {
    std::string igc;         // the text served, byte for byte
    uint32_t start = 0;      // first fix, for the list
    uint32_t duration = 0;   // seconds
};

struct FlytecConfig {
    std::string model = "COMPEO+";
    std::string pilot = "SIM PILOT";
    std::string serial = "1234";
    std::string version = "2.20";
    std::vector<FlytecTrack> tracks;   // list index 0 first
    std::vector<Waypoint> waypoints;
    CtrList ctrs;       // served on "$PBRCTR", ended by "$PBRANS,1"
    char ack = '1';     // the acknowledgement of every uploaded CTR
};

// A track's IGC text and its list times: an ".igc" file as it is, any
// other track as IGC without G-records. Empty igc when the text holds
// XON or XOFF bytes, which the line would not carry.
FlytecTrack flytec_track(const TrackLog& log, std::string igc_text, const std::string& serial);

// The --track files as served tracks, in their order; false after reporting
// a file that cannot be read or served.
bool load_served_tracks(Reporter& r, const std::vector<std::string>& paths, const std::string& serial,
                        std::vector<FlytecTrack>& out);

class FlytecInstrument : public Instrument {
public:
    explicit FlytecInstrument(FlytecConfig config) : config_(std::move(config)) {}

protected:
    void on_bytes(std::string_view bytes) override;

private:
    void handle(std::string_view line);
    void send(const std::string& text);   // as one sentence
    void send_track(std::size_t index);
    void take_upload(const std::vector<std::string_view>& fields, std::string_view body);
    void take_ctr(const std::vector<std::string_view>& fields);
    void send_ctrs();

    FlytecConfig config_;
    std::string line_;
    bool in_line_ = false;
    bool after_xon_ = false;    // the byte before "$" was an XON
    bool line_led_ = false;
    std::size_t uploads_ = 0;
    // The CTR being uploaded: its sentence count, the next number, its name.
    int ctr_count_ = 0, ctr_next_ = 0;
    std::string ctr_name_;
};

void register_flytec_family(FamilyRegistry& registry);

}  // namespace orlogix::sim
