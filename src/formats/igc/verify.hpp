#pragma once
// The security check of "&Verify IGC log from Orlogix": recomputes our
// G-record over the covered lines of a file and compares it.
#include <string>
#include <string_view>

namespace orlogix {

class Reporter;

enum class IgcSecurity { Passed, Failed, NoRecord };

// Pure check over the whole file text.
IgcSecurity verify_igc(std::string_view text);

// Shows the outcome titled "Security check": "Security check PASSED" and
// "No security record" as notices, "Security check FAILED" as an error.
void report_igc_security(Reporter& r, IgcSecurity result);

// The verify command after its open dialog: reads the file, checks and shows
// the outcome. 0 when it passed, 1 for no security record, -1 when it failed
// or the file could not be read (reported).
int verify_igc_file(Reporter& r, const std::string& path);

}  // namespace orlogix
