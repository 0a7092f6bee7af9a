#pragma once
// The track downloads of the Flytec/Brauniger instruments on an identified
// link: the track list, the choice of tracks, and the IGC text of each
// chosen track decoded into one track log in time order.
#include <cstdint>
#include <string>
#include <vector>

#include "core/records.hpp"
#include "protocols/flytec/track_list.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::flytec {

// Reads the list into list and the job's 31 slots. The number of tracks
// found, or -1 after reporting (none found: -1 without a message).
int read_track_list(JobContext& ctx, TrackList& list);

// The line of one listed track as the choice shows it.
std::string track_line(int index, uint32_t start, uint32_t duration);

// Asks which listed tracks to download: the mask of the chosen indexes,
// 0 for none. Without anyone to ask: the newest track.
uint32_t choose_tracks(JobContext& ctx, const TrackList& list, const std::string& product);

struct TrackDownload {
    std::vector<TrackPosition> positions;
    RawIgcLog raw;            // kept only for a download of one track
    bool all_g_records = true;
};

// Downloads the tracks of mask (bit n: list index n) in index order and
// joins them; list null: the newest track, without a list. 0, or -1 after
// reporting.
int download_tracks(JobContext& ctx, uint32_t mask, const TrackList* list, TrackDownload& out);

// The downloaded track into the job's result with the header of the family:
// UTC times, barometric heights, track log source 1 only when every track
// was signed, the product texts; the raw IGC log and the "No G-records
// found" notice except for a server session's client. 1 when signed, else 0.
int install_track_download(JobContext& ctx, TrackDownload&& got, InstrumentFamily family);

}  // namespace orlogix::flytec
