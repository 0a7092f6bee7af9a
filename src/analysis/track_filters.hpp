#pragma once
// Cleaning of a position array before analysis or saving: the split into
// parts at time gaps, the vario filter, the track speed analysis and the
// checks for time stamps that go backwards. All work in place.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/records.hpp"

namespace orlogix {

inline constexpr uint32_t kDefaultTrackGapTime = 1200;  // seconds
inline constexpr std::size_t kMaxTrackParts = 100;

struct TrackPart {
    std::size_t first = 0;
    std::size_t last = 0;  // inclusive
    bool keep = false;
};

// Parts of the array cut where the time jumps forward by more than gap_time
// seconds or a segment starts; at most 100 parts, the last running to the end.
std::vector<TrackPart> find_parts(const std::vector<TrackPosition>& positions, uint32_t gap_time);
// "dd-mm-yy   hh:mm:ss   h:mm:ss": the part's first fix (UTC) and its duration.
std::string part_line(const std::vector<TrackPosition>& positions, const TrackPart& part);
// The split dialog's title: "Split track (%s, %s)" with the port and the
// product name, or "Split track (%s)" with the port when no product is known.
std::string split_title(const std::string& port, const std::string& product);

// The "Split Log" choice: lines newest part first; sets chosen[i] for the lines
// to keep. Returns false for Cancel.
using PartChooser = std::function<bool(const std::string& title, const std::vector<std::string>& lines,
                                       std::vector<bool>& chosen)>;

// Cuts positions into parts and keeps the chosen ones joined in time order.
// The new count, or 0 when the user cancelled or chose nothing (positions then unchanged).
std::size_t split_at_gaps(std::vector<TrackPosition>& positions, uint32_t gap_time, const std::string& title,
                          const PartChooser& choose);
// The split as the selection copy's choice step (see copy_selected_positions);
// nosplit leaves every copy whole.
SplitChoice gap_split_choice(uint32_t gap_time, bool nosplit, const std::string& title, PartChooser choose);

// Drops positions that climb or sink at threshold m/s or faster from the last
// kept one (or share its time). Off for a threshold of 0. Returns the number removed.
std::size_t vario_filter(std::vector<TrackPosition>& positions, uint32_t threshold);

// Keeps the positions reachable from a trustworthy run of slow fixes without a
// jump above the track's own speed threshold. Returns the number kept (0 when no run exists).
std::size_t speed_analysis(std::vector<TrackPosition>& positions);
// The threshold speed_analysis uses (m/s), from the track's speed histogram.
uint32_t speed_threshold(const std::vector<TrackPosition>& positions);

// Positions earlier than one before them; first_index (0-based) of the first such.
std::size_t count_backwards(const std::vector<TrackPosition>& positions, std::size_t& first_index);
// Keeps the first position and every one not earlier than the last kept. Returns the new count.
std::size_t drop_backwards(std::vector<TrackPosition>& positions);
// "One or more points (the first at pos. %d) go backwards in time", or "" when none do.
std::string backwards_warning(const std::vector<TrackPosition>& positions);

// geodesic_distance between two positions; a failed distance counts as 0.
double position_distance(const TrackPosition& a, const TrackPosition& b);

}  // namespace orlogix
