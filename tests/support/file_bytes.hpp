#pragma once
// A whole file for comparing in a test; one that cannot be read fails the test.
#include <string>

namespace orlogix::test {

std::string file_bytes(const std::string& path);
// A file of tests/data by its path there.
std::string data_bytes(const std::string& name);

}  // namespace orlogix::test
