#pragma once
// The start that every GPX file written here shares: the declaration, the
// gpx tag and the metadata up to its time. Each writer adds its own bounds
// and the "</metadata>" line.
#include <cstdint>
#include <string_view>

namespace orlogix {

class TextBuffer;

// Appends text and CR LF.
void gpx_line(TextBuffer& b, std::string_view text);
// With garmin_extensions the gpx tag also declares the Garmin namespace.
void append_gpx_head(TextBuffer& b, uint32_t now, int program_version, bool garmin_extensions);

}  // namespace orlogix
