#pragma once
// The track downloads of the IQ Basic / Flytec 6015 on an identified link:
// the track list, the choice, and the IGC text of each chosen track joined
// into one track log in time order.
#include <vector>

#include "protocols/flytec/iq_basic_lines.hpp"
#include "protocols/flytec/track_download.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::flytec {

inline constexpr std::size_t kIqMaxTracks = 100;

// The entries listed (at most 100), or -1 after reporting.
int iq_read_track_list(JobContext& ctx, std::vector<IqTrackEntry>& list);

// The line of one entry as the choice shows it.
std::string iq_track_line(const IqTrackEntry& e);

// The chosen entries in list order; none when the choice was closed.
// Without anyone to ask: the first entry.
std::vector<IqTrackEntry> iq_choose_tracks(JobContext& ctx, const std::vector<IqTrackEntry>& list);

// Downloads the entries in order and joins them. 0, or -1 after reporting.
int iq_download_tracks(JobContext& ctx, const std::vector<IqTrackEntry>& chosen, TrackDownload& out);

}  // namespace orlogix::flytec
