#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "core/file_read.hpp"
#include "core/text_buffer.hpp"

namespace orlogix {
namespace {

namespace fs = std::filesystem;

class TempDir : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("orlogix-tb-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST(TextBufferTest, AppendsPiecesInOrderWithoutLimit) {
    TextBuffer b(4);
    ASSERT_EQ(b.append_line("A1\r\n"), 0);
    ASSERT_EQ(b.appendf("B%05d%s\r\n", 42, std::string(300, 'x').c_str()), 0);
    EXPECT_EQ(b.text().substr(0, 12), "A1\r\nB00042xx");
    EXPECT_EQ(b.size(), 4u + 6u + 300u + 2u);
}

TEST_F(TempDir, AtomicWriteReplacesWholeFileAndLeavesNoTemporary) {
    std::string path = (dir_ / "out.igc").string();
    ASSERT_EQ(write_file_atomic(path, "old contents that are longer"), 0);
    ASSERT_EQ(write_file_atomic(path, "new"), 0);
    std::string back;
    ASSERT_EQ(read_file(path, back), 0);
    EXPECT_EQ(back, "new");
    int files = 0;
    for (auto& e : fs::directory_iterator(dir_)) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST_F(TempDir, FailedWriteKeepsTheOldFile) {
    std::string path = (dir_ / "keep.txt").string();
    ASSERT_EQ(write_file_atomic(path, "good"), 0);
    // A target that is a folder cannot be replaced: the write fails, nothing is lost.
    fs::create_directories(dir_ / "folder");
    EXPECT_EQ(write_file_atomic((dir_ / "folder").string(), "x"), -1);
    EXPECT_EQ(write_file_atomic((dir_ / "missing" / "f.txt").string(), "x"), -1);
    EXPECT_EQ(errno, ENOENT);
    std::string back;
    ASSERT_EQ(read_file(path, back), 0);
    EXPECT_EQ(back, "good");
}

TEST_F(TempDir, NewFileWriteNeverReplacesUnlessAllowedAndLeavesNoTemporary) {
    const std::string path = (dir_ / "pilot.kml").string();
    ASSERT_EQ(write_file_new(path, "first"), 0);
    EXPECT_EQ(write_file_new(path, "second"), -1);
    EXPECT_EQ(errno, EEXIST);
    std::string back;
    ASSERT_EQ(read_file(path, back), 0);
    EXPECT_EQ(back, "first");
    ASSERT_EQ(write_file_new(path, "third", true), 0);
    ASSERT_EQ(read_file(path, back), 0);
    EXPECT_EQ(back, "third");
    // A folder in the way fails after the temporary file was made: it goes too.
    fs::create_directories(dir_ / "sub.kml");
    EXPECT_EQ(write_file_new((dir_ / "sub.kml").string(), "x", true), -1);
    EXPECT_EQ(write_file_new((dir_ / "missing" / "f.kml").string(), "x"), -1);
    int files = 0;
    for (auto& e : fs::directory_iterator(dir_)) files += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1);
}

TEST_F(TempDir, BinaryBytesSurviveTheRoundTrip) {
    std::string data;
    for (int i = 0; i < 256; ++i) data += static_cast<char>(i);
    std::string path = (dir_ / "bin").string();
    ASSERT_EQ(write_file_atomic(path, data), 0);
    std::string back;
    ASSERT_EQ(read_file(path, back), 0);
    EXPECT_EQ(back, data);
}

}  // namespace
}  // namespace orlogix
