// Instrument bytes through the IGC line assembler and record decoder of the
// Flytec/Brauniger, IQ Basic and DSX downloads.
#include <cstddef>
#include <cstdint>

#include "protocols/flytec/igc_decoder.hpp"

using namespace orlogix::flytec;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    for (bool strict : {false, true}) {
        IgcLineAssembler lines;
        IgcDecoder d(strict);
        for (std::size_t i = 0; i < size; ++i) {
            const auto r = lines.feed(static_cast<char>(data[i]));
            if (r == IgcLineAssembler::Result::BadRecordType || r == IgcLineAssembler::Result::TooLong) {
                lines.reset();
                continue;
            }
            if (r != IgcLineAssembler::Result::Record) continue;
            if (lines.record().size() > IgcLineAssembler::kMaxRecord) __builtin_trap();
            const int k = d.decode(lines.record());
            if (k < -kIgcBadLogger) __builtin_trap();
            if (k == static_cast<int>(IgcRecord::Position)) {
                const int left = remaining_seconds(d.first_time(), 3600, d.last_time(), i);
                if (left < 0 || left > 5999) __builtin_trap();
            }
        }
    }
    return 0;
}
