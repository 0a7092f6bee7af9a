#pragma once
// The IGC encoder: a run of track positions to the whole text of an IGC file
// (CR LF lines) with the program's manufacturer code and security record.
// Pure: no files, no user interface.
#include <cstdint>
#include <span>
#include <string>

#include "core/records.hpp"
#include "core/time.hpp"

namespace orlogix {

// The program version in hundredths (10 prints as "0.10"), written into the
// L-record.
inline constexpr int kProgramVersionHundredths = 10;

// Free texts of the "HO" lines; empty texts keep their label.
struct IgcHeaderTexts {
    std::string pilot;
    std::string competition_id;
    std::string glider_type;
    std::string glider_id;
    std::string competition_class;
    std::string site;
};

struct IgcEncodeOptions {
    uint32_t source = 0;                  // track log source; only 1 qualifies for a G-record
    std::string instrument_description;   // after the serial in the A-record
    std::string fr_serial = "000";        // right after "AXQV"
    CalendarTime download_time;           // UTC, for the "Downloaded" L-record
    bool want_g_record = true;
    bool add_enl = false;                 // declare and write ENL from the depth field
    int program_version = kProgramVersionHundredths;
};

// Builds the file text into out. Returns its length, or -1 when there are no
// positions or memory ran out (out is then empty). g_record_possible is set
// exactly when source is 1, whether or not the G-record was asked for.
int encode_igc(std::span<const TrackPosition> positions, const IgcHeaderTexts& texts, const IgcEncodeOptions& options,
               std::string& out, bool& g_record_possible);

// One B-record without its CR LF: 35 characters, 38 with ENL.
std::string igc_b_record(const TrackPosition& p, bool with_enl);

// ENL value (0-999) from the raw float bits of the depth field.
int igc_enl_from_depth(uint32_t depth_bits);

}  // namespace orlogix
