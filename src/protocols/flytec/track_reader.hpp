#pragma once
// One track's IGC text as it arrives from a Flytec/Brauniger or IQ Basic
// instrument: kept raw, split into records, decoded into positions, with
// the progress shown as it goes. The families word the errors differently.
#include <cstdint>
#include <string>
#include <vector>

#include "core/records.hpp"
#include "protocols/flytec/igc_decoder.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::flytec {

struct IgcErrorTexts {
    const char* memory;        // "Track log memory allocation"
    const char* bad_type;      // with the byte as %02X
    const char* too_long;
    const char* format;        // with the error number as %
    const char* date = nullptr;  // prefix for the date record shown whole; null: a format error
};

struct TrackReader {
    TrackReader(JobContext& c, uint32_t duration, std::string& bytes, const IgcErrorTexts& t, bool strict_date)
        : ctx(c), listed_duration(duration), raw(bytes), texts(t), decoder(strict_date) {}

    // False to stop reading: error holds the message.
    bool take(char c);

    // Once the instrument went quiet: "" when the track is whole, else the
    // message (read_error for a text cut inside a record). Shows the count
    // received; raw gets the maker, logger and first fix time, and
    // all_g_records is cleared for a track without G-records.
    std::string finish(const char* read_error, RawIgcLog& raw, bool& all_g_records);

    JobContext& ctx;
    const uint32_t listed_duration;   // 0 without a list: no estimate
    std::string& raw;
    const IgcErrorTexts& texts;
    std::vector<TrackPosition> positions;
    IgcLineAssembler lines;
    IgcDecoder decoder;
    int64_t first_ms = 0;
    std::string error;
    // Reading every track: the track's number for "Reading track log %   (%)"
    // instead of the estimate; 0 for a single download.
    int all_tracks_number = 0;

private:
    void position(const TrackPosition& p);
};

}  // namespace orlogix::flytec
