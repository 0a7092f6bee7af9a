// The MTK decoders on arbitrary bytes: the reader's line assembly, the
// reply parser for every awaited reply, and the log image (as it came, and
// as the first sector of an image). No crash; a taken chunk never holds
// more than 256 bytes, and every position is within the coordinate ranges.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "protocols/mtk/log_image.hpp"
#include "protocols/mtk/replies.hpp"

using namespace orlogix;
using namespace orlogix::mtk;

namespace {

void check(const DecodedLog& log) {
    for (const TrackPosition& p : log.positions)
        if (p.latitude > (1 << 30) || p.latitude < -(1 << 30)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    LineReader lines;
    for (std::size_t i = 0; i < size; ++i) {
        if (!lines.feed(static_cast<char>(data[i]))) continue;
        const ParsedLine parsed = parse_line(lines.line());
        if (!parsed.ok) continue;
        for (int pending = 0; pending <= 7; ++pending) {
            ReplyData d;
            if (match_reply(static_cast<Pending>(pending), 0x100, parsed.fields, d) &&
                (d.chunk.size() > kChunkSize || d.release.size() > kProductTextMax))
                std::abort();
        }
    }
    check(decode_log(std::span<const uint8_t>(data, size)));
    // The same bytes from offset 512 of a sector with a valid header, so
    // records and markers are reached whatever the input's first bytes.
    std::vector<uint8_t> sector(kSectorSize, 0xFF);
    const uint8_t header[20] = {0xFF, 0xFF, 0x3F, 0x20, 0x0F, 0x00, 0x04, 0x01, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    std::memcpy(sector.data(), header, sizeof header);
    if (size > 0) sector[2] = data[0];
    sector[506] = 0x2A;
    sector[507] = 0x3F;
    std::memset(&sector[508], 0xBB, 4);
    std::memcpy(&sector[kHeaderSize], data + (size > 0 ? 1 : 0), std::min(size > 0 ? size - 1 : 0, kSectorSize - kHeaderSize));
    check(decode_log(sector));
    return 0;
}
