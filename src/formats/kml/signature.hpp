#pragma once
// The track signature of KML trip files: SHA-1 over a secret prefix and the
// signed attribute values, time offsets, pressure altitudes and coordinates,
// fed exactly as they stand in the file. The writer and the reader share it so
// both always feed the same bytes.
#include <string>
#include <string_view>

#include "formats/kml/sha1.hpp"

namespace orlogix {

inline constexpr std::size_t kKmlHashPrefixLength = 17;
inline constexpr std::string_view kKmlHashPlaceholder = "0000000000000000000000000000000000000000";

// The 17-character prefix, built at run time so it never stands in the binary as one string.
std::string kml_hash_prefix();

class KmlSigner {
public:
    KmlSigner() { hash_.update(kml_hash_prefix()); }
    void feed(std::string_view piece) { hash_.update(piece); }
    std::string digits() { return hash_.finish_hex(); }

private:
    Sha1 hash_;
};

}  // namespace orlogix
