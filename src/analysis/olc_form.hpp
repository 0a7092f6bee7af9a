#pragma once
// The ".olc" form file: the pilot's entries and the five OLC points as
// URL-encoded form fields, optionally followed by the flight's IGC text.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/records.hpp"
#include "core/report.hpp"

namespace orlogix {

struct OlcEntries {
    std::string first_name;
    std::string last_name;
    std::string birth_date;   // "dd.mm.yy"
    int glider_class = 0;     // 1..5
    std::string glider_type;
    std::string call_sign;    // optional
    std::string start_place;
    std::string region;       // code; "" for Unknown
    std::string flight_number;
    bool long_file_name = false;
};

struct OlcGliderClass {
    int value;
    const char* name;
};
const std::vector<OlcGliderClass>& olc_glider_classes();

struct OlcRegion {
    const char* code;
    const char* text;
};
const std::vector<OlcRegion>& olc_regions();  // 38 rows, Unknown first

// Letters, digits and !$()*+,-._ stay; every other byte (the ampersand too,
// so that a value cannot split a field) becomes %XX.
std::string url_encode(std::string_view text);

// Checks the entries in dialog order; reports the first problem ("User
// information input") and returns -1, or 0 with the birth date rewritten
// as "%02d.%02d.%02d" and flight_number set (1..35).
int check_olc_entries(Reporter& r, OlcEntries& entries, int& flight_number);

// The IGC file name sent as "igcfn": short or long form; without a logger
// serial (positions not from a downloaded IGC file) serial is empty.
std::string olc_igc_file_name(const CalendarTime& date, const std::string& maker, const std::string& serial,
                              int flight_number, bool long_form);

struct OlcFormPoint {
    uint32_t time = 0;
    int32_t latitude = 0;   // semicircles
    int32_t longitude = 0;
};

// The whole form text, without the IGC part.
std::string olc_form_text(const OlcEntries& entries, const std::string& igc_file_name,
                          const std::array<OlcFormPoint, 5>& points, int version_major, int version_minor);
// Points w0..w4 from position indices.
std::array<OlcFormPoint, 5> olc_form_points(const std::vector<TrackPosition>& positions,
                                            const std::array<uint32_t, 5>& indices);

// The file's bytes: the form text, then "&IGCigcIGC=" and the IGC text when one is given.
std::string olc_file_bytes(const std::string& form, const std::string* igc_text);
// ".olc" added to a name without extension; "" (reported "Too long file name") above 256 characters.
std::string olc_file_name(Reporter& r, const std::string& chosen);
// Writes the file whole; "File written" or "File write error" (caption "Save OLC data"). 0 or -1.
int write_olc_file(Reporter& r, const std::string& path, const std::string& bytes);

}  // namespace orlogix
