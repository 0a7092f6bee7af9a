#pragma once
// The OpenAir reader: airspace text to a CTR list, all or nothing. Errors
// name the line they were found on.
#include <functional>
#include <string>
#include <string_view>

#include "core/ctr_records.hpp"

namespace orlogix {

class Reporter;

inline constexpr const char* kCtrParseTitle = "Parsing CTR buffer";
inline constexpr const char* kCtrNoticeTitle = "CTR error notification";

// Shown for each airspace dropped for a DY record ("CTR at line %d:  DY
// record (not implemented)"). Returns true when the user asked to skip
// further notifications for the rest of the text.
using CtrNotice = std::function<bool(std::string_view text)>;

// Parses the whole text. The number of airspaces kept (out replaced), or -1
// after one error box titled "Parsing CTR buffer" (out untouched). Without a
// notice function the DY notifications go to warning boxes.
int parse_openair(Reporter& r, std::string_view text, CtrList& out, const CtrNotice& notice = {});

// Reads and parses an OpenAir file: the count (out replaced) or -1 after
// "Error opening CTR file" / "CTR file read error" with the system's text,
// "File is empty" (title "Reading CTR file") or the parse error.
int read_openair_file(Reporter& r, const std::string& path, CtrList& out, const CtrNotice& notice = {});

}  // namespace orlogix
