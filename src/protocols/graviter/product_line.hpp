#pragma once
// The Graviter's answer to "V": 20 characters, a blank, 4, a blank, 5, a
// blank, 8, CR LF. Read a byte at a time; a byte out of place starts over.
#include <cstdint>
#include <string>
#include <string_view>

namespace orlogix::graviter {

inline constexpr std::string_view kIdentify = "V";
inline constexpr std::string_view kDumpRequest = "y";
inline constexpr std::string_view kNameAcknowledgeRequest = "T";
inline constexpr std::size_t kProductLineSize = 42;   // with CR LF

class ProductLineParser {
public:
    // True when byte completed a line; line() holds it (without CR LF).
    bool feed(uint8_t byte);
    std::string_view line() const { return std::string_view(line_).substr(0, kProductLineSize - 2); }
    // The 4-character field after the first blank.
    std::string_view version() const { return std::string_view(line_).substr(21, 4); }

private:
    std::string line_;
};

// The owner name as the instrument keeps it: 8 bytes, blank-padded.
std::string owner_name_bytes(std::string_view name);
// One memory write: "W", the address as 6 digits, the byte as 3.
std::string memory_write(uint32_t address, uint8_t value);
inline constexpr uint32_t kOwnerNameAddress = 208;
inline constexpr std::size_t kOwnerNameSize = 8;

}  // namespace orlogix::graviter
