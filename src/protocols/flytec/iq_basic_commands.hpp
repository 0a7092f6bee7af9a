#pragma once
// The commands of the IQ Basic and Flytec 6015 ("RPA_nn" parameter reads,
// "ACT_nn" actions, CR LF ended), their hexadecimal parameter replies, the
// product texts and the waypoint upload line.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/records.hpp"

namespace orlogix::flytec {

inline constexpr std::string_view kIqSerialRequest = "RPA_00\r\n";
inline constexpr std::string_view kIqTypeRequest = "RPA_01\r\n";
inline constexpr std::string_view kIqVersionRequest = "RPA_02\r\n";
inline constexpr std::string_view kIqTrackListRequest = "ACT_20_  \r\n";
inline constexpr std::string_view kIqWaypointsRequest = "ACT_31_00\r\n";
inline constexpr std::string_view kIqUploadDone = " Done";

// "ACT_21_" and the track number as two upper-case hexadecimal digits, CR LF;
// empty for a number above 255, which the command cannot name.
std::string iq_track_request(uint32_t number);

enum class RpaReply { Value, WrongReply, BadValue };
// A reply line to "RPA_nn": "RPA_nn_" and the value as pairs of hexadecimal
// digits, the least significant byte first (leading blanks skipped, empty
// is 0). BadValue for an odd digit count, another character or more than
// eight digits.
RpaReply parse_rpa_reply(std::string_view line, int parameter, uint32_t& value);

struct IqProduct {
    uint32_t serial = 0;
    uint32_t device_type = 0;   // 0: Flytec 6015; any other: IQ Basic
    uint32_t version = 0;       // 1105 is "1.1.05"
};
// "6015" or "IQ-BASIC": the product name and the instrument description.
std::string iq_product_name(const IqProduct& p);
// "<name>, SW v.v.vv, S/N <serial>": the device identity and the info line.
std::string iq_device_identity(const IqProduct& p);

// "ACT_32_00" CR LF and the waypoint line: the comment cleaned and cut or
// padded to 16 characters, both coordinates in degrees, minutes and
// thousandths, the height limited to -2000..10000, the fixed field "   400".
std::string iq_waypoint_upload(const Waypoint& w);

}  // namespace orlogix::flytec
