#pragma once
// The Graviter on the job's link: the port at 38400 baud and the
// identification by "V" every job starts with.
namespace orlogix {
class JobContext;
}

namespace orlogix::graviter {

inline constexpr int kBaud = 38400;
inline constexpr const char* kInstrumentName = "Graviter";

// Opens the port and asks for the product line until the budget of the
// job's TIMEOUT is spent; fills the job's product texts and shows the line.
// 0, or -1 after reporting.
int open_and_identify(JobContext& ctx);

}  // namespace orlogix::graviter
