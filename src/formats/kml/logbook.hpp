#pragma once
// Logbook and Google Earth files: trip folders between a small document head
// and tail. A logbook grows by appending folders; the new file is always
// written whole and renamed into place, so a failed append never loses the
// logbook that was there.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/records.hpp"
#include "formats/kml/trip_writer.hpp"

namespace orlogix {

class Reporter;

inline constexpr std::string_view kKmlDocumentHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Document>\r\n<open>1</open>\r\n";
inline constexpr std::string_view kKmlDocumentTail = "</Document>\r\n";
inline constexpr const char* kLogbookSaveTitle = "Save Logbook file";

// The trip folder with the writer's failures reported under title
// ("Memory allocation error", "Wide character conversion error"). 0 or -1.
int make_trip_folder(Reporter& r, const char* title, std::vector<TrackPosition>& positions, TripStatistics& stats,
                     const TripTexts& texts, std::string& folder);

// The existing logbook's folders followed by the new folder, as one document.
// 0, or the folder locator's negative code.
int merge_logbook(std::string_view existing, std::string_view folder, std::string& document);

// The save dialog's prefilled name "%d-%02d-%02d_%02d-%02d" of the first fix.
std::string logbook_file_name(uint32_t first_time);

// With the "DezuvaDar files" filter and no extension typed, ".kml" is added
// ("Too long file name" titled "Error opening file" beyond 256 characters). 0 or -1.
int complete_kml_path(Reporter& r, std::string& path, bool kml_filter);

enum class ExistingLogbook { Ask, Append, Overwrite, Cancel };

// The steps after the save dialog: folder, the "File already exists" choice
// (Append / Overwrite / Cancel; Ask puts it to the user), the append or new
// write, and the closing notice. 1 when written, 0 when cancelled, -1 after
// reporting a failure.
int save_logbook_file(Reporter& r, const std::string& path, std::vector<TrackPosition>& positions,
                      TripStatistics& stats, const TripTexts& texts, ExistingLogbook existing = ExistingLogbook::Ask);
// The same for the statistics dialog's record.
int save_logbook_file(Reporter& r, const std::string& path, FlightStatistics& record, const TripTexts& texts,
                      ExistingLogbook existing = ExistingLogbook::Ask);

}  // namespace orlogix
