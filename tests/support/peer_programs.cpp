#include "support/peer_programs.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <chrono>
#include <cstdlib>

#include "support/subprocess.hpp"

namespace orlogix::test {

bool peer_available(const std::string& program) {
    if (std::system(("command -v '" + program + "' >/dev/null 2>&1").c_str()) == 0) return true;
    const char* ci = std::getenv("CI");
    if (ci != nullptr && *ci != '\0') {
        ADD_FAILURE() << program << " is not installed, though scripts/install-deps installs it for the tests";
        return false;
    }
    // A skip recorded from here still marks the calling test; the lambda
    // only gives the macro a function without a result to return from.
    [&program] { GTEST_SKIP() << program << " is not installed"; }();
    return false;
}

std::string peer_output(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
}

std::vector<std::string> gpsbabel_igc_rows(const std::string& igc_path) {
    using namespace std::chrono_literals;
    Subprocess babel;
    std::vector<std::string> rows;
    if (babel.start("gpsbabel", {"-t", "-i", "igc", "-f", igc_path, "-o", "unicsv", "-F", "-"}) != 0) {
        ADD_FAILURE() << "gpsbabel did not start";
        return rows;
    }
    for (std::string line; babel.read_line(line, 30s);) rows.push_back(line);
    if (babel.wait(30s) != 0) {
        ADD_FAILURE() << babel.error_output();
        rows.clear();
    }
    return rows;
}

}  // namespace orlogix::test
