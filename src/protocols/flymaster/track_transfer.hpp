#pragma once
// The track log of a Flymaster on an identified link: the track list (the
// Flytec lines under "$PFMLST"), and the binary block download of one
// listed track, acknowledged block by block.
#include <vector>

#include "core/records.hpp"
#include "protocols/flymaster/blocks.hpp"
#include "protocols/flytec/track_list.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::flymaster {

// Reads the list into list and the job's 31 slots. The number of tracks
// found, or -1 after reporting (none found fails too).
int read_track_list(JobContext& ctx, flytec::TrackList& list);

struct TrackDownload {
    std::vector<TrackPosition> positions;
    FlightInformation flight;
    std::string description;   // "Flymaster F1, V%d.%d, S/N %u"
};

// Downloads the listed track of index. 0, or -1 after reporting; every
// failure but a read failure has told the instrument to stop (0xB3).
int download_track(JobContext& ctx, const flytec::TrackList& list, int index, bool b1nav, TrackDownload& out);

}  // namespace orlogix::flymaster
