#pragma once
// Garmin application records: product data, the protocol capability table,
// track points, track headers and waypoints, decoded from and encoded to
// packet data. Pure functions over byte buffers.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/records.hpp"

namespace orlogix::garmin {

struct ProductData {
    uint16_t product_id = 0;
    uint16_t software_version = 0;   // hundredths: 350 is 3.50
    std::string description;         // at most 80 characters
};

// Product data of packet 255: at least 5 bytes. 0, or -1 when too short.
int decode_product_data(std::span<const uint8_t> data, ProductData& out);
std::vector<uint8_t> encode_product_data(const ProductData& product);

// The 20-number capability table; only the named indexes steer anything.
using CapabilityTable = std::array<uint16_t, 20>;
enum CapabilityIndex : std::size_t {
    kCapProduct = 0, kCapVersionLow = 1, kCapVersionHigh = 2, kCapPhysical = 3, kCapLink = 4,
    kCapCommand = 5, kCapTagT = 6, kCapWaypointProtocol = 7, kCapWaypointType = 8,
    kCapRouteProtocol = 9, kCapRouteHeader = 10, kCapRouteWaypoint = 11, kCapRouteLink = 12,
    kCapTrackProtocol = 13, kCapTrackHeader = 14, kCapTrackPointType = 15,
    kCapProximityProtocol = 16, kCapProximityType = 17, kCapAlmanacProtocol = 18, kCapAlmanacType = 19,
};

enum CapabilityParse { kCapParsed = 0, kCapBadSize = -1, kCapBadTag = -2 };
// Reads the tag/number entries of packet 253 into a cleared table.
int parse_protocol_array(std::span<const uint8_t> data, uint16_t product_id, uint16_t version,
                         CapabilityTable& table);

// One tag/number entry, for building protocol arrays (the simulated receiver).
struct ProtocolEntry {
    char tag = 0;
    uint16_t number = 0;
};
std::vector<uint8_t> encode_protocol_array(const std::vector<ProtocolEntry>& entries);

// The built-in table for receivers that do not report their capabilities:
// first entry of equal product ID whose version range holds the version.
bool lookup_builtin_product(uint16_t product_id, uint16_t version, CapabilityTable& table);

// nullptr when the operations can work with the table, else the error text.
const char* check_capabilities(const CapabilityTable& table);

bool is_waypoint_type(int type);
bool is_track_point_type(int type);

// Track points D300-D304. 0, or -1 for a short packet or an unknown type.
int decode_track_point(std::span<const uint8_t> data, int type, TrackPosition& out);
// The record as a receiver sends it; altitude 0 goes out as "unknown".
std::vector<uint8_t> encode_track_point(const TrackPosition& p, int type);

// Track headers D310 (display, colour, name), D311 (16-bit index), D312 (as D310).
std::vector<uint8_t> encode_track_header(int type, const std::string& name, uint16_t index);
// The header's name (D311: the index in decimal). 0, or -1 for a short record.
int decode_track_header(std::span<const uint8_t> data, int type, std::string& name);

enum WaypointDecode { kWptDecoded = 0, kWptShort = -1, kWptBadType = -2 };
// Waypoints D100-D110, D150-D155. The time stamp is default_time except for D110.
int decode_waypoint(std::span<const uint8_t> data, int type, uint32_t default_time, Waypoint& out);
// Empty for a type that is not a waypoint data type.
std::vector<uint8_t> encode_waypoint(const Waypoint& w, int type);

}  // namespace orlogix::garmin
