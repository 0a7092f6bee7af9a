#pragma once
// The track list of the Flytec/Brauniger instruments: "$PBRTL" lines with
// count, index, date, start time and duration, collected into the 31 slots
// a job chooses from.
#include <array>
#include <cstdint>
#include <string_view>

namespace orlogix::flytec {

inline constexpr int kTrackSlots = 31;

struct TrackListLine {
    uint32_t count = 0;
    uint32_t index = 0;
    uint32_t start = 0;      // time stamp of the date and start time
    uint32_t duration = 0;   // seconds
};

enum class TrackListError {
    None, TooFewParameters, BadIdentifier, BadCount, BadIndex, BadDate, BadTime, BadDuration,
};
// The message of each error ("Too few parameters", ...); empty for None.
const char* track_list_error_text(TrackListError e);

// One line as the line assembler gave it (at most 79 characters kept). The
// Flymaster instruments send the same fields under "$PFMLST".
TrackListError parse_track_list_line(std::string_view line, TrackListLine& out,
                                     std::string_view address = "$PBRTL");

struct TrackList {
    std::array<uint32_t, kTrackSlots> start{};      // 0: no such track
    std::array<uint32_t, kTrackSlots> duration{};

    // Stores a parsed line under its index; an index above 30 is ignored.
    void store(const TrackListLine& line);
    // The number of indexes holding a start time.
    int count() const;
    // Bit n set for every index n holding a start time.
    uint32_t mask() const;
};

}  // namespace orlogix::flytec
