#pragma once
// The IQ Basic / Flytec 6015 on the job's link: commands out, reply lines
// in, and the identification every job starts with.
#include <functional>
#include <string>
#include <string_view>

#include "protocols/flytec/iq_basic_commands.hpp"
#include "protocols/flytec/link_session.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::flytec {

// Reads in chunks of up to 400 bytes and hands each byte to take (false:
// stop at once); XON and XOFF are dropped when drop_flow_control is set.
// Ends after silence_ms without a byte taken (0: never) or limit_ms after
// the call (0: no limit).
ReadEnd iq_read(JobContext& ctx, int silence_ms, int limit_ms, bool drop_flow_control,
                const std::function<bool(char)>& take);

// Reply lines to each (false: stop), with the same ends as iq_read.
ReadEnd iq_read_lines(JobContext& ctx, int silence_ms, int limit_ms, const std::function<bool(std::string_view)>& line);

// Opens the port at 57600 baud without flow control and reads serial
// number, device type and version; fills the job's product texts and the
// info line. 0, or -1 after reporting.
int iq_open_and_identify(JobContext& ctx, IqProduct& product);

}  // namespace orlogix::flytec
