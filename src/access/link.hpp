#pragma once
// Link operations of a job on the context's link (serial or in memory):
// connect, change rate, write and read. The link's tracing wrapper copies
// every byte written into the debug trace first.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orlogix {

class JobContext;

// Opens the context's port: up to options.connect_attempts() attempts one
// second apart with the status "Connecting to GPS (%)" counting the attempts
// left. 0, or -1 after "Transfer aborted" or an error titled
// "Connecting to GPS on %s" with the port and, for a port number, the device
// it stood for.
int connect_serial(JobContext& ctx, int baud, bool xon_xoff);
// Changes the rate in the middle of a job (XON/XOFF by protocol type),
// purges both queues and pauses 200 ms. 0, or -1 after an error titled
// "Initialising COM port".
int set_baud(JobContext& ctx, int baud);
// 0 when every byte went out, else -1; the caller reports its own
// "COM port write error".
int write_bytes(JobContext& ctx, const void* data, std::size_t count);
int write_text(JobContext& ctx, std::string_view text);
// One read of the common contract: at most 50 ms of the link's time, possibly no bytes; a count
// or -1 (the caller reports its own "COM port read error").
int read_bytes(JobContext& ctx, uint8_t* buffer, std::size_t max);

}  // namespace orlogix
