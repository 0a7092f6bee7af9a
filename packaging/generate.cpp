// orlogix-generate: fills the manual pages and the system-wide settings file
// from the program's own tables -- the command-line keywords, the instrument
// catalogue, the file format table, the simulated families and the settings --
// so that what they list is what the binaries do.
//   orlogix-generate TEMPLATE OUTPUT VERSION
// A template line that is only "@NAME@" becomes that list; "@VERSION@"
// anywhere becomes the version.
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "access/dispatch.hpp"
#include "access/instrument_catalogue.hpp"
#include "control/command_line.hpp"
#include "formats/format_table.hpp"
#include "protocols/families.hpp"
#include "settings/settings.hpp"
#include "sim/family_registry.hpp"

namespace {

using namespace orlogix;

// Text as roff reads it: backslashes kept, no line taken for a request.
std::string roff(std::string_view text) {
    std::string out;
    for (char c : text) out += c == '\\' ? std::string("\\e") : std::string(1, c);
    return out;
}

std::string roff_lines(const std::string& text) {
    std::string out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out += "\\&" + roff(line) + "\n";
    return out;
}

std::string keywords(bool operations) {
    std::string out;
    for (const KeywordHelp& k : keyword_help()) {
        if (k.operation != operations) continue;
        out += ".TP\n.B /" + roff(k.name);
        if (!k.value.empty()) out += "=\\fI" + roff(k.value) + "\\fR";
        out += "\n" + roff(k.help) + "\n";
    }
    return out;
}

std::string gps_names() {
    std::string out = ".PP\n.nf\n";
    for (const InstrumentKind& kind : instrument_catalogue()) {
        if (!kind.gps_name || kind.usb) continue;
        out += "\\&" + roff(kind.gps_name) + (instrument_built(kind) ? "" : " (not built yet)") + "\n";
    }
    return out + ".fi\n";
}

std::string formats() {
    return ".PP\n.nf\n\\&  id        ext.  kind      can          name in the dialogs\n" + roff_lines(format_list_text()) +
           ".fi\n";
}

std::string sim_families() {
    sim::FamilyRegistry registry;
    sim::register_all_families(registry);
    // The usage's lines, "  name      summary", as a tagged list: summaries are long.
    std::string out;
    std::istringstream in(sim::family_list(registry));
    for (std::string line; std::getline(in, line);) {
        const std::size_t name = line.find_first_not_of(' ');
        if (name == std::string::npos) continue;
        const std::size_t gap = line.find(' ', name);
        const std::size_t summary = gap == std::string::npos ? line.size() : line.find_first_not_of(' ', gap);
        out += ".TP\n.B " + roff(line.substr(name, gap - name)) + "\n\\&" +
               roff(summary == std::string::npos ? "" : line.substr(summary)) + "\n";
    }
    return out;
}

// Every setting with its built-in value, commented out: the administrator
// uncomments what all users should start with.
std::string settings() {
    const Settings defaults = default_settings("");
    std::string out;
    for (const SettingEntry& e : settings_table()) {
        const std::string value =
            e.type == SettingType::Text ? defaults.*e.text : std::to_string(defaults.*e.number);
        out += "; " + std::string(e.name) + "=" + value + "\n";
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: orlogix-generate TEMPLATE OUTPUT VERSION\n", stderr);
        return 2;
    }
    register_protocol_families();
    orlogix::register_all_families();
    const std::map<std::string, std::function<std::string()>> lists = {
        {"@OPERATIONS@", [] { return keywords(true); }},
        {"@OPTIONS@", [] { return keywords(false); }},
        {"@GPS_NAMES@", gps_names},
        {"@FORMATS@", formats},
        {"@SIM_FAMILIES@", sim_families},
        {"@SETTINGS@", settings},
    };
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "orlogix-generate: cannot read %s\n", argv[1]);
        return 1;
    }
    std::string out;
    for (std::string line; std::getline(in, line);) {
        if (auto list = lists.find(line); list != lists.end()) {
            out += list->second();
            continue;
        }
        for (std::size_t at; (at = line.find("@VERSION@")) != std::string::npos;) line.replace(at, 9, argv[3]);
        if (line.size() > 2 && line.front() == '@' && line.back() == '@') {
            std::fprintf(stderr, "orlogix-generate: %s: unknown list %s\n", argv[1], line.c_str());
            return 1;
        }
        out += line + "\n";
    }
    std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
    file << out;
    if (!file.flush()) {
        std::fprintf(stderr, "orlogix-generate: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
