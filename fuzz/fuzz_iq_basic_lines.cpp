// Instrument bytes through the IQ Basic line assembler into the parameter
// reply, track entry and waypoint line parsers.
#include <cstddef>
#include <cstdint>

#include "protocols/flytec/iq_basic_commands.hpp"
#include "protocols/flytec/iq_basic_lines.hpp"

using namespace orlogix::flytec;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    IqLineAssembler lines(1000);
    for (std::size_t i = 0; i < size; ++i) {
        if (!lines.feed(static_cast<char>(data[i]))) continue;
        const std::string_view line = lines.line();
        uint32_t v = 0;
        parse_rpa_reply(line, 0, v);
        IqTrackEntry e;
        if (parse_iq_track_entry(line, e) && iq_track_request(e.number).empty()) __builtin_trap();
        orlogix::Waypoint w;
        int error = 0;
        const IqWaypointLine r = parse_iq_waypoint(line, 0, w, error);
        if (r == IqWaypointLine::Error && (error < 1 || error > 5)) __builtin_trap();
        if (r == IqWaypointLine::Waypoint && (w.identifier.size() > 6 || w.comment.size() > 40)) __builtin_trap();
        if (r == IqWaypointLine::Waypoint && iq_waypoint_upload(w).size() != 69) __builtin_trap();
    }
    return 0;
}
