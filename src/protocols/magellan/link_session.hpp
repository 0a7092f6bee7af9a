#pragma once
// The Magellan receiver on the job's link: 9600 baud without flow control,
// bytes read 100 at a time (traced) into the sentence reader, and the
// version request every job starts with.
#include <functional>
#include <string_view>

#include "protocols/flymaster/link_session.hpp"
#include "protocols/magellan/sentences.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::magellan {

inline constexpr int kBaud = 9600;
inline constexpr const char* kInstrumentName = "Magellan";

using flymaster::ReadEnd;

// Feeds every byte read to the reader; on_sentence gets each complete
// body, on_error each reader error (2-5); either returns false to stop.
// Ends after silence_ms without a byte or limit_ms after the call (0: no
// such end).
ReadEnd read_sentences(JobContext& ctx, SentenceReader& reader, int silence_ms, int limit_ms,
                       const std::function<bool(std::string_view body)>& on_sentence,
                       const std::function<bool(int error)>& on_error);

// Opens the port and sends the version request until a $PMGNVER answers or
// the TIMEOUT budget is spent; shows the product string and fills the job's
// product name and device identity. 0, or -1 after reporting.
int open_and_identify(JobContext& ctx, Version& version);

// Tells the receiver to stop sending; a failure here changes nothing.
void send_stop(JobContext& ctx);

}  // namespace orlogix::magellan
