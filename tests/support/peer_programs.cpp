#include "support/peer_programs.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

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

}  // namespace orlogix::test
