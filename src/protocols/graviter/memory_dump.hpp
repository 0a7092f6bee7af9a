#pragma once
// The Graviter's memory dump as received: the echo "y", the memory bytes
// from address 1697, "*", an exclusive-or checksum, CR LF. Buffer indexes
// are memory addresses (the first received byte stands at 1696), and the
// flight area 1700..0x1FFFF is a ring.
#include <cstddef>
#include <cstdint>
#include <span>

namespace orlogix::graviter {

inline constexpr std::size_t kDumpBase = 1696;           // address of the first received byte
inline constexpr std::size_t kDumpBufferSize = 140000;
inline constexpr std::size_t kMaxDumpBytes = kDumpBufferSize - kDumpBase;
inline constexpr uint32_t kFirstPointerAddress = 1697;
inline constexpr uint32_t kRingFirst = 1700;
inline constexpr uint32_t kRingLast = 0x1FFFF;             // reading on past it continues at kRingFirst
inline constexpr std::size_t kRingBytes = kRingLast - kRingFirst + 1;
inline constexpr uint32_t kNoPointer = 0xFFFFFF;

// The memory bytes a dump holds: the addresses from 1697 up to the "*".
class MemoryView {
public:
    // received: every byte as it came, the echo first. check() says whether
    // it is a whole dump; a view of a refused dump holds no address.
    explicit MemoryView(std::span<const uint8_t> received);
    // 0, or the format error: 1 too short, 2 echo or end marks out of place,
    // 3 checksum.
    int error() const { return error_; }
    // Addresses received: [kFirstPointerAddress, end()).
    uint32_t end() const { return end_; }
    bool has(uint32_t address) const { return address >= kFirstPointerAddress && address < end_; }
    uint8_t at(uint32_t address) const { return bytes_[address - kDumpBase]; }

private:
    std::span<const uint8_t> bytes_;
    uint32_t end_ = kFirstPointerAddress;
    int error_ = 0;
};

// The address after this one in the ring.
inline uint32_t next_address(uint32_t address) { return address >= kRingLast ? kRingFirst : address + 1; }
inline bool valid_pointer(uint32_t p) { return p >= kRingFirst && p <= kRingLast; }

// Takes the memory bytes in ring order from a start address, bits least
// significant first. Reading stops at the last byte received and after one
// turn of the ring: a false read, the value left as it was.
class BitReader {
public:
    BitReader(const MemoryView& memory, uint32_t address) : memory_(memory), address_(address) {}
    bool read(int bits, uint32_t& value);
    // The next record starts on a byte boundary.
    void align() { bit_ = 0, current_ = -1; }

private:
    bool next_byte();
    const MemoryView& memory_;
    uint32_t address_;
    std::size_t taken_ = 0;
    int current_ = -1;   // the byte being read, -1 before the first bit
    int bit_ = 0;
};

}  // namespace orlogix::graviter
