// The KML track and waypoint readers and the logbook folder locator on
// arbitrary text: no crash, no hang, and results that agree with their counts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/report.hpp"
#include "formats/kml/logbook.hpp"
#include "formats/kml/reader.hpp"

using namespace orlogix;

namespace {

// Answers every question with its default and shows nothing.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    QuietReporter r;
    for (bool silent : {true, false}) {
        KmlTrack track;
        const int n = read_kml_track(r, text, silent, track);
        check(n >= 0 && static_cast<std::size_t>(n) == track.positions.size());
        check(!track.times_in_utc || track.signature_valid);
        if (n > 0) check(track.positions.front().flags == kSegmentStart);
    }
    std::vector<Waypoint> waypoints;
    const int w = read_kml_waypoints(r, text, true, waypoints);
    check(w == -1 || static_cast<std::size_t>(w) == waypoints.size());
    for (const Waypoint& p : waypoints) check(!p.identifier.empty() && p.identifier.size() <= 6);

    std::size_t begin = 0, end = 0;
    if (locate_kml_folders(text, begin, end) == 0) {
        check(begin < end && end <= size);
        check(text.substr(begin, 7) == "<Folder");
        std::string merged;
        if (merge_logbook(text, "  <Folder></Folder>\r\n", merged) == 0) {
            std::size_t b2 = 0, e2 = 0;
            check(locate_kml_folders(merged, b2, e2) == 0);
        }
    }
    return 0;
}
