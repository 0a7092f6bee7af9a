#pragma once
// File names as the dialogs and the command line handle them: the extension
// of a name, and a name completed with the extension its filter stands for.
#include <cstddef>
#include <string>
#include <string_view>

namespace orlogix {

class Reporter;

// The longest name the file dialogs accept.
inline constexpr std::size_t kFileNameMax = 256;

// The extension of the last component of a path, from its last dot, in lower
// case ("FLIGHT.IGC" gives ".igc"); "" when there is none. A leading dot
// names a hidden file, not an extension.
std::string lower_extension(std::string_view path);
bool has_extension(std::string_view path);

// The path with its extension (if any) replaced by the given one.
std::string with_extension(std::string_view path, std::string_view extension);

// Appends the extension (when one is given and the name has none), then
// refuses a name longer than limit with "Too long file name" titled "Error
// opening file". 0, or -1 after reporting (path then unchanged).
int complete_file_name(Reporter& r, std::string& path, const char* extension, std::size_t limit = kFileNameMax);

}  // namespace orlogix
