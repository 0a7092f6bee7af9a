#include "formats/tracks/tnc.hpp"

#include <optional>

#include "core/report.hpp"
#include "protocols/topnav/block_decoder.hpp"
#include "protocols/topnav/line_reader.hpp"
#include "protocols/topnav/mxp_decoder.hpp"

namespace orlogix {

namespace {

constexpr const char* kTitle = "Reading Top Navigator Log File";

// The first line that is not empty: an MXP log starts with "@tn" or "@xc".
bool is_mxp(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size() && (bytes[i] == '\r' || bytes[i] == '\n')) ++i;
    const std::string_view head = bytes.substr(i, 3);
    return head == "@tn" || head == "@xc";
}

int fail(Reporter& r, const std::string& text) {
    r.error_box(kTitle, text);
    return -1;
}

int read_blocks(Reporter& r, std::string_view bytes, TncRead& out) {
    topnav::LineReader reader;
    topnav::BlockDecoder decoder;
    for (const char c : bytes) {
        const auto got = reader.feed(static_cast<uint8_t>(c));
        if (got == topnav::LineReader::Result::TooLong)
            return fail(r, strformat("Error %d on line %d", 1, reader.line_number()));
        if (got != topnav::LineReader::Result::Line) continue;
        const int e = decoder.feed(reader.line());
        if (e == topnav::kEndOfLog) break;
        if (e != 0) return fail(r, strformat("Error %d on block line %d", e, reader.line_number()));
    }
    if (!decoder.complete())
        return fail(r, decoder.stage() > 0 ? "Missing end-of-file record" : "Missing start record");
    out.baro_present = decoder.variant() != 1;
    out.positions = decoder.take_positions();
    return static_cast<int>(out.positions.size());
}

int read_mxp(Reporter& r, std::string_view bytes, TncRead& out) {
    topnav::LineReader reader;
    topnav::MxpHeader header;
    std::optional<topnav::MxpPositions> decoder;
    std::vector<TrackPosition> positions;
    for (const char c : bytes) {
        const auto got = reader.feed(static_cast<uint8_t>(c));
        if (got == topnav::LineReader::Result::TooLong)
            return fail(r, strformat("Error %d on line %d", topnav::kMxpTooLong, reader.line_number()));
        if (got != topnav::LineReader::Result::Line) continue;
        if (reader.line().empty()) continue;
        int e = 0;
        if (!decoder) {
            e = topnav::decode_mxp_header(reader.line(), reader.line()[1] == 'x', header);
            if (e == 0) decoder.emplace(header);
        } else {
            TrackPosition p;
            e = decoder->decode(reader.line(), p);
            if (e == 0) {
                p.flags = positions.empty() ? kSegmentStart : 0;
                positions.push_back(p);
            }
        }
        if (e != 0) return fail(r, strformat("Error %d on block line %d", e, reader.line_number()));
        if (decoder && positions.size() >= header.count) break;
    }
    if (!decoder) return fail(r, "Missing start record");
    if (positions.size() < header.count) return fail(r, "Missing end-of-file record");
    out.baro_present = header.variant != 1;
    out.positions = std::move(positions);
    return static_cast<int>(out.positions.size());
}

}  // namespace

int read_tnc_log(Reporter& r, std::string_view bytes, TncRead& out) {
    // XON and XOFF never belong to the log; a saved download has none.
    const std::string clean = topnav::without_flow_control(bytes);
    return is_mxp(clean) ? read_mxp(r, clean, out) : read_blocks(r, clean, out);
}

}  // namespace orlogix
