// Every track file reader of the dispatch on arbitrary bytes: no crash, no
// hang, a count that matches what was delivered, and every position within
// the coordinate ranges.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/report.hpp"
#include "formats/commands/track_read.hpp"

using namespace orlogix;

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

constexpr int32_t kQuarterTurn = 1 << 30;  // 90 degrees in semicircles

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    // The first byte picks the reader, so one corpus reaches all of them.
    const int type = data[0] % 9 + 1;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    SilentReporter r;
    TrackFileRead out;
    const int n = read_track_bytes(r, static_cast<TrackReadType>(type), bytes, out, true);
    check(n == -1 || (n >= 0 && static_cast<std::size_t>(n) == out.positions.size()));
    if (n == -1) check(out.positions.empty());
    for (const TrackPosition& p : out.positions) check(p.latitude >= -kQuarterTurn && p.latitude <= kQuarterTurn);
    return 0;
}
