#include "protocols/graviter/product_line.hpp"

#include <cstdio>

namespace orlogix::graviter {

namespace {

// What each place of the line holds: a blank at 20, 25 and 31, CR and LF at
// the end, printable characters elsewhere.
bool fits_at(std::size_t i, uint8_t b) {
    if (i == 20 || i == 25 || i == 31) return b == ' ';
    if (i == kProductLineSize - 2) return b == '\r';
    if (i == kProductLineSize - 1) return b == '\n';
    return b >= 0x20 && b < 0x7F;
}

}  // namespace

bool ProductLineParser::feed(uint8_t byte) {
    if (line_.size() >= kProductLineSize) line_.clear();
    if (!fits_at(line_.size(), byte)) {
        line_.clear();
        // The byte may begin the next line.
        if (!fits_at(0, byte)) return false;
    }
    line_ += static_cast<char>(byte);
    return line_.size() == kProductLineSize;
}

std::string owner_name_bytes(std::string_view name) {
    std::string s(name.substr(0, kOwnerNameSize));
    s.resize(kOwnerNameSize, ' ');
    return s;
}

std::string memory_write(uint32_t address, uint8_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "W%06u%03u", static_cast<unsigned>(address % 1000000), static_cast<unsigned>(value));
    return text;
}

}  // namespace orlogix::graviter
