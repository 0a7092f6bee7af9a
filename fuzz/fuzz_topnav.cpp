// The Top Navigator decoders on arbitrary bytes: the line reader feeding
// the block decoder (both height rules) and the MXP header and position
// decoders, the waypoint line parser and the waypoint packet. No crash;
// every position and waypoint within the coordinate ranges; a decoded
// packet encodes back to a packet that decodes the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "protocols/topnav/block_decoder.hpp"
#include "protocols/topnav/line_reader.hpp"
#include "protocols/topnav/mxp_decoder.hpp"
#include "protocols/topnav/waypoints.hpp"

using namespace orlogix;
using namespace orlogix::topnav;

namespace {

constexpr int32_t kQuarterTurn = 1 << 30;

void check_place(int32_t latitude) {
    if (latitude > kQuarterTurn || latitude < -kQuarterTurn) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    LineReader lines;
    BlockDecoder blocks(size % 2 == 0);
    std::optional<MxpPositions> mxp;
    MxpHeader header;
    for (std::size_t i = 0; i < size; ++i) {
        if (lines.feed(data[i]) != LineReader::Result::Line) continue;
        const std::string_view line = lines.line();
        blocks.feed(line);
        TrackPosition p;
        if (!mxp) {
            if (decode_mxp_header(line, data[0] & 1, header) == 0) mxp.emplace(header);
        } else if (mxp->decode(line, p) == 0) {
            check_place(p.latitude);
        }
        if (const auto w = parse_waypoint_line(line)) {
            check_place(w->latitude);
            if (w->identifier.empty() || w->identifier.size() > 6 || w->height < 0) std::abort();
        }
    }
    for (const TrackPosition& p : blocks.positions()) check_place(p.latitude);
    for (std::size_t at = 0; at + kPacketSize <= size; at += kPacketSize) {
        Waypoint w;
        if (decode_waypoint_packet(data + at, w) != 0) continue;
        check_place(w.latitude);
        const WaypointPacket again = encode_waypoint_packet(w);
        Waypoint back;
        if (decode_waypoint_packet(again.data(), back) != 0 || back.identifier != w.identifier ||
            back.latitude != w.latitude || back.longitude != w.longitude || back.height != w.height)
            std::abort();
    }
    return 0;
}
