#pragma once
// A simulated DSX instrument: answers "V1" with the open answer, takes "V4"
// and "V0", lists its tracks oldest first, sends a track's IGC text after
// "#" and ends it with the "ZZZZ" line, answers the five pilot texts and
// reports the texts written.
#include <array>
#include <string>
#include <vector>

#include "sim/flytec/flytec_instrument.hpp"
#include "sim/instrument.hpp"

namespace orlogix::sim {

class FamilyRegistry;

struct DsxConfig {
    std::vector<FlytecTrack> tracks;   // oldest first; numbered from first_number
    int first_number = 1;
    bool g_records = true;             // false: G lines are left out of the served text
    std::array<std::string, 5> texts = {"SIM PILOT", "123", "4567", "GLIDER", "SPONSOR"};
};

class DsxInstrument : public Instrument {
public:
    explicit DsxInstrument(DsxConfig config) : config_(std::move(config)) {}
    // The text a track goes out as, "#" and end mark included.
    static std::string served_text(const std::string& igc, bool g_records);

protected:
    void on_bytes(std::string_view bytes) override;

private:
    void handle(const std::string& command);
    DsxConfig config_;
    std::string command_;
};

void register_dsx_family(FamilyRegistry& registry);

}  // namespace orlogix::sim
