#pragma once
// The UI-free steps of "Save log in &IGC format" and "Save IGC log from &GPS":
// the dialog checks, the file name rules, the existing-file question and the
// write. Files are written whole to a temporary file and renamed into place,
// so declining or failing never spoils a file that was there.
#include <span>
#include <string>
#include <string_view>

#include "core/records.hpp"
#include "formats/igc/names.hpp"

namespace orlogix {

class Reporter;

// The values of the "IGC File Format" dialog (kept with the settings).
struct IgcDialogValues {
    std::string pilot;
    std::string flight_number;  // the text as typed
    std::string fr_serial;      // three letters or digits
    std::string glider_type;
    std::string glider_id;
    std::string site;
    std::string competition_class;
    IgcNameForm name_form = IgcNameForm::None;
    bool add_enl = false;
};

// Checks a flight number text (blanks around it, an optional sign, digits)
// and shows the first failure titled title. 1-35, or -1.
int check_igc_flight_number(Reporter& r, std::string_view text, std::string_view title);

// Normalises the text fields (blanks trimmed, inner runs made one) and checks
// them in the dialog's order, titled "Checking IGC parameters". The flight
// number, or -1 after reporting.
int check_igc_dialog(Reporter& r, IgcDialogValues& values);

// The prefilled name of "Save log in &IGC format": our maker code, the FR
// serial and the flight number; empty when neither name form is chosen.
std::string igc_save_file_name(const IgcDialogValues& values, int flight, uint32_t first_fix_time);

// When the IGC filter was chosen and the name has no extension, ".igc" is
// appended ("Too long file name" when there is no room). 0 or -1.
int complete_igc_path(Reporter& r, std::string& path, bool igc_filter);

// Writes bytes in one step; failures show the system text titled "Error
// opening file" (cannot be created) or "File write error". 0 or -1.
int write_igc_file(Reporter& r, const std::string& path, std::string_view bytes);

// Steps after the save dialog of "Save log in &IGC format": path completion,
// the existing-file question, the encoder (want G-record set), the write, the
// G-record notice, the saved flag and the status lines. Returns the number of
// positions written, 0 when the user declined to overwrite (the dialog stays
// open), -1 after reporting a failure. path gets the completed name.
int save_igc_track_log(Reporter& r, std::string& path, bool igc_filter, std::span<const TrackPosition> positions,
                       TrackLogHeader& header, const IgcDialogValues& values);

// "Save IGC log from &GPS": "No raw IGC log stored" when there is none. 0 or -1.
int check_raw_igc_log(Reporter& r, const RawIgcLog& raw);
// The prefilled name of "Save IGC track log from GPS" (maker and serial of the raw log).
std::string raw_igc_file_name(const RawIgcLog& raw, IgcNameForm form, int flight);
// Writes the raw bytes unchanged after the file dialog. 1 when written, 0
// when the user declined to overwrite (the dialog closes), -1 after reporting.
int save_raw_igc_log(Reporter& r, const RawIgcLog& raw, std::string& path, bool igc_filter, TrackLogHeader& header);

}  // namespace orlogix
