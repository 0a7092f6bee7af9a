#pragma once
// The Flytec/Brauniger instrument on the job's link: requests out, bytes in
// (traced, XON and XOFF dropped before anything looks at them), and the
// identification every job starts with.
#include <functional>
#include <string>

#include "protocols/flytec/models.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::flytec {

inline constexpr int kBaud = 57600;

enum class ReadEnd { Silence, Limit, Stopped, Aborted, Error };

// Reads in chunks of up to 100 bytes and hands each byte but XON and XOFF
// to take (false: stop at once). Ends after silence_ms without such a byte
// (0: never) or limit_ms after the call (0: no limit).
ReadEnd read_instrument(JobContext& ctx, int silence_ms, int limit_ms, const std::function<bool(char)>& take);

// 0 when the request went out whole, else -1 (the caller reports).
int send_request(JobContext& ctx, const std::string& bytes);

// Opens the port and asks for the product data until the budget of the
// job's TIMEOUT is spent; fills the job's product texts and shows the info
// line. 0, or -1 after reporting.
int open_and_identify(JobContext& ctx, ProductInfo& info);

}  // namespace orlogix::flytec
