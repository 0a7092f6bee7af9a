// The batch command line on arbitrary text, and on arbitrary program
// arguments joined the way main() joins them: no crash, and what it accepts
// keeps within the limits the rest of the program relies on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "control/command_line.hpp"

using namespace orlogix;

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

void parse(std::string_view text) {
    CommandLine c;
    CommandLineError e;
    if (parse_command_line(text, c, e) < 0) {
        check(!e.text.empty());
        return;
    }
    check(c.pilot.size() <= 80 && c.glider_id.size() <= 20 && c.notify.size() <= 256);
    check(c.timeout >= 0 && c.timeout <= kTimeoutMax);
    check(c.filter_start == 0 || c.filter_end == 0 || c.filter_start < c.filter_end);
    check(protocol_type_for(c) >= 0);
    (void)baud_value_for(c);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    parse(text);
    // Zero bytes split the input into program arguments.
    std::vector<std::string> args{"orlogix"};
    std::size_t at = 0;
    for (;;) {
        const std::size_t end = text.find('\0', at);
        args.emplace_back(text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
        if (end == std::string_view::npos) break;
        at = end + 1;
    }
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    parse(join_arguments(static_cast<int>(argv.size()), argv.data()));
    return 0;
}
