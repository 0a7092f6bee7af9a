// SHA-1 against the published FIPS 180 examples and against sha1sum.
#include <gtest/gtest.h>

#include <random>

#include "formats/kml/sha1.hpp"
#include "kml_test_util.hpp"

namespace orlogix {
namespace {

TEST(Sha1, PublishedVectors) {
    EXPECT_EQ(sha1_hex(""), "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
    EXPECT_EQ(sha1_hex("abc"), "A9993E364706816ABA3E25717850C26C9CD0D89D");
    EXPECT_EQ(sha1_hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "84983E441C3BD26EBAAE4AA1F95129E5E54670F1");
    Sha1 million;
    const std::string block(1000, 'a');
    for (int i = 0; i < 1000; ++i) million.update(block);
    EXPECT_EQ(million.finish_hex(), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F");
}

TEST(Sha1, BytesAboveSevenBitsAreUnsigned) {
    // A signed-char slip changes the digest of any byte from 0x80 up (digest from Python's hashlib).
    EXPECT_EQ(sha1_hex(std::string("\xFF\x80\x00\x7F", 4)), "EF21FD9EFF320A05E57DA0AA602F1E8704F39A61");
}

TEST(Sha1, PiecesGiveTheSameDigestAsOneString) {
    std::mt19937 rng(7);
    for (int round = 0; round < 50; ++round) {
        std::string bytes(rng() % 300, '\0');
        for (char& c : bytes) c = static_cast<char>(rng());
        Sha1 h;
        for (std::size_t at = 0; at < bytes.size();) {
            const std::size_t n = std::min<std::size_t>(rng() % 70, bytes.size() - at);
            h.update(std::string_view(bytes).substr(at, n));
            at += n;
        }
        EXPECT_EQ(h.finish_hex(), sha1_hex(bytes)) << bytes.size();
    }
}

TEST(Sha1, AgreesWithSha1sumOnRandomInputs) {
    if (!test::peer_available("sha1sum")) return;
    const auto dir = test::scratch_dir("sha1");
    std::mt19937 rng(2026);
    // The lengths around the padding boundaries first, then random ones.
    std::vector<std::size_t> lengths = {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 128, 1000};
    for (int i = 0; i < 12; ++i) lengths.push_back(rng() % 5000);
    for (std::size_t length : lengths) {
        std::string bytes(length, '\0');
        for (char& c : bytes) c = static_cast<char>(rng());
        const std::string path = (dir / "input.bin").string();
        ASSERT_EQ(write_file_atomic(path, bytes), 0);
        std::string out;
        ASSERT_EQ(test::run_command("sha1sum " + path, out), 0);
        std::string expected = out.substr(0, 40);
        for (char& c : expected) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(sha1_hex(bytes), expected) << "length " << length;
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace orlogix
