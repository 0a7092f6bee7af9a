#include "control/igc_output.hpp"

#include <sys/stat.h>

#include <cerrno>

#include "control/output_file.hpp"
#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "core/time.hpp"
#include "formats/igc_writer.hpp"

namespace orlogix {
namespace {

constexpr const char* kTitle = "Save IGC log";
constexpr int kLastFlightNumber = 35;

bool is_folder_name(const std::string& name) {
    return !name.empty() && (name.back() == '/' || name.back() == '\\');
}

bool file_exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

bool delivers_own_igc(GpsType gps) {
    return gps == GpsType::IqCompeo || gps == GpsType::Dsx || gps == GpsType::IqBasic;
}

int write_igc_output(Reporter& r, const CommandLine& c, const CurrentData& data, IgcOutputResult& result) {
    const bool raw = delivers_own_igc(c.gps);
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
        IgcHeaderTexts texts;
        texts.pilot = c.pilot;
        texts.glider_id = c.glider_id;
        IgcEncodeOptions options;
        options.source = log.header.track_log_source;
        options.instrument_description = log.header.instrument_description;
        options.fr_serial = "000";
        options.download_time = log.header.download_time;
        options.want_g_record = true;
        options.add_enl = false;
        bool g_possible = false;
        if (encode_igc(log.positions, texts, options, bytes, g_possible) < 0) {
            r.error_box(kTitle, "Memory allocation error");
            return -1;
        }
        start = log.positions.front().time;
        result.positions = static_cast<int>(log.positions.size());
    }

    std::string name = replace_date(c.file_name, start);
    const bool numbered = is_folder_name(name);
    CalendarTime day = calendar_from_time(start);
    auto name_for = [&](int flight) {
        if (!numbered) return name;
        std::string folder = name;
        if (folder.back() == '\\') folder.back() = '/';
        const std::string serial = raw ? data.raw_igc.serial : std::string("000");
        return folder + strformat(raw ? "%d-%02d-%02d-xxx-%s-%02d.igc" : "%d-%02d-%02d-xqv-%s-%02d.igc", day.year,
                                  day.month, day.day, serial.c_str(), flight);
    };

    std::string path = name_for(1);
    if (path.size() >= kPathLimit) {
        r.error_box(kTitle, "Too long file name");
        return -1;
    }
    if (!c.overwrite) {
        int flight = 1;
        while (file_exists(path)) {
            if (!numbered || ++flight > kLastFlightNumber) {
                r.error_box(kTitle, "No free flight number available");
                return -1;
            }
            path = name_for(flight);
        }
    }
    if (write_file_atomic(path, bytes) != 0) {
        int e = errno;
        system_error_box(r, e == ENOENT || e == EACCES || e == EISDIR ? "File open error" : "File write error", e);
        return -1;
    }
    result.path = path;
    return 0;
}

}  // namespace orlogix
