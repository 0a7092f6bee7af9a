// Untrusted IGC text through the parser and the security check.
#include <cstddef>
#include <climits>
#include <cstdint>
#include <string_view>

#include "formats/igc/reader.hpp"
#include "formats/igc/verify.hpp"
#include "formats/igc/writer.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    orlogix::IgcParsed parsed;
    orlogix::IgcParseError err;
    const int n = orlogix::parse_igc(text, parsed, err);
    if (n > 0) {
        if (static_cast<std::size_t>(n) != parsed.positions.size()) __builtin_trap();
        // Whatever was read must encode and read back to the same count.
        std::string again;
        bool g_possible = false;
        orlogix::IgcEncodeOptions options;
        options.source = 1;
        if (orlogix::encode_igc(parsed.positions, {}, options, again, g_possible) <= 0) __builtin_trap();
        // A pole or the antimeridian written out is refused by the reader's
        // degree limits; every other fix must read back.
        bool edge = false;
        for (const auto& p : parsed.positions)
            edge = edge || p.latitude >= (1 << 30) || p.latitude <= -(1 << 30) || p.longitude == INT32_MIN;
        orlogix::IgcParsed back;
        if (!edge && orlogix::parse_igc(again, back, err) != n) __builtin_trap();
        if (orlogix::verify_igc(again) != orlogix::IgcSecurity::Passed) __builtin_trap();
    } else if (err.text.empty()) {
        __builtin_trap();
    }
    (void)orlogix::verify_igc(text);
    return 0;
}
