#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "core/file_read.hpp"

namespace orlogix {
namespace {

namespace fs = std::filesystem;

TEST(ReadWholeFile, NamesTheStepThatFailed) {
    const fs::path dir = fs::temp_directory_path() / ("orlogix-read-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "folder");
    std::string large(200000, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 7);
    std::ofstream(dir / "empty");
    std::ofstream(dir / "large", std::ios::binary) << large;
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    struct Case {
        const char* name;
        FileReadStep step;
        int error;
        const std::string& bytes;
    };
    const std::string untouched = "untouched", none;
    for (const Case& c : {Case{"missing", FileReadStep::Open, ENOENT, untouched},
                          Case{"folder", FileReadStep::NotRegular, EISDIR, untouched},
                          Case{"pipe", FileReadStep::NotRegular, EINVAL, untouched},
                          Case{"empty", FileReadStep::Empty, 0, none},
                          Case{"large", FileReadStep::Done, 0, large}}) {
        std::string bytes = untouched;
        const FileRead read = read_whole_file((dir / c.name).string(), bytes);
        EXPECT_EQ(read.step, c.step) << c.name;
        EXPECT_EQ(read.error, c.error) << c.name;
        EXPECT_TRUE(bytes == c.bytes) << c.name;
        // The short form: only a failure before the bytes counts.
        EXPECT_EQ(read_file((dir / c.name).string(), bytes), c.error != 0 ? -1 : 0) << c.name;
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace orlogix
