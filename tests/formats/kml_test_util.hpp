#pragma once
// Helpers of the KML and GPX tests: a scratch folder per test, running a peer
// program, and reading the test data.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/file_read.hpp"
#include "core/text_buffer.hpp"
#include "support/peer_programs.hpp"

namespace orlogix::test {

inline std::filesystem::path scratch_dir(const std::string& area) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    auto dir = std::filesystem::temp_directory_path() /
               ("orlogix_" + area + "_" + std::to_string(::getpid()) + "_" + info->test_suite_name() + "_" + info->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// Runs a shell command; its exit status, and its standard output in out.
inline int run_command(const std::string& command, std::string& out) {
    out.clear();
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return -1;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
    const int status = ::pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::string data_file(const std::string& relative) {
    std::string bytes;
    EXPECT_EQ(read_file(std::string(ORLOGIX_TEST_DATA) + "/" + relative, bytes), 0) << relative;
    return bytes;
}

}  // namespace orlogix::test
