#include "protocols/graviter/memory_dump.hpp"

namespace orlogix::graviter {

MemoryView::MemoryView(std::span<const uint8_t> received) : bytes_(received) {
    const std::size_t n = received.size();
    if (n < 21 || n > kMaxDumpBytes) {
        error_ = 1;
        return;
    }
    if (received[0] != 'y' || received[n - 4] != '*' || received[n - 2] != '\r' || received[n - 1] != '\n') {
        error_ = 2;
        return;
    }
    uint8_t sum = 0;
    for (std::size_t i = 1; i < n - 4; ++i) sum ^= received[i];
    if (sum != received[n - 3]) {
        error_ = 3;
        return;
    }
    end_ = static_cast<uint32_t>(kDumpBase + n - 4);
}

bool BitReader::next_byte() {
    if (taken_ >= kRingBytes || !memory_.has(address_)) return false;
    current_ = memory_.at(address_);
    address_ = next_address(address_);
    ++taken_;
    return true;
}

bool BitReader::read(int bits, uint32_t& value) {
    // Read into a copy so that a read that runs out leaves the value alone.
    const int saved_current = current_, saved_bit = bit_;
    const uint32_t saved_address = address_;
    const std::size_t saved_taken = taken_;
    uint32_t v = 0;
    for (int i = 0; i < bits; ++i) {
        if (current_ < 0 || bit_ == 8) {
            if (!next_byte()) {
                current_ = saved_current, bit_ = saved_bit, address_ = saved_address, taken_ = saved_taken;
                return false;
            }
            bit_ = 0;
        }
        v |= static_cast<uint32_t>((current_ >> bit_) & 1) << i;
        ++bit_;
    }
    value = v;
    return true;
}

}  // namespace orlogix::graviter
