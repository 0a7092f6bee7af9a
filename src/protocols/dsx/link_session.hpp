#pragma once
// The DSX on the job's link: the connection opened at 9600 baud and moved to
// 38400, reads that end on silence, and the close every job ends with.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace orlogix {
class JobContext;
}

namespace orlogix::dsx {

inline constexpr int kConnectBaud = 9600;
inline constexpr int kFastBaud = 38400;
inline constexpr const char* kInstrumentName = "DSX";

enum class ReadEnd { Silence, Stopped, Aborted, Error };

// Reads and hands each byte to take (false: stop). Ends after silence_ms()
// without a byte, asked again after every byte so that the wait may change
// as the transfer goes on.
ReadEnd read_until_silence(JobContext& ctx, const std::function<int()>& silence_ms,
                           const std::function<bool(uint8_t)>& take);

// Opens the port, answers the handshake and moves to the fast rate. 0, or
// -1 after reporting.
int open_connection(JobContext& ctx);

// "V0\r", 200 ms, and the port back at the connect rate. Runs after an
// abort too: its pauses are not cut short by the abort flag.
void close_connection(JobContext& ctx);

}  // namespace orlogix::dsx
