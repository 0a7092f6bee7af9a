#include "formats/kml/signature.hpp"

namespace orlogix {

std::string kml_hash_prefix() {
    // Each character is stored lowered by its position.
    static constexpr char kStored[] = "OqjlcdrMjXY`G\\Y_H";
    static_assert(sizeof kStored - 1 == kKmlHashPrefixLength);
    std::string prefix(kStored, kKmlHashPrefixLength);
    for (std::size_t i = 0; i < prefix.size(); ++i) prefix[i] = static_cast<char>(prefix[i] + static_cast<char>(i));
    return prefix;
}

}  // namespace orlogix
