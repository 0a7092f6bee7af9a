// Instrument bytes into the Garmin frame receiver, and every completed
// packet into each record decoder the downloads use.
#include <cstddef>
#include <cstdint>

#include "protocols/garmin/link_codec.hpp"
#include "protocols/garmin/records.hpp"


using namespace orlogix;
using namespace orlogix::garmin;

namespace {

void decode_all(std::span<const uint8_t> data) {
    ProductData product;
    decode_product_data(data, product);
    CapabilityTable table;
    parse_protocol_array(data, 1, 1, table);
    check_capabilities(table);
    for (int type = 300; type <= 304; ++type) {
        TrackPosition p;
        decode_track_point(data, type, p);
    }
    for (int type : {310, 311, 312}) {
        std::string name;
        decode_track_header(data, type, name);
    }
    for (int type : {100, 101, 102, 103, 104, 107, 108, 109, 110, 150, 151, 152, 154, 155}) {
        Waypoint w;
        if (decode_waypoint(data, type, 0, w) == kWptDecoded) {
            // What was read must encode again within a packet.
            if (encode_waypoint(w, type).size() > kMaxData) __builtin_trap();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // Reads of at most 100 bytes, as the serial link delivers them.
    LinkReceiver rx;
    std::size_t at = 0;
    while (at < size) {
        const std::size_t n = std::min<std::size_t>(size - at, LinkReceiver::kChunk);
        rx.load({data + at, n});
        at += n;
        while (rx.process()) {
            const Packet& p = rx.packet();
            if (p.size > kMaxData) __builtin_trap();
            decode_all(p.bytes());
        }
    }
    // The raw bytes as one record too, beyond what a frame can carry.
    decode_all({data, size});
    return 0;
}
