// Every reader of the format table on arbitrary bytes, so that a new format
// is fuzzed as soon as it has its row: no crash, no hang, a count that
// matches what was delivered, and what was read within its ranges. The first
// byte picks the reader (or the waypoint recognition in front of them all),
// so that one corpus reaches every one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/report.hpp"
#include "formats/commands/track_read.hpp"
#include "formats/commands/waypoint_file.hpp"
#include "formats/format_table.hpp"
#include "formats/waypoints/line_formats.hpp"

using namespace orlogix;

namespace {

class QuietReporter : public SilentReporter {
public:
    // Alternates the answers of lists (identifiers, KML tracks) so that every branch is reached.
    int choose(std::string_view, const std::vector<std::string>& items, int) override {
        return items.empty() ? -1 : static_cast<int>(turn_++ % items.size());
    }

private:
    std::size_t turn_ = 0;
};

void check(bool ok) {
    if (!ok) std::abort();
}

constexpr int32_t kQuarterTurn = 1 << 30;  // 90 degrees in semicircles

bool clean_text(const std::string& s, std::size_t max) {
    if (s.size() > max) return false;
    for (const char c : s)
        if (c == ',' || c == '"' || c == '\r' || c == '\n' || c == '\0') return false;
    return true;
}

void check_waypoints(int n, const std::vector<Waypoint>& out) {
    check(n == -1 || (n >= 0 && static_cast<std::size_t>(n) == out.size()));
    if (n < 0) check(out.empty());
    for (const Waypoint& w : out) {
        check(w.latitude >= -kQuarterTurn && w.latitude <= kQuarterTurn);
        check(clean_text(w.identifier, kIdentifierMax));
        check(clean_text(w.comment, kCommentMax));
    }
}

void run(const FileFormat& f, std::string_view bytes) {
    QuietReporter r;
    if (f.read_track) {
        TrackFileRead out;
        const int n = read_track_bytes(r, f, bytes, out, true);
        check(n == -1 || (n >= 0 && static_cast<std::size_t>(n) == out.positions.size()));
        if (n == -1) check(out.positions.empty());
        for (const TrackPosition& p : out.positions) check(p.latitude >= -kQuarterTurn && p.latitude <= kQuarterTurn);
    }
    if (f.read_waypoints) {
        std::vector<Waypoint> out;
        check_waypoints(f.read_waypoints(r, reader_input(f, bytes), true, 1000, out), out);
    }
    if (f.read_airspace) {
        CtrList out;
        const int n = f.read_airspace(r, bytes, out);
        check(n == -1 || (n >= 0 && static_cast<std::size_t>(n) == out.size()));
        for (const Ctr& c : out) {
            check(c.name.size() <= kCtrTextMax && c.floor.size() <= kCtrTextMax && c.ceiling.size() <= kCtrTextMax);
            for (const CtrSegment& s : c.segments)
                check(s.centre.latitude >= -90.0 && s.centre.latitude <= 90.0 && s.centre.longitude >= -180.0 &&
                      s.centre.longitude <= 180.0);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static const std::vector<const FileFormat*> readers = [] {
        std::vector<const FileFormat*> out;
        for (const FileFormat& f : file_formats())
            if (f.readable()) out.push_back(&f);
        return out;
    }();
    const std::size_t pick = data[0] % (readers.size() + 1);
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    if (pick < readers.size()) {
        run(*readers[pick], bytes);
    } else {
        QuietReporter r;
        std::vector<Waypoint> out;
        check_waypoints(read_waypoint_text(r, bytes, true, 1000, out), out);
    }
    return 0;
}
