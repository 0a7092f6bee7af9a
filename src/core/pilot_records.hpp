#pragma once
// A competition's pilot list: who flies with which competition and CIVL
// number, and the serial texts of the instruments downloaded for each pilot.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orlogix {

inline constexpr std::size_t kPilotNameMax = 80;     // characters
inline constexpr std::size_t kPilotDeviceMax = 50;   // bytes
inline constexpr std::size_t kPilotDevices = 4;

struct PilotRecord {
    std::string name;        // UTF-8, at most kPilotNameMax characters
    int32_t civl_id = -1;    // -1: none
    int32_t comp_id = -1;    // -1: none
    std::array<std::string, kPilotDevices> devices;  // empty: unused
};

struct PilotList {
    std::vector<PilotRecord> pilots;
    bool empty() const { return pilots.empty(); }
    std::size_t size() const { return pilots.size(); }
};

}  // namespace orlogix
