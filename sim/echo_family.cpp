// Family "echo": answers every line it receives with the same bytes. It has
// no wire protocol of its own; it proves the pty, the runner and the fault
// switches. With report=on each line is also reported as an upload.
#include <string>

#include "core/report.hpp"
#include "sim/family_registry.hpp"

namespace orlogix::sim {

namespace {

class EchoInstrument : public Instrument {
public:
    explicit EchoInstrument(bool report_lines) : report_lines_(report_lines) {}

protected:
    void on_bytes(std::string_view bytes) override {
        for (char c : bytes) {
            line_ += c;
            if (c != '\n' && c != '\r') continue;
            reply(line_);
            if (report_lines_) report("line " + line_.substr(0, line_.size() - 1));
            line_.clear();
        }
    }

private:
    bool report_lines_;
    std::string line_;
};

std::unique_ptr<Instrument> make_echo(const FamilyOptions& options, Reporter& r) {
    if (check_setting_keys(r, "echo", options.settings, {"report"}) < 0) return nullptr;
    bool report_lines = false;
    if (auto it = options.settings.find("report"); it != options.settings.end()) {
        if (it->second == "on") report_lines = true;
        else if (it->second != "off") {
            r.error_box("orlogix-sim", "Setting report takes on or off, not " + it->second);
            return nullptr;
        }
    }
    return std::make_unique<EchoInstrument>(report_lines);
}

}  // namespace

void register_echo_family(FamilyRegistry& registry) {
    registry.add("echo", "answers each line (up to CR or LF) with the same bytes; report=on|off", make_echo);
}

}  // namespace orlogix::sim
