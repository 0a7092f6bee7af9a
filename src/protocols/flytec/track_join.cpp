#include "protocols/flytec/track_join.hpp"

namespace orlogix::flytec {

bool join_track(std::vector<TrackPosition>& log, std::vector<TrackPosition> next) {
    if (next.empty()) return true;
    if (log.empty()) {
        log = std::move(next);
        return true;
    }
    std::vector<TrackPosition> joined;
    joined.reserve(log.size() + next.size());
    if (next.front().time > log.back().time) {
        next.front().flags &= ~kSegmentStart;
        joined.insert(joined.end(), log.begin(), log.end());
        joined.insert(joined.end(), next.begin(), next.end());
    } else if (next.back().time < log.front().time) {
        log.front().flags &= ~kSegmentStart;
        joined.insert(joined.end(), next.begin(), next.end());
        joined.insert(joined.end(), log.begin(), log.end());
    } else {
        return false;
    }
    log = std::move(joined);
    return true;
}

}  // namespace orlogix::flytec
