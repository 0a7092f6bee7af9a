#pragma once
// The CTR list commands that work on the records alone: selection, delete,
// prepend, and the heights of floor and ceiling remarks.
#include <string>
#include <vector>

#include "core/ctr_records.hpp"

namespace orlogix {

class Reporter;

// Marks exactly the given view rows selected. 0, or -1 after "Program error"
// (title "CTR list action") for a row that has no CTR.
int select_ctrs(Reporter& r, CtrList& list, const std::vector<std::size_t>& rows);
std::size_t selected_count(const CtrList& list);
// Removes the selected CTRs; the number removed.
std::size_t delete_selected_ctrs(CtrList& list);
// Puts the new CTRs in front of the old ones (the "keep current list" answer).
void prepend_ctrs(CtrList& list, CtrList&& fresh);

// The metres of a floor or ceiling remark: "4500ft MSL" -> 1371.6, "450m" ->
// 450, "FL 95" -> 0 (no leading digit).
double ctr_height_metres(const std::string& text);

}  // namespace orlogix
