// The Flymaster decoders on arbitrary bytes: the product, waypoint and
// answer lines, and the binary block stream through the track assembler.
// No crash, and every stored position within the coordinate ranges.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "protocols/flymaster/blocks.hpp"
#include "protocols/flymaster/sentences.hpp"
#include "protocols/flymaster/waypoint_lines.hpp"

using namespace orlogix;
using namespace orlogix::flymaster;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Product p;
    parse_product_line(text, p);
    Waypoint w;
    if (decode_waypoint_line(text, 0, w) == 0 && (w.latitude > (1 << 30) || w.latitude < -(1 << 30) ||
                                                   w.identifier.size() > 6 || w.comment.size() > 40))
        std::abort();
    check_upload_answer(text, "TAKEOFF         ", "1.14");
    check_upload_answer(text, "TAKEOFF         ", "1.21");
    BlockDecoder decoder;
    TrackAssembler track(size % 2 == 0);
    for (std::size_t i = 0; i < size && !track.ended(); ++i) {
        if (decoder.feed(data[i]) == BlockEvent::Block && track.add(decoder.type(), decoder.data()) != nullptr) break;
    }
    for (const TrackPosition& t : track.positions())
        if (t.latitude > (1 << 30) || t.latitude < -(1 << 30)) std::abort();
    return 0;
}
