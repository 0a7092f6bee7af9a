#pragma once
// The MXP line form of the Top Navigator and XC Trainer track logs: one
// header line with the start time and the number of positions, then one
// line per position with a record number and a time offset; every line
// carries the exclusive-or of its text in two hex digits.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/records.hpp"

namespace orlogix::topnav {

// Error codes of the decoder (the message table in mxp_error_text).
enum MxpError : int {
    kMxpTooLong = 1, kMxpTooShort = 2, kMxpChecksumFormat = 3, kMxpChecksum = 4, kMxpIdentifier = 5,
    kMxpStartTimeEntry = 6, kMxpStartTimeValue = 7, kMxpGeodeticId = 8, kMxpPositionsEntry = 9,
    kMxpIntervalEntry = 10, kMxpRecordNumberEntry = 11, kMxpRecordSequence = 12, kMxpPositionTime = 13,
    kMxpPositionValue = 14, kMxpHeight = 15, kMxpMemory = 16, kMxpSerial = 17, kMxpValidEntry = 18,
};
// "E202 ..." for a code; "E202 Unknown error" for any other.
const char* mxp_error_text(int code);

struct MxpHeader {
    bool xc_trainer = false;
    std::string version;       // the four version characters
    uint32_t serial = 0;
    uint32_t start_time = 0;   // time stamp
    uint32_t count = 0;        // positions announced
    int variant = 1;
    // "Top Navigator V1.234, S/N 4660" or "XC Trainer V1.2-34, S/N 4660".
    std::string product() const;
};

// The header line; 0 or an error code. An instrument that sends the other
// maker's identifier is refused (error 5).
int decode_mxp_header(std::string_view line, bool xc_trainer, MxpHeader& out);

class MxpPositions {
public:
    explicit MxpPositions(const MxpHeader& header) : header_(header) {}
    // One position line: 0 and the position (time set, flags clear), or an error code.
    int decode(std::string_view line, TrackPosition& out);
    uint32_t decoded() const { return decoded_; }

private:
    MxpHeader header_;
    uint32_t decoded_ = 0;
    uint32_t next_record_ = 0;
    uint32_t previous_offset_ = 0;
    uint32_t wraps_ = 0;
};

// The offset is a 16-bit count of seconds: a smaller one than before has wrapped.
inline constexpr uint32_t kMxpOffsetWrap = 65536;

}  // namespace orlogix::topnav
