#pragma once
// Waypoint lines of a Flymaster: the "$PFMWPL" lines of a download decoded
// with their format error numbers, the "$PFMWPR" upload sentence, and the
// check of the instrument's answer to it.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/records.hpp"

namespace orlogix::flymaster {

// Longest lines kept after the "$": downloads and upload answers.
inline constexpr std::size_t kWaypointLineMax = 199;
inline constexpr std::size_t kAnswerLineMax = 49;

// A "$PFMWPL,lat,N,lon,E,alt,name[,1]*hh" line (from "$" to before the CR):
// 0 with the waypoint (time stamp now), or the format error number of
// "E302 Format error %": 4 no '*', 1 a checksum digit that is not
// hexadecimal, 2 text after the digits, 3 checksum mismatch, 5 fewer than 7
// fields, 6 latitude, 7 N/S, 8 longitude, 9 E/W, 10 altitude, 11 empty name.
int decode_waypoint_line(std::string_view line, uint32_t now, Waypoint& out);

// "$PFMWPR,ddmm.mmm,N,dddmm.mmm,E,,<comment in 16>,hhhh[,1]*HH" CR LF; ",1"
// for an airfield from firmware "1.19" on.
std::string waypoint_upload_sentence(const Waypoint& w, std::string_view firmware);
// The name as the sentence carries it (16 characters).
std::string upload_name(const Waypoint& w);

// The answer to an upload (from "$" to before the CR): 0 good, else the
// error type: 4 no '*', 1 bad checksum digit, 2 text after the checksum, 3
// mismatch, 5 too few fields, 6 no "ACK", 7 another name. Firmware "1.14"
// answers "$PFMWPR,<name>"; later ones "$PFMWPR,ACK,<name in capitals>".
int check_upload_answer(std::string_view line, std::string_view sent_name, std::string_view firmware);

}  // namespace orlogix::flymaster
