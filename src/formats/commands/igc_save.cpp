#include "formats/commands/igc_save.hpp"

#include <climits>
#include <cerrno>
#include <filesystem>

#include "core/names.hpp"
#include "core/file_names.hpp"
#include "core/overwrite.hpp"
#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "formats/igc/writer.hpp"

namespace orlogix {

namespace {

constexpr std::string_view kCheckTitle = "Checking IGC parameters";
constexpr std::string_view kWriteTitle = "Write IGC track log file";

bool is_alnum(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Errors that mean the file could not be made at all, as opposed to a
// failure while writing it.
bool is_creation_error(int e) {
    return e == EACCES || e == EPERM || e == ENOENT || e == ENOTDIR || e == EISDIR || e == EROFS ||
           e == ENAMETOOLONG || e == ELOOP;
}

}  // namespace

int check_igc_flight_number(Reporter& r, std::string_view text, std::string_view title) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    std::size_t end = text.size();
    while (end > i && text[end - 1] == ' ') --end;
    std::string_view t = text.substr(i, end - i);
    if (t.empty()) {
        r.error_box(title, "Missing flight number");
        return -1;
    }
    bool negative = false;
    if (t[0] == '+' || t[0] == '-') {
        negative = t[0] == '-';
        t.remove_prefix(1);
    }
    if (t.empty()) {
        r.error_box(title, "Bad flight number input");
        return -1;
    }
    long value = 0;
    for (char c : t) {
        if (c < '0' || c > '9') {
            r.error_box(title, "Bad flight number input");
            return -1;
        }
        if (value < 1000) value = value * 10 + (c - '0');  // anything this big is out of range anyway
    }
    if (negative) value = -value;
    if (value < 1 || value > 35) {
        r.error_box(title, "Flight number out of range");
        return -1;
    }
    return static_cast<int>(value);
}

int check_igc_dialog(Reporter& r, IgcDialogValues& v) {
    for (std::string* field : {&v.pilot, &v.flight_number, &v.fr_serial, &v.glider_type, &v.glider_id, &v.site,
                               &v.competition_class})
        *field = read_field_text(*field, field->size());
    if (v.pilot.empty()) {
        r.error_box(kCheckTitle, "Missing pilot name");
        return -1;
    }
    const int flight = check_igc_flight_number(r, v.flight_number, kCheckTitle);
    if (flight < 0) return -1;
    if (v.fr_serial.empty()) {
        r.error_box(kCheckTitle, "Missing FR serial number");
        return -1;
    }
    if (v.fr_serial.size() < 3) {
        r.error_box(kCheckTitle, "FR serial number string too short");
        return -1;
    }
    for (char c : v.fr_serial) {
        if (!is_alnum(c)) {
            r.error_box(kCheckTitle, "FR serial number not alpha-numeric");
            return -1;
        }
    }
    return flight;
}

std::string igc_save_file_name(const IgcDialogValues& values, int flight, uint32_t first_fix_time) {
    return igc_file_name(values.name_form, first_fix_time, "XQV", values.fr_serial, flight);
}

int complete_igc_path(Reporter& r, std::string& path, bool igc_filter) {
    // Names that get no extension are not limited here: the system judges them.
    if (!igc_filter || has_extension(path)) return 0;
    return complete_file_name(r, path, ".igc", PATH_MAX - 1);
}

int write_igc_file(Reporter& r, const std::string& path, std::string_view bytes) {
    if (write_file_atomic(path, bytes) == 0) return 0;
    const int e = errno;
    system_error_box(r, is_creation_error(e) ? "Error opening file" : "File write error", e);
    return -1;
}

int save_igc_track_log(Reporter& r, std::string& path, bool igc_filter, std::span<const TrackPosition> positions,
                       TrackLogHeader& header, const IgcDialogValues& values) {
    if (positions.empty()) {
        r.error_box(kWriteTitle, "No position(s) selected");
        return -1;
    }
    if (complete_igc_path(r, path, igc_filter) < 0) return -1;
    if (!may_replace(r, path, OverwriteBox::YesNo)) return 0;

    IgcHeaderTexts texts;
    texts.pilot = values.pilot;
    texts.glider_type = values.glider_type;
    texts.glider_id = values.glider_id;
    texts.competition_class = values.competition_class;
    texts.site = values.site;
    IgcEncodeOptions options;
    options.source = header.track_log_source;
    options.instrument_description = header.instrument_description;
    options.fr_serial = values.fr_serial;
    options.download_time = header.download_time;
    options.want_g_record = true;
    options.add_enl = values.add_enl;
    std::string text;
    bool g_possible = false;
    if (encode_igc(positions, texts, options, text, g_possible) <= 0) {
        r.error_box("Encoding .igc file", "Memory allocation error");
        return -1;
    }
    if (write_igc_file(r, path, text) < 0) return -1;
    if (!g_possible) r.notice_box("Security record NOT included", "Track log source is not valid for G-record");
    header.saved = 1;
    r.status(path);
    r.product(strformat("%d positions written", static_cast<int>(positions.size())));
    return static_cast<int>(positions.size());
}

int check_raw_igc_log(Reporter& r, const RawIgcLog& raw) {
    if (!raw.empty()) return 0;
    r.error_box("Save IGC log", "No raw IGC log stored");
    return -1;
}

std::string raw_igc_file_name(const RawIgcLog& raw, IgcNameForm form, int flight) {
    return igc_file_name(form, raw.first_fix_time, raw.maker, raw.serial, flight);
}

int save_raw_igc_log(Reporter& r, const RawIgcLog& raw, std::string& path, bool igc_filter, TrackLogHeader& header) {
    if (check_raw_igc_log(r, raw) < 0) return -1;
    if (complete_igc_path(r, path, igc_filter) < 0) return -1;
    if (!may_replace(r, path, OverwriteBox::YesNo)) return 0;
    if (write_igc_file(r, path, raw.bytes) < 0) return -1;
    header.saved = 1;
    return 1;
}

}  // namespace orlogix
