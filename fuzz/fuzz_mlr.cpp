// The $PMLR decoders on arbitrary bytes: the fast frames of both families,
// the product and count replies and the GPWPL reader with its name split.
// No crash; a frame holds exactly its count of records, every field stays
// within its limit, and a name splits into a valid identifier.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "protocols/mlr/frames.hpp"
#include "protocols/mlr/sentences.hpp"
#include "protocols/mlr/waypoint_sentences.hpp"

using namespace orlogix;
using namespace orlogix::mlr;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    for (const FrameRules* rules : {&kMlrTrackFrames, &kMlrWaypointFrames, &kLogItFrames}) {
        FrameDecoder d(*rules);
        for (std::size_t i = 0; i < size; ++i) {
            if (d.feed(data[i]) != FrameDecoder::Result::Frame) continue;
            const Frame& f = d.frame();
            if (f.kind != FrameKind::Data) continue;
            if (f.count < 1 || f.count > rules->max_count ||
                f.records.size() != static_cast<std::size_t>(f.count) * rules->record_size)
                std::abort();
            if (rules->record_size == kTrackRecordSize) {
                const TrackRecord r = track_record(std::span<const uint8_t, kTrackRecordSize>(f.records.data(), 18));
                if (r.altitude < -0x800000 || r.altitude > 0x7FFFFF) std::abort();
            } else {
                waypoint_record(std::span<const uint8_t, kWaypointRecordSize>(f.records.data(), 22));
            }
        }
    }
    ProductReplyReader mlr(kMlrProductLimits), logit(kLogItProductLimits, "1.02");
    CountReplyReader count;
    WplReader wpl;
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        for (ProductReplyReader* r : {&mlr, &logit}) {
            if (!r->feed(c)) continue;
            for (const std::string& f : r->fields())
                if (f.size() > 40) std::abort();
            mlr_info_line(mlr_product(r->fields()));
        }
        if (count.feed(c) == CountReplyReader::Result::Count && count.count() < 0) std::abort();
        if (wpl.feed(c) != WplReader::Result::Sentence) continue;
        std::string id, comment;
        if (split_wpl_name(wpl.sentence().name, id, comment) == 0 && (id.empty() || id.size() > 6 || comment.size() > 22))
            std::abort();
    }
    return 0;
}
