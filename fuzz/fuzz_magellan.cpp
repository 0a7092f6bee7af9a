// The Magellan codec on arbitrary bytes: the sentence reader (strict and
// not) and every decoder on each sentence it completes, and each decoded
// waypoint encoded again. No crash; positions within the coordinate
// ranges, names within their widths, a sentence never longer than kept.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "protocols/magellan/sentences.hpp"

using namespace orlogix;
using namespace orlogix::magellan;

namespace {

bool latitude_ok(int32_t v) { return v <= (1 << 30) && v >= -(1 << 30); }

void decode(std::string_view body) {
    if (body.size() >= kSentenceMax) std::abort();
    Version v;
    if (decode_version(body, v) && (v.version_text.size() > 40 || v.description.size() > 60 ||
                                    product_string(v).size() > 80))
        std::abort();
    TrackPosition p;
    bool fix = false;
    const int t = decode_track_point(body, p, fix);
    if (t < -1 || t > 21 || (t == 0 && fix && !latitude_ok(p.latitude))) std::abort();
    Waypoint w;
    const int e = decode_waypoint(body, 0, w);
    if (e < -1 || e > 16) std::abort();
    if (e == 0) {
        if (!latitude_ok(w.latitude) || w.identifier.size() > 6 || w.comment.size() > 40) std::abort();
        // Encoded again it reads back as one sentence with the same ID.
        const std::string s = waypoint_sentence(w);
        SentenceReader again(true);
        int r = 0;
        for (const char c : s)
            if ((r = again.feed(c)) < 0) std::abort();
        Waypoint back;
        if (r != 1 || decode_waypoint(again.body(), 0, back) != 0 || back.identifier != w.identifier) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    for (const bool strict : {false, true}) {
        SentenceReader reader(strict);
        for (std::size_t i = 0; i < size; ++i) {
            const int r = reader.feed(static_cast<char>(data[i]));
            if (r < -5 || r == -1 || r > 1) std::abort();
            if (r == 1) decode(reader.body());
        }
    }
    decode(std::string_view(reinterpret_cast<const char*>(data), size).substr(0, kSentenceMax - 1));
    return 0;
}
