#include "control/igc_output.hpp"

#include <sys/stat.h>

#include <cerrno>

#include "control/output_file.hpp"
#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "core/time.hpp"
#include "formats/igc/writer.hpp"

namespace orlogix {
namespace {

constexpr const char* kTitle = "Save IGC log";
constexpr int kLastFlightNumber = 35;

// A name ending in a slash is a folder; so is an existing folder named without one.
bool is_folder_name(const std::string& name) {
    if (!name.empty() && (name.back() == '/' || name.back() == '\\')) return true;
    struct stat st {};
    return ::stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool file_exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// The folder as a path that ends in "/", whatever way it was named.
std::string folder_path(std::string folder) {
    if (folder.back() == '\\') folder.back() = '/';
    else if (folder.back() != '/') folder += '/';
    return folder;
}

std::string numbered_name(bool raw, int year, int month, int day, const std::string& serial, int flight) {
    return strformat(raw ? "%d-%02d-%02d-xxx-%s-%02d.igc" : "%d-%02d-%02d-xqv-%s-%02d.igc", year, month, day,
                     serial.c_str(), flight);
}

}  // namespace

int check_igc_output_place(Reporter& r, const CommandLine& c) {
    const std::string& name = c.file_name;
    const bool numbered = is_folder_name(name);
    // The longest name a flight can get: the date filled in, a numbered file name added.
    const std::string longest = replace_date(numbered ? folder_path(name) + numbered_name(true, 2000, 1, 1, "xxx", 99)
                                                      : name,
                                             0);
    if (!name_fits_platform(longest)) {
        r.error_box(kTitle, "Too long file name");
        return -1;
    }
    const std::string folder = known_folder(name, numbered);
    if (const int e = folder_problem(folder)) {
        path_error_box(r, kTitle, "File open error", folder, e);
        return -1;
    }
    if (!numbered && !c.overwrite && name.find("$date") == std::string::npos && file_exists(name)) {
        path_error_box(r, kTitle, "File open error", name, EEXIST);
        return -1;
    }
    return 0;
}

int encode_flight_igc(const TrackLog& log, const std::string& pilot, const std::string& glider_id, std::string& bytes) {
    IgcHeaderTexts texts;
    texts.pilot = pilot;
    texts.glider_id = glider_id;
    IgcEncodeOptions options;
    options.source = log.header.track_log_source;
    options.instrument_description = log.header.instrument_description;
    options.fr_serial = "000";
    options.download_time = log.header.download_time;
    options.want_g_record = true;
    options.add_enl = false;
    bool g_possible = false;
    return encode_igc(log.positions, texts, options, bytes, g_possible) < 0 ? -1 : 0;
}

bool delivers_own_igc(const InstrumentKind& kind) { return kind.keeps_raw_igc; }

int write_igc_output(Reporter& r, const CommandLine& c, const CurrentData& data, IgcOutputResult& result) {
    const bool raw = delivers_own_igc(*c.gps);
    std::string bytes;
    uint32_t start = 0;
    if (raw) {
        if (data.raw_igc.empty()) {
            r.error_box(kTitle, "No log stored");
            return -1;
        }
        bytes = data.raw_igc.bytes;
        start = data.raw_igc.first_fix_time;
    } else {
        const TrackLog& log = data.track_log;
        if (log.positions.empty()) {
            r.error_box(kTitle, "No positions");
            return -1;
        }
        if (encode_flight_igc(log, c.pilot, c.glider_id, bytes) < 0) {
            r.error_box(kTitle, "Memory allocation error");
            return -1;
        }
        start = log.positions.front().time;
        result.positions = static_cast<int>(log.positions.size());
    }

    std::string name = replace_date(c.file_name, start);
    const bool numbered = is_folder_name(name);
    CalendarTime day = calendar_from_time(start);
    const std::string serial = raw ? data.raw_igc.serial : std::string("000");
    auto name_for = [&](int flight) {
        return numbered ? folder_path(name) + numbered_name(raw, day.year, day.month, day.day, serial, flight) : name;
    };

    std::string path = name_for(1);
    if (!name_fits_platform(path)) {
        r.error_box(kTitle, "Too long file name");
        return -1;
    }
    if (!c.overwrite) {
        int flight = 1;
        while (file_exists(path)) {
            if (!numbered) {
                path_error_box(r, kTitle, "File open error", path, EEXIST);
                return -1;
            }
            if (++flight > kLastFlightNumber) {
                r.error_box(kTitle, "No free flight number available in " + folder_path(name));
                return -1;
            }
            path = name_for(flight);
        }
    }
    if (write_file_atomic(path, bytes) != 0) {
        const int e = errno;
        path_error_box(r, kTitle, e == ENOENT || e == EACCES || e == EISDIR || e == ENOTDIR ? "File open error"
                                                                                              : "File write error",
                       path, e);
        return -1;
    }
    result.path = path;
    return 0;
}

}  // namespace orlogix
