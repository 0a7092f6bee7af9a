#pragma once
// The rules of the two pilot dialogs, without any window: "Save competition
// log" (who the downloaded track belongs to) and "Select pilot" (whose ID
// waypoints are uploaded). The dialogs show the texts these give and the
// headless run uses them directly.
#include <string>
#include <string_view>
#include <vector>

#include "competition/pilot_identity.hpp"
#include "core/pilot_records.hpp"

namespace orlogix {

class Reporter;

// The pilot a save is made for (in memory only).
struct CurrentPilot {
    std::string name;  // at most kPilotNameMax characters
    PilotIds ids;
};

// "%s (comp. %d, CIVL %d)", "%s (CIVL %d)", "%s (comp. %d)" or "%s".
std::string pilot_entry_text(const PilotRecord& p);
std::vector<std::string> pilot_entry_texts(const PilotList& list);

// What the identification dialog shows: the selected entry (-1 for none),
// both number fields and the name field.
struct PilotFields {
    int selected = -1;
    std::string comp_id;
    std::string civl_id;
    std::string name;
};

// On opening: the entry with the current CIVL number, else the current
// competition number, with its numbers and name; no match selects the first
// entry and shows the current numbers without a name. Without a list the
// current pilot as it is.
PilotFields opening_fields(const PilotList& list, const CurrentPilot& current);
// The entry's numbers and name (choosing it in the drop-down list).
PilotFields entry_fields(const PilotList& list, int index);
// Typing into the competition number (civl false) or the CIVL number (civl
// true): a number found in the list fills the other number and the name and
// selects the entry; otherwise the other number and the name are emptied.
PilotFields edited_fields(const PilotList& list, const PilotFields& shown, bool civl);

// The identification's outcome: the pilot and the list entry it belongs to.
struct Identification {
    CurrentPilot pilot;
    int entry = -1;  // index into the list, -1 for none
};

// OK of "Save competition log": empty numbers are -1, "Bad comp. pilot ID" /
// "Bad CIVL pilot ID" (caption "Pilot parameter check") otherwise; the name
// is cut to kPilotNameMax characters. The entry is the selected one when it
// matches the result, else the first with the same name and numbers. On
// success reports "Pilot [%d] " and the name through notify. 0 or -1.
int accept_identification(Reporter& r, const PilotList& list, const PilotFields& shown, Identification& out);

// The "Select pilot" list label: "&Select pilot from list (%d pilots)", or
// without a list "&Select pilot from list".
std::string select_pilot_label(const PilotList& list);

// OK of "Select pilot" (caption "Check ID"): "Dialog box error" with a list
// and no entry; "Bad comp. ID", "Bad CIVL ID" for input that is no number;
// both empty asks "Both IDs missing, continue ?". The typed numbers go into
// the chosen entry (an empty field keeps the entry's number) and the entry
// becomes the current pilot; without a list the typed numbers do. 0, or -1 to
// keep the dialog open (list and current unchanged).
int accept_selected_pilot(Reporter& r, PilotList& list, int selected, std::string_view comp_field,
                          std::string_view civl_field, CurrentPilot& current);

}  // namespace orlogix
