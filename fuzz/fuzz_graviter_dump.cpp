// The Graviter dump decoder on arbitrary bytes: taken as they came, and
// wrapped as a whole dump (echo, "*", a right checksum, CR LF) so that the
// flight chain and the point records get the bytes. The product line
// parser reads them too. No crash, no endless chain, and every position a
// place on the globe.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "protocols/graviter/flight_chain.hpp"
#include "protocols/graviter/memory_dump.hpp"
#include "protocols/graviter/product_line.hpp"

using namespace orlogix;
using namespace orlogix::graviter;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    ProductLineParser product;
    for (std::size_t i = 0; i < size; ++i)
        if (product.feed(data[i]) && product.line().size() != kProductLineSize - 2) std::abort();

    std::vector<uint8_t> wrapped{'y'};
    uint8_t sum = 0;
    for (std::size_t i = 0; i < size; ++i) wrapped.push_back(data[i]), sum ^= data[i];
    wrapped.insert(wrapped.end(), {'*', sum, '\r', '\n'});
    for (const std::vector<uint8_t>& dump : {std::vector<uint8_t>(data, data + size), wrapped}) {
        const DecodedDump d = decode_dump(MemoryView(dump));
        if (d.error < 0 || d.error > 37) std::abort();
        for (const TrackPosition& p : d.positions)
            if (p.latitude > (1 << 30) || p.latitude < -(1 << 30)) std::abort();
    }
    return 0;
}
