#pragma once
// The LogIt track log download at the chosen rate: start, data and end
// frames, and on a Tracklogger a restart from the first point not kept
// after any broken frame.
#include <vector>

#include "core/records.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::logit {

struct DownloadRequest {
    int baud = 57600;          // the requested rate (others fall back to 4800)
    bool restarts = false;     // a Tracklogger
    long total = 0;            // the expected points, 0 = not known
};

// 0, or -1 after reporting; the logger is back at 4800 in command mode either way.
int download_track_log(JobContext& ctx, const DownloadRequest& request, std::vector<TrackPosition>& positions);

}  // namespace orlogix::logit
