// The OpenAir reader on arbitrary text: no crash, no hang; what it accepts
// lies on the globe, expands to an outline, and reads back the same after
// writing.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/report.hpp"
#include "formats/airspace/ctr_points.hpp"
#include "formats/airspace/openair_reader.hpp"
#include "formats/airspace/openair_writer.hpp"

using namespace orlogix;

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

bool on_globe(const LatLonDegrees& p) { return std::fabs(p.latitude) <= 90.0 && std::fabs(p.longitude) <= 180.0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    SilentReporter r;
    CtrList list;
    const int n = parse_openair(r, text, list);
    check(n == -1 || static_cast<std::size_t>(n) == list.size());
    if (n <= 0) return 0;
    for (const Ctr& c : list) {
        check(!c.name.empty() && c.name.size() <= kCtrTextMax && c.floor.size() <= kCtrTextMax &&
              c.ceiling.size() <= kCtrTextMax && !c.segments.empty());
        for (const CtrSegment& s : c.segments) {
            check(on_globe(s.centre) && on_globe(s.first) && on_globe(s.second));
            check(s.kind == CtrSegmentKind::Point || s.kind == CtrSegmentKind::ArcByEnds || s.radius > 0);
        }
        std::vector<LatLonDegrees> outline;
        check(ctr_outline(c, outline) > 0);
        for (const LatLonDegrees& p : outline) check(on_globe(p));
    }
    CtrList back;
    check(parse_openair(r, write_openair(list, false), back) == n);
    for (std::size_t i = 0; i < list.size(); ++i) {
        check(back[i].name == list[i].name && back[i].floor == list[i].floor);
        check(back[i].segments.size() == list[i].segments.size());
    }
    return 0;
}
