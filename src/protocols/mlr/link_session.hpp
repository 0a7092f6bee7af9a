#pragma once
// The $PMLR instruments on the job's link: reading (every byte traced,
// nothing dropped), the way back to command mode after a fast transfer,
// and the MLR identification every MLR job starts with.
#include <cstdint>
#include <functional>

#include "protocols/flymaster/link_session.hpp"
#include "protocols/mlr/sentences.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::mlr {

inline constexpr int kCommandBaud = 4800;
inline constexpr int kFastBaud = 38400;
inline constexpr std::size_t kReadChunk = 200;

// The read loop of the Flymaster family serves these instruments as it stands.
using flymaster::read_instrument;
using flymaster::ReadEnd;

// Back to 4800 baud, wait_ms, the stop sentence: the instrument is in
// command mode again. The waits are kept whole after an abort too.
void back_to_command_mode(JobContext& ctx, int wait_ms);

// Opens the port at 4800 baud and asks for the product data until the
// budget is spent; sets the job's header texts and shows the info line.
// 0, or -1 after reporting (every message in a box).
int identify_mlr(JobContext& ctx, MlrProduct& product);

}  // namespace orlogix::mlr
