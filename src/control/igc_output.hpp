#pragma once
// IGC_LOG: the downloaded flight written as an IGC file into a folder (named
// by date, serial and the first free flight number) or under a given name.
#include <string>

#include "control/command_line.hpp"
#include "core/current_data.hpp"

namespace orlogix {

class Reporter;

struct IgcOutputResult {
    std::string path;   // the file written
    int positions = 0;  // positions encoded; 0 for an instrument's own file
};

// 0 with the result, or -1 after reporting (every box titled "Save IGC log").
int write_igc_output(Reporter& r, const CommandLine& c, const CurrentData& data, IgcOutputResult& result);

// Before the download: the folder exists and takes files, the name fits the
// platform, and a named file does not exist already (without OVERWRITE).
// 0, or -1 after reporting titled "Save IGC log".
int check_igc_output_place(Reporter& r, const CommandLine& c);

// The flight as an IGC file with the security record (G-record wanted, no
// ENL, FR serial "000"): 0, or -1 when memory ran out. pilot and glider_id
// go into the header.
int encode_flight_igc(const TrackLog& log, const std::string& pilot, const std::string& glider_id, std::string& bytes);

// Families that deliver their own IGC file, which is written unchanged.
bool delivers_own_igc(const InstrumentKind& kind);

}  // namespace orlogix
