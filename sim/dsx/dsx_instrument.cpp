#include "sim/dsx/dsx_instrument.hpp"

#include <algorithm>

#include "core/report.hpp"
#include "protocols/dsx/commands.hpp"
#include "sim/family_registry.hpp"

namespace orlogix::sim {

namespace {

// The record count the list shows: the lines of the text.
std::size_t record_count(const std::string& igc) {
    return static_cast<std::size_t>(std::count(igc.begin(), igc.end(), '\n'));
}

}  // namespace

std::string DsxInstrument::served_text(const std::string& igc, bool g_records) {
    std::string body;
    std::size_t at = 0;
    while (at < igc.size()) {
        const std::size_t end = std::min(igc.find('\n', at), igc.size() - 1);
        const std::string line = igc.substr(at, end - at + 1);
        if (g_records || line[0] != 'G') body += line;
        at = end + 1;
    }
    if (!body.empty() && body.back() != '\n') body += "\r\n";
    return "#" + body + std::string(dsx::kEndMark) + "\r\n";
}

void DsxInstrument::handle(const std::string& c) {
    if (c == "V1") {
        reply(dsx::kOpenAnswer);
    } else if (c == "V4" || c == "V0") {
        report(c == "V4" ? "fast rate" : "closed");
    } else if (c == "FL") {
        std::string list = "#";
        for (std::size_t i = 0; i < config_.tracks.size(); ++i)
            list += strformat("%03d recs n.%zu\r\n", config_.first_number + static_cast<int>(i),
                              record_count(config_.tracks[i].igc));
        reply(list);
    } else if (c.size() == 4 && c[0] == 'F') {
        const int index = std::atoi(c.c_str() + 1) - config_.first_number;
        if (index < 0 || index >= static_cast<int>(config_.tracks.size())) {
            report("no track " + c.substr(1));
            return;
        }
        reply(served_text(config_.tracks[static_cast<std::size_t>(index)].igc, config_.g_records));
    } else if (c.size() == 2 && c[0] == 'E' && c[1] >= '1' && c[1] <= '5') {
        reply(config_.texts[static_cast<std::size_t>(c[1] - '1')] + "\r");
    } else if (c.size() >= 2 && c[0] == 'H' && c[1] >= '1' && c[1] <= '5') {
        config_.texts[static_cast<std::size_t>(c[1] - '1')] = c.substr(2);
        report(c);
    } else if (c.starts_with("C1")) {
        report(c);
    } else {
        report("unknown command " + c);
    }
}

void DsxInstrument::on_bytes(std::string_view bytes) {
    for (const char c : bytes) {
        if (c == '\r') {
            handle(command_);
            command_.clear();
        } else if (command_.size() < 200) {
            command_ += c;
        }
    }
}

namespace {

std::unique_ptr<Instrument> make_dsx(const FamilyOptions& options, Reporter& r) {
    if (check_setting_keys(r, "dsx", options.settings, {"g", "first", "e1", "e2", "e3", "e4", "e5"}) < 0)
        return nullptr;
    DsxConfig c;
    for (const auto& [key, value] : options.settings) {
        if (key == "g" && (value == "0" || value == "1")) c.g_records = value == "1";
        else if (key == "first" && !value.empty() && value.size() <= 3 &&
                 value.find_first_not_of("0123456789") == std::string::npos)
            c.first_number = std::atoi(value.c_str());
        else if (key.size() == 2 && key[0] == 'e' && value.size() <= dsx::kPilotTextMax &&
                 value.find('\r') == std::string::npos)
            c.texts[static_cast<std::size_t>(key[1] - '1')] = value;
        else {
            r.error_box("orlogix-sim", "Bad value " + value + " for setting " + key);
            return nullptr;
        }
    }
    if (!load_served_tracks(r, options.track_files, "DSX", c.tracks)) return nullptr;
    if (c.first_number + c.tracks.size() > 1000 || c.tracks.size() > dsx::kMaxTracks) {
        r.error_box("orlogix-sim", "Too many tracks");
        return nullptr;
    }
    return std::make_unique<DsxInstrument>(std::move(c));
}

}  // namespace

void register_dsx_family(FamilyRegistry& registry) {
    registry.add("dsx",
                 "DSX; --track repeatable (oldest first; .igc served as it is, other files encoded); g=0 (no "
                 "G-records), first=N (number of the oldest track), e1..e5=TEXT (pilot texts)",
                 make_dsx);
}

}  // namespace orlogix::sim
