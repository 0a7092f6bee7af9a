#pragma once
// The rules every command-line output file follows: "$date" in its name,
// what happens when it exists already, and what is checked before a
// download so that a flight is not fetched only to find it cannot be written.
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
// with "Error opening file" and the path with the system text.
OutputDecision decide_output_file(Reporter& r, const std::string& path, bool overwrite, bool hidden);

// The same rules as far as they can be known before the download (a "$date"
// is filled in only afterwards): a missing or unwritable folder, a folder in
// place of the file, and an existing file that may not be replaced in a
// hidden run. 0 or -1 after reporting.
int check_output_place(Reporter& r, const std::string& name, bool overwrite, bool hidden);

// The longest path and the longest part of a path the platform takes.
inline constexpr std::size_t kPathLimit = 4096;
inline constexpr std::size_t kNameLimit = 255;

// Whether the platform can hold the name: the whole path and each of its parts.
bool name_fits_platform(const std::string& path);

// The folder of a name as far as it is known before "$date" is filled in:
// the name itself when it is a folder, else its parent; cut before a part
// holding "$date". "." for the current folder.
std::string known_folder(const std::string& name, bool is_folder);

// 0 when files can be created in the folder, else the errno why not.
int folder_problem(const std::string& folder);

// "text: path: system text" under the title.
void path_error_box(Reporter& r, const char* title, const std::string& text, const std::string& path, int error);

}  // namespace orlogix
