#include "formats/commands/track_batch.hpp"

#include <cerrno>
#include <filesystem>

#include "core/file_read.hpp"
#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "core/file_names.hpp"
#include "formats/format_table.hpp"
#include "formats/tracks/dat.hpp"
#include "formats/igc/reader.hpp"
#include "formats/igc/writer.hpp"
#include "formats/kml/reader.hpp"

namespace orlogix {

namespace {

// The platform's path limit takes the place of the old 260 characters.
constexpr std::size_t kBatchPathLimit = 4096;

// One conversion: the input bytes to the output bytes and a note on the
// flight for the closing report, or -1 after the converter reported ("File
// decode error" and the like).
using Converter = std::function<int(const std::string& bytes, std::string& out, std::string& note)>;

// Any case, so that "FLIGHT.IGC" counts as an IGC file.
int run_batch(Reporter& r, const char* title, const std::vector<std::string>& files, const char* from_id,
              const char* to_id, const Converter& convert) {
    const char* from = file_format(FormatKind::Track, from_id).extension;
    const char* to = file_format(FormatKind::Track, to_id).extension;
    if (files.empty()) {
        r.error_box(title, "No file(s) selected");
        return -1;
    }
    int converted = 0;
    bool failed = false;
    std::string notes;
    for (const std::string& path : files) {
        auto fail = [&](const char* text) {
            r.error_box(title, text);
            failed = true;
        };
        if (path.size() > kBatchPathLimit) {
            fail("Too long filename");
            break;
        }
        if (lower_extension(path) != from) {
            fail("File contains invalid extension");
            break;
        }
        r.status(path);
        std::string bytes;
        switch (read_whole_file(path, bytes).step) {
            case FileReadStep::Open: fail("File open error"); break;
            case FileReadStep::Size:
            case FileReadStep::NotRegular: fail("File size read error"); break;
            case FileReadStep::Empty: fail("Empty file"); break;
            case FileReadStep::Memory: fail("Memory allocation  error"); break;
            case FileReadStep::Read: fail("File read error"); break;
            case FileReadStep::Done: break;
        }
        if (failed) break;
        std::string out, note;
        if (convert(bytes, out, note) != 0) {
            failed = true;
            break;
        }
        if (write_file_atomic(with_extension(path, to), out) != 0) {
            fail(errno == EIO || errno == ENOSPC ? "File write error" : "File open error");
            break;
        }
        ++converted;
        if (!note.empty()) notes += "\n" + std::filesystem::path(path).filename().string() + ": " + note;
    }
    std::string report = strformat("%d file(s) converted", converted);
    if (!notes.empty()) report += "\n" + notes;
    r.notice_box(title, report);
    return failed ? -1 : converted;
}

}  // namespace

int batch_convert_kml_to_igc(Reporter& r, const std::vector<std::string>& files, const BatchOptions& options) {
    return run_batch(r, kBatchKmlToIgcTitle, files, "kml", "igc", [&](const std::string& bytes, std::string& out, std::string&) {
        KmlTrack track;
        // Silent: the first track, and the reader's own boxes are not shown.
        class Quiet : public Reporter {
        public:
            void error_box(std::string_view, std::string_view) override {}
            void notice_box(std::string_view, std::string_view) override {}
            void warning_box(std::string_view, std::string_view) override {}
            int question_box(std::string_view, std::string_view) override { return kBoxCancel; }
            int yes_no_box(std::string_view, std::string_view) override { return kBoxNo; }
            void status(std::string_view) override {}
            void product(std::string_view) override {}
        } quiet;
        IgcEncodeOptions o;
        o.source = 0;
        o.want_g_record = false;
        o.add_enl = false;
        o.download_time = options.batch_start;
        o.program_version = options.program_version;
        bool g_possible = false;
        if (read_kml_track(quiet, bytes, true, track) <= 0 ||
            encode_igc(track.positions, IgcHeaderTexts{}, o, out, g_possible) < 0) {
            r.error_box(kBatchKmlToIgcTitle, "File decode error");
            return -1;
        }
        return 0;
    });
}

int batch_convert_igc_to_kml(Reporter& r, const std::vector<std::string>& files, const BatchOptions& options,
                             const TripAnalysis& analyse) {
    return run_batch(r, kBatchIgcToKmlTitle, files, "igc", "kml",
                     [&](const std::string& bytes, std::string& out, std::string& note) {
        IgcParsed parsed;
        IgcParseError err;
        if (parse_igc(bytes, parsed, err) < 0) {
            r.error_box(kBatchIgcToKmlTitle, "File decode error");
            return -1;
        }
        if (options.flight_note) note = options.flight_note(parsed.positions);
        GoogleEarthOptions o;
        o.download_flag = false;
        o.times_in_utc = false;
        o.baro_present = true;
        o.program_version = options.program_version;
        o.max_gap = options.max_gap;
        return build_google_earth_document(r, parsed.positions, o, analyse, out);
    });
}

int convert_dat_to_kml(Reporter& r, const std::string& base_name, const GoogleEarthOptions& options,
                       const TripAnalysis& analyse) {
    const std::string path = base_name + ".dat";
    if (path.size() > kBatchPathLimit) {
        r.error_box(kDatReadTitle, "File name too long");
        return -1;
    }
    std::string bytes;
    const FileRead read = read_whole_file(path, bytes);
    switch (read.step) {
        case FileReadStep::Open: system_error_box(r, kDatReadTitle, read.error); return -1;
        case FileReadStep::Size:
        case FileReadStep::NotRegular:
        case FileReadStep::Read: r.error_box(kDatReadTitle, ".dat track log file read error"); return -1;
        case FileReadStep::Empty: r.error_box(kDatReadTitle, "File is empty"); return -1;
        case FileReadStep::Memory: r.error_box(kDatReadTitle, "Memory allocation error"); return -1;
        case FileReadStep::Done: break;
    }
    std::vector<TrackPosition> positions;
    if (read_dat_track(r, bytes, positions) < 0) return -1;
    GoogleEarthOptions o = options;
    o.download_flag = false;
    o.times_in_utc = false;
    o.baro_present = false;
    return write_google_earth_file(r, kml_path_for(path), std::move(positions), o, analyse);
}

}  // namespace orlogix
