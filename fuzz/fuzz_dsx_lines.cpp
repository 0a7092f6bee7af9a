// The DSX decoders on arbitrary bytes: the open-answer match, the track
// list parser, and the IGC text through the shared line assembler and
// record decoder as the DSX download feeds them. No crash, the list within
// its 100 entries, every position a place on the globe.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "protocols/dsx/commands.hpp"
#include "protocols/flytec/igc_decoder.hpp"

using namespace orlogix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    dsx::OpenAnswerMatcher matcher;
    dsx::TrackListParser list;
    bool list_ok = true;
    for (std::size_t i = 0; i < size; ++i) {
        matcher.feed(data[i]);
        if (list_ok) list_ok = list.feed(data[i]) == 0;
    }
    if (list.entries().size() > dsx::kMaxTracks) std::abort();
    for (const dsx::TrackListEntry& e : list.entries())
        if (e.number < 0 || e.number > 999 || e.records > 999999) std::abort();

    flytec::IgcLineAssembler lines;
    flytec::IgcDecoder decoder;
    for (std::size_t i = 0; i < size; ++i) {
        if (lines.feed(static_cast<char>(data[i])) != flytec::IgcLineAssembler::Result::Record) continue;
        if (lines.record().size() > flytec::IgcLineAssembler::kMaxRecord + 1) std::abort();
        if (decoder.decode(lines.record()) == static_cast<int>(flytec::IgcRecord::Position)) {
            const TrackPosition& p = decoder.position();
            if (p.latitude > (1 << 30) || p.latitude < -(1 << 30)) std::abort();
        }
    }
    return 0;
}
