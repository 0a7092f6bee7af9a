#pragma once
// Programs some tests run as independent peers (gpsbabel, xmllint, sha1sum).
// scripts/install-deps installs them for the test run, so under CI a missing
// one is a failure rather than a quietly skipped test.
#include <string>
#include <vector>

namespace orlogix::test {

// True when program is on the PATH. Otherwise false, after failing the
// current test when the environment variable CI is set, or marking it
// skipped on a machine without the program.
bool peer_available(const std::string& program);

// What a shell command line printed on standard output (empty when it
// could not start).
std::string peer_output(const std::string& command);

// The rows gpsbabel writes for an IGC file as unicsv tracks (the header row
// first; every fix once by GPS and once by pressure altitude). A failed
// run fails the current test and gives no rows.
std::vector<std::string> gpsbabel_igc_rows(const std::string& igc_path);

}  // namespace orlogix::test
