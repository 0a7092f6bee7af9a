#pragma once
// Waypoints of the family: the Top Navigator's text lines and the 31-byte
// packet the XC Trainer sends and both instruments take.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/records.hpp"

namespace orlogix::topnav {

// What the program answers after every waypoint line or packet (no line end).
inline constexpr std::string_view kWaypointAck = "@@OK";
inline constexpr std::size_t kPacketSize = 31;
using WaypointPacket = std::array<uint8_t, kPacketSize>;

// A Top Navigator waypoint line:
//   ID____ x TPT N dd mm ss E ddd mm ss height m
// The waypoint (identifier cleaned, no comment, time left 0), or nothing for
// a comment, a line that does not match or one whose position is out of range.
std::optional<Waypoint> parse_waypoint_line(std::string_view line);

// The packet for a waypoint: its identifier up to 11 characters, a negative height sent as 0.
WaypointPacket encode_waypoint_packet(const Waypoint& w);

// Packet errors: 2 checksum, 3-6 the bytes of "@@WP" in turn, 7 a position
// beyond +-90 or +-180 degrees.
inline constexpr int kPacketChecksum = 2;
inline constexpr int kPacketPosition = 7;
// 0 and the waypoint (identifier from bytes 7-12, comment from 7-17), or an error code.
int decode_waypoint_packet(const uint8_t* packet, Waypoint& out);

}  // namespace orlogix::topnav
