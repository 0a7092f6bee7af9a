#pragma once
// The OpenAir writer: CTRs to the text the reader takes back, coordinates to
// a tenth of an arc-second and radii to four decimals of a nautical mile.
#include <string>

#include "core/ctr_records.hpp"

namespace orlogix {

class Reporter;

// "Put airspace name here" template of "New CTR".
extern const char* const kNewCtrTemplate;

// File form: the selected CTRs (every CTR when selected_only is false),
// separated by an empty line.
std::string write_openair(const CtrList& list, bool selected_only = true);
// The commented form the "Edit CTR" dialog shows for one CTR.
std::string write_openair_single(const Ctr& ctr);

// Writes the selected CTRs to path in one step. 0, or -1 after "No CTR(s)
// selected" (title "Write CTR") or "File write error".
int write_openair_file(Reporter& r, const std::string& path, const CtrList& list);

}  // namespace orlogix
