#pragma once
// SHA-1 (FIPS 180-1) for the KML track signature. Incremental, so the writer
// and the reader can feed the signed pieces one by one as they produce them.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace orlogix {

class Sha1 {
public:
    Sha1();
    void update(std::string_view bytes);
    // The five state words after padding; the object must not be updated afterwards.
    std::array<uint32_t, 5> finish();
    // finish() printed as 40 upper-case hexadecimal digits ("%08X" per word).
    std::string finish_hex();

private:
    void block(const unsigned char* p);

    std::array<uint32_t, 5> state_;
    std::array<unsigned char, 64> pending_{};
    std::size_t pending_size_ = 0;
    uint64_t total_bytes_ = 0;
};

// The digest of one byte string as 40 upper-case hexadecimal digits.
std::string sha1_hex(std::string_view bytes);

}  // namespace orlogix
