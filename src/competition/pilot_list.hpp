#pragma once
// Pilot lists: read from an FS database, a RACE database or comma-separated
// text, written back as comma-separated text, and the instrument serials
// collected per pilot.
#include <string>
#include <string_view>
#include <vector>

#include "core/pilot_records.hpp"

namespace orlogix {

class Reporter;

inline constexpr const char* kPilotListReadTitle = "Read pilot list file";
inline constexpr const char* kPilotListDecodeTitle = "Decoding pilot list file";
inline constexpr const char* kPilotListSaveTitle = "Save pilot list";

// A decoder's verdict: the pilots, or the message that refused the file.
struct PilotListDecode {
    std::vector<PilotRecord> pilots;
    std::string error;  // empty on success
    bool ok() const { return error.empty(); }
};

// The format by the first tag: none means comma-separated text, "RACE" a
// RACE database; after "<?xml" the root element decides (RACE, else FS).
PilotListDecode decode_pilot_list(std::string_view bytes);
// The three readers on their own (bytes without the byte-order mark for the XML ones).
PilotListDecode decode_fs_pilots(std::string_view bytes);
PilotListDecode decode_race_pilots(std::string_view bytes);
PilotListDecode decode_csv_pilots(std::string_view bytes);

// The comma-separated text: header line, then one CR LF line per pilot.
std::string encode_pilot_list_csv(const std::vector<PilotRecord>& pilots);

enum class PilotListOrigin {
    Named,   // the caller or the command line named the file
    Dialog,  // chosen in an open dialog: replacing a list is asked first
};

// Reads path (".fsdb" added when it has no extension) into list. On any
// failure, or "No" to replacing the present list, the list is unchanged.
// 0, or -1 after reporting. path is left completed for the caller to store.
int read_pilot_list(Reporter& r, std::string& path, PilotList& list, PilotListOrigin origin);

// Writes the list as comma-separated text in one step; an existing file is
// replaced only after "File already exists, overwrite ?". 1 written,
// 0 declined, -1 after reporting.
int write_pilot_list(Reporter& r, const std::string& path, const PilotList& list);

// The downloaded instrument's serial goes to the pilot the identification
// chose (chosen, when it is an index of the list), else to the first pilot
// with the same name and numbers: into the first empty device field, unless a
// filled one already equals it without regard to case. True when it was added.
bool add_device_to_pilot(PilotList& list, int chosen, const PilotRecord& pilot, std::string_view serial);

}  // namespace orlogix
