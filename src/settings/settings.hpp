#pragma once
// The remembered configuration: one table of 49 named values, read once at
// start-up and written back once at shutdown (never while a command line runs).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orlogix {

class Reporter;

struct Settings {
    std::string pilot_list_name, pilot_list_dir, google_dir, comp_dir, ozi_dir, track_log_dir, waypoint_dir,
        ctr_dir, trace_dir;
    std::string baudrate;
    std::string port_name;
    int64_t port = 0;
    int64_t log_filter = 0;
    int64_t log_export_ext = 0, log_import_ext = 0, wpt_export_ext = 0, wpt_import_ext = 0;
    int64_t comp_time_start = 0, comp_time_stop = 0;
    int64_t comp_wpt_nnn = 0, comp_mode = 0, comp_special = 0;
    int64_t track_gap_time = 0;
    int64_t add_igc_to_comp_out = 0;
    int64_t loop_flight_gap = 0;
    int64_t vario_filter = 0;
    int64_t flymaster_pwr_off = 0;
    std::string igc_dir, igc_pilot_name, igc_flight_no, igc_contest_id, igc_glider_type, igc_glider_id, igc_site,
        igc_class;
    int64_t igc_save_mask = 0;
    int64_t igc_add_enl = 0;
    std::string olc_dir, olc_first_name, olc_last_name, olc_birth_date, olc_glider_class, olc_glider_type,
        olc_call_sign, olc_start_place, olc_region;
    int64_t olc_long_file_name = 0;
    int64_t dsx_data_mode = 0;
    std::string contest_rules;  // the contest rules the window scores flights by
};

enum class SettingType { Text, Number };

// Text limits: a folder is a path and takes the platform's length; every
// other text is cut to its working field.
inline constexpr std::size_t kPathField = 4096;

struct SettingEntry {
    const char* name;
    SettingType type;
    std::size_t size;   // the working field in bytes, NUL included for texts
    std::string Settings::*text;
    int64_t Settings::*number;
    const char* text_default;   // "~" stands for the user's home folder
    int64_t number_default;
};

// The 49 entries in their stored order.
const std::vector<SettingEntry>& settings_table();

// Every value at its default; home is the user's home folder.
Settings default_settings(const std::string& home);

// Where the values live: the user's file and the system-wide defaults copy.
struct SettingsPaths {
    std::string user_file;       // $XDG_CONFIG_HOME/orlogix/settings.ini
    std::string defaults_file;   // /etc/xdg/orlogix/settings.ini
    std::string home;
};
SettingsPaths default_settings_paths();

class SettingsStore {
public:
    explicit SettingsStore(SettingsPaths paths) : paths_(std::move(paths)) {}

    // Reads the user's values; on a first start the defaults copy, else the
    // built-in defaults. A store that cannot be made shows "Registry access
    // error" and is not written at shutdown. 0 or -1.
    int load(Reporter& r, Settings& s);
    // Writes every value, whole, to the user's file. 0 or -1 (reported).
    int save(Reporter& r, const Settings& s);

    bool existed() const { return existed_; }
    bool usable() const { return usable_; }

private:
    SettingsPaths paths_;
    bool existed_ = false;
    bool usable_ = false;
};

// The text form of the store and its reading, kept apart from the files.
std::string settings_to_text(const Settings& s);
// Values found in the text replace those in s (cut to their fields); others stay.
void settings_from_text(const std::string& text, Settings& s);

}  // namespace orlogix
