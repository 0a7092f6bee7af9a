#pragma once
// The LogIt on the job's link: the identification both reading jobs start
// with, and the Tracklogger's track point count.
#include <string>
#include <vector>

namespace orlogix {
class JobContext;
}

namespace orlogix::logit {

inline constexpr const char* kTracklogger = "TRACKLOGGER";

// Opens at 4800 baud and asks for the product data within the budget; the
// four fields (trailing blanks removed) on success. 0, or -1 after reporting.
int identify(JobContext& ctx, std::vector<std::string>& fields);
// The expected total of points: 0 when the count came, -1 after reporting.
int read_point_count(JobContext& ctx, long& count);

}  // namespace orlogix::logit
