#pragma once
// Name checks over a CTR list: equal names after a file was read, and names
// that would collide once an instrument cuts them short.
#include "core/ctr_records.hpp"

namespace orlogix {

class Reporter;

// Asks once, at the first name that repeats, "Fix name by appending
// number ?" (title "Equal CTR name(s)"); on Yes every repeat of a name gets
// "(1)", "(2)", ... (overwriting its last characters when the name would
// pass 50). The number of CTRs renamed (0 when there was nothing to fix or
// the answer was No).
int fix_equal_ctr_names(Reporter& r, CtrList& list);

// Upload check for instruments that keep 17 characters of a name: 0, or
// -1 after "No CTR(s) selected" or one of the equal-name texts (title
// "Upload CTR").
inline constexpr std::size_t kInstrumentCtrNameMax = 17;
int check_ctr_upload_names(Reporter& r, const CtrList& list);

}  // namespace orlogix
