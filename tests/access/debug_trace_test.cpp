// The debug trace buffer: its limit, the hexadecimal forms and the save.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "access/debug_trace.hpp"
#include "core/file_read.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

void fill_to(std::size_t n) {
    clear_trace();
    std::string block(1000, 'x');
    while (trace_size() + block.size() <= n) trace_text(block);
    trace_text(std::string(n - trace_size(), 'x'));
    ASSERT_EQ(trace_size(), n);
}

TEST(DebugTrace, BytesAndTextInOrder) {
    clear_trace();
    trace_byte(0x10);
    trace_text("AB");
    const uint8_t raw[] = {0x00, 0xFF};
    trace_bytes(raw, 2);
    EXPECT_EQ(trace_snapshot(), std::string("\x10" "AB\0\xFF", 5));
}

TEST(DebugTrace, TwentyBytesAt99990AddOnlyTen) {
    fill_to(99990);
    std::string twenty = "0123456789abcdefghij";
    trace_text(twenty);
    EXPECT_EQ(trace_size(), kTraceLimit);
    EXPECT_EQ(trace_snapshot().substr(99990), "0123456789");
    trace_byte('z');
    EXPECT_EQ(trace_size(), kTraceLimit);
}

TEST(DebugTrace, HexLinesOfSixteen) {
    clear_trace();
    std::vector<uint8_t> data(18);
    for (int i = 0; i < 18; ++i) data[i] = static_cast<uint8_t>(0xA0 + i);
    trace_hex(data.data(), data.size());
    EXPECT_EQ(trace_snapshot(),
              " A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF\r\n B0 B1\r\n");
    clear_trace();
    trace_hex(data.data(), 16);   // a full line gets no second line end
    EXPECT_EQ(trace_snapshot().size(), 16u * 3 + 2);
    EXPECT_EQ(trace_snapshot().substr(trace_size() - 4), "AF\r\n");
}

TEST(DebugTrace, HexNearTheEndNeverPassesTheLimit) {
    std::vector<uint8_t> data(64, 0x5A);
    for (std::size_t start = kTraceLimit - 60; start <= kTraceLimit; ++start) {
        fill_to(start);
        trace_hex(data.data(), data.size());
        ASSERT_LE(trace_size(), kTraceLimit) << "from " << start;
        // Only whole pieces: the tail is a run of " 5A" with line ends.
        std::string tail = trace_snapshot().substr(start);
        std::string stripped;
        for (std::size_t i = 0; i < tail.size();) {
            if (tail.compare(i, 3, " 5A") == 0) i += 3;
            else if (tail.compare(i, 2, "\r\n") == 0) i += 2;
            else {
                stripped = tail.substr(i);
                break;
            }
        }
        ASSERT_EQ(stripped, "") << "from " << start;
    }
}

TEST(DebugTrace, Hex32WhenEightDigitsFit) {
    clear_trace();
    trace_hex32(0x0012ABCF);
    EXPECT_EQ(trace_snapshot(), "0012ABCF");
    fill_to(kTraceLimit - 8);
    trace_hex32(0xDEADBEEF);
    EXPECT_EQ(trace_snapshot().substr(kTraceLimit - 8), "DEADBEEF");
    fill_to(kTraceLimit - 7);
    trace_hex32(0xDEADBEEF);
    EXPECT_EQ(trace_size(), kTraceLimit - 7);
}

TEST(DebugTrace, ConcurrentWritersNeverOverrun) {
    clear_trace();
    std::vector<std::thread> threads;
    std::vector<uint8_t> data(40, 1);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 400; ++i) {
                trace_hex(data.data(), data.size());
                trace_text("text piece\r\n");
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(trace_size(), trace_snapshot().size());
    EXPECT_LE(trace_size(), kTraceLimit);
    EXPECT_GT(trace_size(), kTraceLimit - 200);
}

class SaveDebugBuffer : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("orlogix-trace-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path dir_;
    test::RecordingReporter rep_;
};

TEST_F(SaveDebugBuffer, EmptyBufferIsRefused) {
    clear_trace();
    auto path = (dir_ / "a.log").string();
    EXPECT_LT(save_debug_buffer(rep_, path), 0);
    EXPECT_EQ(rep_.last_error().title, "Save debug buffer");
    EXPECT_EQ(rep_.last_error().text, "Buffer is empty");
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(SaveDebugBuffer, WritesTheBytesAsTheyAre) {
    clear_trace();
    trace_text("$PMLR,24,82*xx\r\n");
    trace_byte(0);
    trace_byte(0x93);
    auto path = (dir_ / "b.log").string();
    EXPECT_EQ(save_debug_buffer(rep_, path), 0);
    std::string bytes;
    ASSERT_EQ(read_file(path, bytes), 0);
    EXPECT_EQ(bytes, std::string("$PMLR,24,82*xx\r\n\0\x93", 18));
    ASSERT_EQ(rep_.count("notice"), 1);
    EXPECT_EQ(rep_.boxes().back().title, "Save debug buffer");
    EXPECT_EQ(rep_.boxes().back().text, "File written");
}

TEST_F(SaveDebugBuffer, WriteFailureShowsTheSystemText) {
    clear_trace();
    trace_text("x");
    auto path = (dir_ / "missing" / "c.log").string();
    EXPECT_LT(save_debug_buffer(rep_, path), 0);
    EXPECT_EQ(rep_.last_error().title, "File write error");
    EXPECT_EQ(rep_.last_error().text, std::system_category().message(ENOENT));
    EXPECT_EQ(rep_.count("notice"), 0);
}

}  // namespace
}  // namespace orlogix
