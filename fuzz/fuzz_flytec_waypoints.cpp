// Instrument bytes through the Flytec/Brauniger waypoint decoder; every
// waypoint it completes must be a valid record.
#include <cstddef>
#include <cstdint>

#include "protocols/flytec/waypoint_decoder.hpp"
#include "protocols/flytec/waypoint_upload.hpp"

using namespace orlogix::flytec;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    WaypointDecoder d;
    for (std::size_t i = 0; i < size; ++i) {
        const int r = d.feed(static_cast<char>(data[i]));
        if (r < -21 || r > 1) __builtin_trap();
        if (r != 1) continue;
        const orlogix::Waypoint w = waypoint_from_sentence(d.sentence(), 0);
        if (w.identifier.empty() || w.identifier.size() > 6 || w.comment.size() > 17) __builtin_trap();
        // What was read goes out again in the upload's fixed layout.
        if (waypoint_upload_sentence(w).size() != 59) __builtin_trap();
    }
    return 0;
}
