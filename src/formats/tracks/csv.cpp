#include "formats/tracks/csv.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>

#include "core/coord_text.hpp"
#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "core/units.hpp"
#include "formats/tracks/line_text.hpp"
#include "formats/xml/number.hpp"

namespace orlogix {

namespace {

constexpr std::size_t kHeaderLimit = 200;
constexpr std::size_t kMaxFields = 20;

struct Columns {
    char separator = ',';
    int time = -1, latitude = -1, longitude = -1, altitude = -1, baro = -1;
    int highest() const { return std::max({time, latitude, longitude, altitude, baro}); }
};

int first_containing(const std::vector<std::string_view>& names, std::initializer_list<std::string_view> keys,
                     const std::vector<int>& taken) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (std::find(taken.begin(), taken.end(), static_cast<int>(i)) != taken.end()) continue;
        for (std::string_view k : keys)
            if (names[i].find(k) != std::string_view::npos) return static_cast<int>(i);
    }
    return -1;
}

std::optional<Columns> find_columns(const std::string& header, char separator) {
    const std::vector<std::string_view> names = split_fields(header, separator);
    Columns c;
    c.separator = separator;
    c.time = first_containing(names, {"TIME", "DATE"}, {});
    c.latitude = first_containing(names, {"LATITUDE"}, {});
    c.longitude = first_containing(names, {"LONGITUDE"}, {});
    if (c.time < 0 || c.latitude < 0 || c.longitude < 0) return std::nullopt;
    if (c.time == c.latitude || c.time == c.longitude || c.latitude == c.longitude) return std::nullopt;
    const std::vector<int> taken{c.time, c.latitude, c.longitude};
    // Our own header names its heights H-GPS and H-Baro, so a saved file opens
    // again with them.
    c.altitude = first_containing(names, {"ALTITUDE", "HEIGHT", "H-GPS"}, taken);
    std::vector<int> taken_too = taken;
    taken_too.push_back(c.altitude);
    c.baro = first_containing(names, {"H-BARO"}, taken_too);
    return c;
}

// Blank runs made one blank, then the fields; quotes around a field are
// removed. False for a quote inside an unquoted field or an unclosed quote.
bool split_data_line(std::string_view line, char separator, std::vector<std::string>& fields) {
    std::string text;
    for (char ch : line) {
        const char c = ch == '\t' ? ' ' : ch;
        if (c == ' ' && !text.empty() && text.back() == ' ') continue;
        text.push_back(c);
    }
    fields.clear();
    std::size_t i = 0;
    for (;;) {
        if (fields.size() == kMaxFields) return true;
        std::string field;
        while (i < text.size() && text[i] == ' ') ++i;
        if (i < text.size() && text[i] == '"') {
            const std::size_t close = text.find('"', i + 1);
            if (close == std::string::npos) return false;
            field = text.substr(i + 1, close - i - 1);
            i = close + 1;
            while (i < text.size() && text[i] == ' ') ++i;
            if (i < text.size() && text[i] != separator) return false;
        } else {
            const std::size_t end = std::min(text.find(separator, i), text.size());
            field = text.substr(i, end - i);
            if (field.find('"') != std::string::npos) return false;
            i = end;
        }
        fields.emplace_back(trim_blanks(field));
        if (i >= text.size()) return true;
        ++i;  // the separator
    }
}

int fail(Reporter& r, const char* format, int line) {
    r.error_box(kCsvReadTitle, strformat(format, line));
    return -1;
}

// Metres x 10, truncated, within the 32-bit field.
bool decimetres_from_text(const std::string& text, int32_t& out) {
    double metres = 0;
    if (parse_decimal(text, metres) != 0) return false;
    return metres_to_decimetres(metres, DecimetreRounding::Truncated, out);
}

}  // namespace

std::string csv_track_text(const std::vector<TrackPosition>& positions) {
    TextBuffer out(20000);
    out.appendf("%s\r\n", kCsvHeader);
    for (const TrackPosition& p : positions) {
        const CalendarTime t = calendar_from_time(p.time);
        const LatLonDegrees g = semicircles_to_degrees(p.latitude, p.longitude);
        out.appendf("%d-%02d-%02dT%02d:%02d:%02dZ,%.6f,%.6f,", t.year, t.month, t.day, t.hour, t.minute, t.second,
                    g.latitude, g.longitude);
        const int64_t h = p.gps_altitude;
        if (h >= 0) out.appendf("%lld,", static_cast<long long>((h + 5) / 10));
        else out.appendf("-%lld,", static_cast<long long>((5 - h) / 10));
        out.appendf("%d\r\n", p.baro_altitude);
    }
    return out.failed() ? std::string() : out.take();
}

int read_csv_track(Reporter& r, std::string_view text, CsvTrack& out) {
    const std::vector<std::string_view> lines = split_track_lines(text);
    std::string header(lines.empty() ? std::string_view() : lines[0].substr(0, kHeaderLimit));
    std::transform(header.begin(), header.end(), header.begin(),
                   [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    std::optional<Columns> columns = find_columns(header, ',');
    if (!columns) columns = find_columns(header, ';');
    if (!columns) {
        r.error_box(kCsvReadTitle, "Could not determine items from header");
        return -1;
    }
    const Columns& c = *columns;
    const std::size_t needed = static_cast<std::size_t>(c.highest()) + 1;
    CsvTrack track;
    track.baro_present = c.baro >= 0;
    std::vector<std::string> f;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const int number = static_cast<int>(i + 1);
        if (trim_blanks(lines[i]).empty()) continue;
        // A header column beyond the fields of a line is that line's parse error.
        if (!split_data_line(lines[i], c.separator, f) || f.size() < needed)
            return fail(r, "Error parsing line %d", number);
        TrackPosition p;
        bool zoned = false;
        if (parse_iso_time(f[c.time], p.time, zoned) != 0) return fail(r, "Error decoding time on line %d", number);
        double lat = 0, lon = 0;
        if (parse_decimal(f[c.latitude], lat) != 0) return fail(r, "Error decoding latitude on line %d", number);
        if (!(lat >= -90.0 && lat <= 90.0)) return fail(r, "Latitude out of range on line %d", number);
        if (parse_decimal(f[c.longitude], lon) != 0) return fail(r, "Error decoding longitude on line %d", number);
        SemicirclePair s;
        if (degrees_to_semicircles(lat, lon, s) != 0) return fail(r, "Longitude out of range on line %d", number);
        p.latitude = s.latitude;
        p.longitude = s.longitude;
        if (c.altitude >= 0 && !decimetres_from_text(f[c.altitude], p.gps_altitude))
            return fail(r, "Bad height data on line %d", number);
        if (c.baro >= 0) {
            int32_t metres = 0;
            if (parse_int32(f[c.baro], metres) != 0) return fail(r, "Bad height data on line %d", number);
            p.baro_altitude = metres;
        }
        track.positions.push_back(p);
    }
    out = std::move(track);
    return static_cast<int>(out.positions.size());
}

}  // namespace orlogix
