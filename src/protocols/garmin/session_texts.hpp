#pragma once
// Waits, captions and shared message parts of the Garmin transfers.
#include <cstdint>
#include <string>
#include <string_view>

namespace orlogix::garmin::texts {

inline constexpr int kProductWaitMs = 2000;
inline constexpr int kTransferWaitMs = 5000;

inline constexpr const char* kCapRequesting = "Requesting GPS product data";
inline constexpr const char* kCapReadProduct = "Read GPS product data";
inline constexpr const char* kCapReadTrack = "Read GPS track log";
inline constexpr const char* kCapReadWaypoints = "Read GPS waypoints";
inline constexpr const char* kCapUploadWaypoints = "Upload waypoints";

inline constexpr const char* kAckTimeout = "Timeout while waiting for ack. packet";
inline constexpr const char* kAckError = "COM port error while waiting for ack. packet";
inline constexpr const char* kBadAck = "Bad acknowledge packet type or format";

// "E402" + " " + text.
inline std::string coded(std::string_view code, std::string_view text) {
    std::string s(code);
    s += ' ';
    s += text;
    return s;
}

}  // namespace orlogix::garmin::texts
