// Instrument bytes through the Flytec/Brauniger line assembler into the
// sentence check, the product reply and the track list parser.
#include <cstddef>
#include <cstdint>

#include "protocols/flytec/models.hpp"
#include "protocols/flytec/sentences.hpp"
#include "protocols/flytec/track_list.hpp"

using namespace orlogix::flytec;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    LineAssembler lines(80);
    TrackList list;
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (is_flow_control(c) || !lines.feed(c)) continue;
        if (lines.line().size() > 80) __builtin_trap();
        std::vector<std::string_view> fields;
        if (check_sentence(lines.line(), 10, fields) > 10) __builtin_trap();
        ProductInfo p;
        if (parse_product_reply(lines.line(), p) == ProductReply::Taken &&
            (p.model.size() > 16 || p.pilot.size() > 40 || p.serial.size() > 7 || p.version.size() > 6 ||
             device_identity(p).size() > 50))
            __builtin_trap();
        TrackListLine l;
        if (parse_track_list_line(lines.line(), l) == TrackListError::None) list.store(l);
    }
    if (list.count() > kTrackSlots) __builtin_trap();
    return 0;
}
