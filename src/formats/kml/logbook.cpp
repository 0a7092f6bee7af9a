#include "formats/kml/logbook.hpp"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "core/file_names.hpp"
#include "core/report.hpp"
#include "core/file_read.hpp"
#include "core/text_buffer.hpp"
#include "formats/kml/reader.hpp"
#include "formats/xml/walker.hpp"

namespace orlogix {

int make_trip_folder(Reporter& r, const char* title, std::vector<TrackPosition>& positions, TripStatistics& stats,
                     const TripTexts& texts, std::string& folder) {
    TextBuffer buffer(10000);
    const int rc = write_trip_folder(buffer, positions, stats, texts);
    if (rc == kTripBadDescription) {
        r.error_box(title, "Wide character conversion error");
        return -1;
    }
    if (rc == kTripNoPositions) {
        r.error_box(title, "No positions");
        return -1;
    }
    if (rc != 0) {
        r.error_box(title, "Memory allocation error");
        return -1;
    }
    folder = buffer.take();
    return 0;
}

int merge_logbook(std::string_view existing, std::string_view folder, std::string& document) {
    std::size_t begin = 0, end = 0;
    const int rc = locate_kml_folders(existing, begin, end);
    if (rc != 0) return rc;
    // Folders at different levels would leave the kept slice unbalanced; it
    // must nest on its own before it goes into the new logbook.
    struct Ignore : XmlHandler {
        int start_tag(const XmlToken&, int) override { return 0; }
        int end_tag(std::string_view, const XmlToken&, int) override { return 0; }
    } ignore;
    std::string error;
    const int slice = xml_walk(existing.substr(begin, end - begin), XmlWalkOptions{}, ignore, error);
    if (slice != kXmlOk) return slice;
    document.clear();
    document.reserve(kKmlDocumentHead.size() + (end - begin) + folder.size() + kKmlDocumentTail.size() + 4);
    document += kKmlDocumentHead;
    document += "  ";
    document += existing.substr(begin, end - begin);
    document += "\r\n";
    document += folder;
    document += kKmlDocumentTail;
    return 0;
}

std::string logbook_file_name(uint32_t first_time) {
    const CalendarTime c = calendar_from_time(first_time);
    return strformat("%d-%02d-%02d_%02d-%02d", c.year, c.month, c.day, c.hour, c.minute);
}

int complete_kml_path(Reporter& r, std::string& path, bool kml_filter) {
    if (!kml_filter || has_extension(path)) return 0;
    return complete_file_name(r, path, ".kml");
}

int save_logbook_file(Reporter& r, const std::string& path, std::vector<TrackPosition>& positions,
                      TripStatistics& stats, const TripTexts& texts, ExistingLogbook existing) {
    std::string folder;
    if (make_trip_folder(r, "Make GoogleEarth track folder", positions, stats, texts, folder) != 0) return -1;

    std::error_code ec;
    const bool exists = std::filesystem::exists(path, ec);
    if (exists && existing == ExistingLogbook::Ask) {
        switch (r.choose("File already exists", {"&Append", "&Overwrite", "&Cancel"}, 2)) {
        case 0: existing = ExistingLogbook::Append; break;
        case 1: existing = ExistingLogbook::Overwrite; break;
        default: existing = ExistingLogbook::Cancel; break;
        }
    }
    if (exists && existing == ExistingLogbook::Cancel) return 0;

    std::string document;
    if (exists && existing == ExistingLogbook::Append) {
        const FileReadTitles titles{.open = "Error opening existing file", .size = "Error reading existing file",
                                    .not_regular = "Error reading existing file", .empty = kLogbookSaveTitle,
                                    .memory = "File buffer memory allocation", .read = "Error reading existing file",
                                    .empty_text = "Existing file is empty"};
        std::string old;
        if (read_whole_file(r, path, titles, old) < 0) return -1;
        if (merge_logbook(old, folder, document) != 0) {
            r.error_box(kLogbookSaveTitle, "Error(s) parsing existing file");
            return -1;
        }
    } else {
        document.reserve(kKmlDocumentHead.size() + folder.size() + kKmlDocumentTail.size());
        document += kKmlDocumentHead;
        document += folder;
        document += kKmlDocumentTail;
    }
    if (write_file_atomic(path, document) != 0) {
        system_error_box(r, "File write error", errno);
        return -1;
    }
    r.notice_box("Save DezuvaDar track", stats.download_flag ? "Track saved (Signature OK)" : "Track saved (NO signature)");
    return 1;
}

int save_logbook_file(Reporter& r, const std::string& path, FlightStatistics& record, const TripTexts& texts,
                      ExistingLogbook existing) {
    TripStatistics t = trip_statistics(record);
    const int rc = save_logbook_file(r, path, record.positions, t, texts, existing);
    if (!t.times_in_utc) record.times_in_utc = 0;
    return rc;
}

}  // namespace orlogix
