// Every waypoint file reader on arbitrary bytes: no crash, no hang, a count
// that matches what was stored, and every waypoint within the coordinate
// ranges with clean identifiers and comments.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/report.hpp"
#include "formats/commands/waypoint_file.hpp"
#include "formats/waypoints/line_formats.hpp"
#include "formats/waypoints/mapsource.hpp"

using namespace orlogix;

namespace {

class QuietReporter : public SilentReporter {
public:
    // Alternates the identifier answers so that every branch is reached.
    int choose(std::string_view, const std::vector<std::string>& items, int) override {
        return items.empty() ? -1 : static_cast<int>(turn_++ % items.size());
    }

private:
    std::size_t turn_ = 0;
};

void check(bool ok) {
    if (!ok) std::abort();
}

constexpr int32_t kQuarterTurn = 1 << 30;

bool clean_text(const std::string& s, std::size_t max) {
    if (s.size() > max) return false;
    for (const char c : s)
        if (c == ',' || c == '"' || c == '\r' || c == '\n' || c == '\0') return false;
    return true;
}

void check_result(int n, const std::vector<Waypoint>& out) {
    check(n == -1 || (n >= 0 && static_cast<std::size_t>(n) == out.size()));
    if (n < 0) check(out.empty());
    for (const Waypoint& w : out) {
        check(w.latitude >= -kQuarterTurn && w.latitude <= kQuarterTurn);
        check(clean_text(w.identifier, kIdentifierMax));
        check(clean_text(w.comment, kCommentMax));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    QuietReporter r;
    std::vector<Waypoint> out;
    check_result(read_waypoint_text(r, bytes, true, 1000, out), out);
    out.clear();
    check_result(read_ozi_waypoints(r, bytes, true, 1000, out), out);
    out.clear();
    check_result(read_geo_waypoints(r, bytes, true, 1000, out), out);
    out.clear();
    check_result(read_utm_waypoints(r, bytes, true, 1000, out), out);
    out.clear();
    check_result(read_seeyou_waypoints(r, bytes, 1000, out), out);
    out.clear();
    check_result(read_winpilot_waypoints(r, bytes, 1000, out), out);
    out.clear();
    check_result(read_mapsource_waypoints(r, bytes, out), out);
    return 0;
}
