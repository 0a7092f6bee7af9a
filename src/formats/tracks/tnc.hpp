#pragma once
// Top Navigator and XC Trainer logs as saved from a download (.tnc): the
// block form with its start record and "@EOF", or the MXP lines with their
// header, byte for byte as the instrument sent them. Reader only; the
// writer saves the raw log unchanged.
#include <string_view>
#include <vector>

#include "core/records.hpp"

namespace orlogix {

class Reporter;

struct TncRead {
    std::vector<TrackPosition> positions;
    bool baro_present = false;   // every variant but GPS heights only
};

// The count (0: a complete log without positions, no message), or -1 after
// reporting under "Reading Top Navigator Log File".
int read_tnc_log(Reporter& r, std::string_view bytes, TncRead& out);

}  // namespace orlogix
