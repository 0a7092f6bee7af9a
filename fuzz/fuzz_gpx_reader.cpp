// The GPX track and waypoint readers on arbitrary text: no crash, no hang,
// and every position and waypoint within the coordinate ranges.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/report.hpp"
#include "formats/gpx/reader.hpp"

using namespace orlogix;

namespace {

// Picks the last item of a list, so the track choice is reached.
class QuietReporter : public SilentReporter {
public:
    int choose(std::string_view, const std::vector<std::string>& items, int) override {
        return items.empty() ? -1 : static_cast<int>(items.size() - 1);
    }
};

void check(bool ok) {
    if (!ok) std::abort();
}

constexpr int32_t kQuarterTurn = 1 << 30;  // 90 degrees in semicircles

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    QuietReporter r;
    std::vector<TrackPosition> positions;
    const int n = read_gpx_track(r, text, positions);
    check(n >= 0 && static_cast<std::size_t>(n) == positions.size());
    for (const TrackPosition& p : positions) check(p.latitude >= -kQuarterTurn && p.latitude <= kQuarterTurn);

    std::vector<Waypoint> waypoints;
    const int w = read_gpx_waypoints(r, text, true, waypoints);
    check(w == -1 || static_cast<std::size_t>(w) == waypoints.size());
    for (const Waypoint& p : waypoints) check(p.latitude >= -kQuarterTurn && p.latitude <= kQuarterTurn);
    return 0;
}
