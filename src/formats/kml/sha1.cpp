#include "formats/kml/sha1.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace orlogix {

namespace {

uint32_t rotl(uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }

}  // namespace

Sha1::Sha1() : state_{0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u} {}

void Sha1::block(const unsigned char* p) {
    uint32_t w[80];
    for (int i = 0; i < 16; ++i)
        w[i] = (uint32_t{p[4 * i]} << 24) | (uint32_t{p[4 * i + 1]} << 16) | (uint32_t{p[4 * i + 2]} << 8) |
               uint32_t{p[4 * i + 3]};
    for (int i = 16; i < 80; ++i) w[i] = rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);

    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3], e = state_[4];
    for (int i = 0; i < 80; ++i) {
        uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999u;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1u;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDCu;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6u;
        }
        const uint32_t t = rotl(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = rotl(b, 30);
        b = a;
        a = t;
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
    state_[4] += e;
}

void Sha1::update(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t n = bytes.size();
    total_bytes_ += n;
    if (pending_size_ > 0) {
        const std::size_t take = std::min(n, pending_.size() - pending_size_);
        std::memcpy(pending_.data() + pending_size_, p, take);
        pending_size_ += take;
        p += take;
        n -= take;
        if (pending_size_ < pending_.size()) return;
        block(pending_.data());
        pending_size_ = 0;
    }
    while (n >= 64) {
        block(p);
        p += 64;
        n -= 64;
    }
    if (n > 0) {
        std::memcpy(pending_.data(), p, n);
        pending_size_ = n;
    }
}

std::array<uint32_t, 5> Sha1::finish() {
    const uint64_t bits = total_bytes_ * 8;
    unsigned char tail[72] = {0x80};
    // Pad to 56 mod 64, then the message length in bits, big-endian.
    const std::size_t pad = (pending_size_ < 56 ? 56 : 120) - pending_size_;
    for (int i = 0; i < 8; ++i) tail[pad + i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    update(std::string_view(reinterpret_cast<const char*>(tail), pad + 8));
    return state_;
}

std::string Sha1::finish_hex() {
    const auto words = finish();
    char text[41];
    std::snprintf(text, sizeof text, "%08X%08X%08X%08X%08X", static_cast<unsigned>(words[0]),
                  static_cast<unsigned>(words[1]), static_cast<unsigned>(words[2]), static_cast<unsigned>(words[3]),
                  static_cast<unsigned>(words[4]));
    return text;
}

std::string sha1_hex(std::string_view bytes) {
    Sha1 h;
    h.update(bytes);
    return h.finish_hex();
}

}  // namespace orlogix
