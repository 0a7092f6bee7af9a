#pragma once
// The rules every command-line output file follows: "$date" in its name,
// and what happens when it exists already.
#include <cstdint>
#include <string>

namespace orlogix {

class Reporter;

// Every "$date" becomes the date of the time stamp as YYYYMMDD.
std::string replace_date(std::string name, uint32_t time);

enum class OutputDecision { Write, Declined, Fail };

// OVERWRITE replaces an existing file; otherwise "File already exists,
// overwrite ?" (title "File creation") decides, and when no one can be asked
// (hidden window) the file is kept and the output fails: a script must not
// take an old file for the new flight. A folder or an unwritable place fails
// with the system text titled "Error opening file".
OutputDecision decide_output_file(Reporter& r, const std::string& path, bool overwrite, bool hidden);

// The longest path the platform takes; longer generated names are refused.
inline constexpr std::size_t kPathLimit = 4096;

}  // namespace orlogix
