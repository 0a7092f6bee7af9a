#pragma once
// A simulated Digifly Graviter: answers "V" with its product line, "y" with
// the dump of its whole memory (the flight ring built from the tracks it was
// given, bit-packed as the instrument keeps them), "T" with "!", and keeps
// the owner name written byte by byte with "W", reporting it when all 8
// bytes are in.
#include <cstdint>
#include <string>
#include <vector>

#include "core/records.hpp"
#include "sim/instrument.hpp"

namespace orlogix::sim {

class FamilyRegistry;

struct GraviterFlight {
    std::vector<TrackPosition> positions;
    int type = 3;          // 2: a flight stored without track data
    bool fixes = true;     // false: the records carry no GPS fix
};

struct GraviterConfig {
    std::string version = "V2.1";
    std::string serial = "00417";
    std::string owner = "PILOT   ";
    std::vector<GraviterFlight> flights;   // in chain order
    bool across_ring_end = false;          // the first flight straddles the end of the ring
};

// Memory addresses 1697..0x1FFFF as the instrument holds them.
std::vector<uint8_t> graviter_memory(const GraviterConfig& config);
// The point records of one flight, as packed into memory.
std::vector<uint8_t> graviter_points(const GraviterFlight& flight);

class GraviterInstrument : public Instrument {
public:
    explicit GraviterInstrument(GraviterConfig config);

protected:
    void on_bytes(std::string_view bytes) override;

private:
    std::string product_line() const;
    void take_write(std::string_view command);

    GraviterConfig config_;
    std::vector<uint8_t> memory_;
    std::string write_;      // a "W" command being collected
    std::string name_;       // bytes written at 208..215
};

void register_graviter_family(FamilyRegistry& registry);

}  // namespace orlogix::sim
