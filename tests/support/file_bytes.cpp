#include "support/file_bytes.hpp"

#include <gtest/gtest.h>

#include "core/file_read.hpp"

namespace orlogix::test {

std::string file_bytes(const std::string& path) {
    std::string bytes;
    const FileRead read = read_whole_file(path, bytes);
    if (!read.ok() && read.step != FileReadStep::Empty) ADD_FAILURE() << "cannot read " << path;
    return bytes;
}

std::string data_bytes(const std::string& name) { return file_bytes(std::string(ORLOGIX_TEST_DATA) + "/" + name); }

}  // namespace orlogix::test
