#include "settings/settings.hpp"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "core/report.hpp"
#include "core/file_read.hpp"
#include "core/text_buffer.hpp"

namespace orlogix {
namespace {

using S = Settings;

SettingEntry text(const char* name, std::size_t size, std::string S::*field, const char* def) {
    return {name, SettingType::Text, size, field, nullptr, def, 0};
}

SettingEntry number(const char* name, int64_t S::*field, int64_t def) {
    return {name, SettingType::Number, 4, nullptr, field, nullptr, def};
}

constexpr const char* kHome = "~";

}  // namespace

const std::vector<SettingEntry>& settings_table() {
    static const std::vector<SettingEntry> table = {
        text("PilotListName", kPathField, &S::pilot_list_name, kHome),
        text("PilotListDir", kPathField, &S::pilot_list_dir, kHome),
        text("GoogleDir", kPathField, &S::google_dir, kHome),
        text("CompDir", kPathField, &S::comp_dir, kHome),
        text("OziDir", kPathField, &S::ozi_dir, kHome),
        text("TrackLogDir", kPathField, &S::track_log_dir, kHome),
        text("WaypointDir", kPathField, &S::waypoint_dir, kHome),
        text("CtrDir", kPathField, &S::ctr_dir, kHome),
        text("TraceDir", kPathField, &S::trace_dir, kHome),
        text("Baudrate", 10, &S::baudrate, "9600"),
        // A device path rather than "COMn" may be stored here: it is a path.
        text("PortName", kPathField, &S::port_name, "COM1"),
        number("Port", &S::port, 1),
        number("LogFilter", &S::log_filter, 1),
        number("LogExportExt", &S::log_export_ext, 1),
        number("LogImportExt", &S::log_import_ext, 1),
        number("WptExportExt", &S::wpt_export_ext, 1),
        number("WptImportExt", &S::wpt_import_ext, 1),
        number("CompTimeStart", &S::comp_time_start, 555674400),
        number("CompTimeStop", &S::comp_time_stop, 0),
        number("CompWptNNN", &S::comp_wpt_nnn, 0),
        number("CompMode", &S::comp_mode, 0),
        number("CompSpecial", &S::comp_special, 0),
        number("TrackGapTime", &S::track_gap_time, 1200),
        number("AddIgcToCompOut", &S::add_igc_to_comp_out, 0),
        number("LoopFlightGap", &S::loop_flight_gap, 800),
        number("VarioFilter", &S::vario_filter, 0),
        number("FlymasterPwrOff", &S::flymaster_pwr_off, 0),
        text("IgcDir", kPathField, &S::igc_dir, kHome),
        text("IgcPilotName", 80, &S::igc_pilot_name, "None"),
        text("IgcFlightNo", 12, &S::igc_flight_no, "1"),
        text("IgcContestId", 4, &S::igc_contest_id, "1"),
        text("IgcGliderType", 80, &S::igc_glider_type, "None"),
        text("IgcGliderId", 80, &S::igc_glider_id, "None"),
        text("IgcSite", 80, &S::igc_site, "None"),
        text("IgcClass", 80, &S::igc_class, "None"),
        number("IgcSaveMask", &S::igc_save_mask, 5),
        number("IgcAddEnl", &S::igc_add_enl, 0),
        text("OlcDir", kPathField, &S::olc_dir, kHome),
        text("OlcFirstName", 80, &S::olc_first_name, ""),
        text("OlcLastName", 80, &S::olc_last_name, ""),
        text("OlcBirthDate", 80, &S::olc_birth_date, ""),
        text("OlcGliderClass", 80, &S::olc_glider_class, ""),
        text("OlcGliderType", 80, &S::olc_glider_type, ""),
        text("OlcCallSign", 80, &S::olc_call_sign, ""),
        text("OlcStartPlace", 80, &S::olc_start_place, ""),
        text("OlcRegion", 8, &S::olc_region, ""),
        number("OlcLongFileName", &S::olc_long_file_name, 0),
        number("DsxDataMode", &S::dsx_data_mode, 0),
        text("ContestRules", 16, &S::contest_rules, "XContest"),
    };
    return table;
}

Settings default_settings(const std::string& home) {
    Settings s;
    for (const auto& e : settings_table()) {
        if (e.type == SettingType::Text) s.*e.text = std::string(e.text_default) == kHome ? home : e.text_default;
        else s.*e.number = e.number_default;
    }
    return s;
}

SettingsPaths default_settings_paths() {
    SettingsPaths p;
    const char* home = std::getenv("HOME");
    p.home = home && *home ? home : "/";
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string config = xdg && *xdg ? std::string(xdg) : p.home + "/.config";
    p.user_file = config + "/orlogix/settings.ini";
    p.defaults_file = "/etc/xdg/orlogix/settings.ini";
    return p;
}

std::string settings_to_text(const Settings& s) {
    TextBuffer b(4096);
    b.append_line("[Orlogix]\n");
    for (const auto& e : settings_table()) {
        if (e.type == SettingType::Text) b.appendf("%s=%s\n", e.name, (s.*e.text).c_str());
        else b.appendf("%s=%lld\n", e.name, static_cast<long long>(s.*e.number));
    }
    return b.take();
}

void settings_from_text(const std::string& text, Settings& s) {
    std::map<std::string, std::string, std::less<>> values;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        std::size_t eq = line.find('=');
        if (line.empty() || line[0] == '[' || line[0] == '#' || line[0] == ';' || eq == std::string_view::npos)
            continue;
        values[std::string(line.substr(0, eq))] = std::string(line.substr(eq + 1));
    }
    for (const auto& e : settings_table()) {
        auto it = values.find(e.name);
        if (it == values.end()) continue;
        if (e.type == SettingType::Text) {
            s.*e.text = it->second.substr(0, e.size - 1);
            continue;
        }
        // A number that does not read as a 32-bit value keeps its default.
        const std::string& v = it->second;
        long long n = 0;
        auto [ptr, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
        if (ec == std::errc() && ptr == v.data() + v.size() && n >= INT32_MIN && n <= static_cast<long long>(UINT32_MAX))
            s.*e.number = n;
    }
}

int SettingsStore::load(Reporter& r, Settings& s) {
    namespace fs = std::filesystem;
    s = default_settings(paths_.home);
    std::error_code ec;
    existed_ = fs::exists(paths_.user_file, ec);
    fs::create_directories(fs::path(paths_.user_file).parent_path(), ec);
    if (ec) {
        system_error_box(r, "Registry access error", ec.value());
        usable_ = false;
        // Without a store: empty texts, the numbers' defaults but no save mask.
        for (const auto& e : settings_table())
            if (e.type == SettingType::Text) (s.*e.text).clear();
        s.igc_save_mask = 0;
        return -1;
    }
    usable_ = true;
    std::string text;
    if (existed_) {
        if (read_file(paths_.user_file, text) == 0) settings_from_text(text, s);
    } else if (read_file(paths_.defaults_file, text) == 0) {
        settings_from_text(text, s);
    }
    return 0;
}

int SettingsStore::save(Reporter& r, const Settings& s) {
    if (!usable_) return -1;
    if (write_file_atomic(paths_.user_file, settings_to_text(s)) != 0) {
        system_error_box(r, "Registry access error", errno);
        return -1;
    }
    return 0;
}

}  // namespace orlogix
