#include "formats/waypoints/lines.hpp"

#include <cerrno>
#include <new>
#include <cmath>
#include <limits>

#include "core/names.hpp"
#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "core/units.hpp"
#include "formats/waypoints/line_formats.hpp"
#include "formats/xml/number.hpp"

namespace orlogix {

bool WaypointLines::raw(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    std::size_t end = pos_;
    while (end < text_.size() && text_[end] != '\r' && text_[end] != '\n') ++end;
    line = text_.substr(pos_, end - pos_);
    if (end < text_.size() && text_[end] == '\r') ++end;
    if (end < text_.size() && text_[end] == '\n') ++end;
    pos_ = end;
    ++number_;
    return true;
}

void WaypointLines::skip(int count) {
    std::string_view line;
    for (int i = 0; i < count && raw(line); ++i) {
    }
}

bool WaypointLines::next(std::string_view& line) {
    std::string_view l;
    while (raw(l)) {
        std::size_t i = 0;
        while (i < l.size() && (l[i] == ' ' || l[i] == '\t')) ++i;
        l.remove_prefix(i);
        if (!trim_field(l).empty()) {
            line = l;
            return true;
        }
    }
    return false;
}

std::vector<std::string_view> split_waypoint_fields(std::string_view line, std::size_t max_fields, bool quotes) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size() && fields.size() + 1 < max_fields; ++i) {
        if (quotes && line[i] == '"') quoted = !quoted;
        if (line[i] == ',' && !quoted) {
            fields.push_back(line.substr(start, i - start));
            start = i + 1;
        }
    }
    fields.push_back(line.substr(start));
    return fields;
}

std::string_view trim_field(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::string_view next_token(std::string_view line, std::size_t& pos) {
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    const std::size_t start = pos;
    while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t') ++pos;
    return line.substr(start, pos - start);
}

int parse_field_number(std::string_view text, double& value) { return parse_decimal(trim_field(text), value); }

int parse_field_integer(std::string_view text, int32_t& value) { return parse_int32(trim_field(text), value); }

int metres_to_height(double metres, int32_t& height) {
    if (!std::isfinite(metres) || std::fabs(metres) > static_cast<double>(std::numeric_limits<int32_t>::max()) - 1.0)
        return -1;
    height = static_cast<int32_t>(round_half_away(metres));
    return 0;
}

WaypointIdOutcome line_waypoint_id(Reporter& r, std::string_view name, WaypointIdState& state, std::string& id) {
    const WaypointIdOutcome o = waypoint_id_from_name(r, name, state, id);
    return o == WaypointIdOutcome::Cancel ? WaypointIdOutcome::Bad : o;
}

int bad_waypoint_line(Reporter& r, const char* title, int line_number) {
    r.error_box(title, strformat("Bad line %d", line_number));
    return -1;
}

int read_position_lines(Reporter& r, std::string_view text, bool interactive, uint32_t now,
                        PositionLineParser parse, std::vector<Waypoint>& out) {
    std::vector<Waypoint> read;
    read.reserve(20);
    WaypointIdState ids;
    ids.interactive = interactive;
    WaypointLines lines(text);
    lines.skip(1);
    std::string_view line;
    while (lines.next(line)) {
        std::size_t pos = 0;
        std::string_view name;
        Waypoint w;
        if (!parse(line, name, pos, w)) return bad_waypoint_line(r, kWaypointDecodeTitle, lines.number());
        std::string_view rest = line.substr(pos);
        take_airfield_mark(rest, w.airfield);
        w.comment = normalise_comment(rest);
        w.time = now;
        const WaypointIdOutcome id = line_waypoint_id(r, name, ids, w.identifier);
        if (id == WaypointIdOutcome::Bad) return bad_waypoint_line(r, kWaypointDecodeTitle, lines.number());
        if (id == WaypointIdOutcome::Skip) continue;
        if (keep_waypoint(r, read, std::move(w)) != 0) return -1;
    }
    out = std::move(read);
    return static_cast<int>(out.size());
}

int keep_waypoint(Reporter& r, std::vector<Waypoint>& read, Waypoint&& w) {
    try {
        read.push_back(std::move(w));
    } catch (const std::bad_alloc&) {
        system_error_box(r, "Waypoint memory allocation", ENOMEM);
        return -1;
    }
    return 0;
}

void take_airfield_mark(std::string_view& rest, int32_t& airfield) {
    rest = trim_field(rest);
    const std::size_t n = rest.size();
    if (n >= 3 && rest[n - 3] == '[' && rest[n - 1] == ']') {
        airfield = (rest[n - 2] == 'A' || rest[n - 2] == 'a') ? 1 : 0;
        rest.remove_suffix(3);
    }
}

std::string line_field(std::string_view text, std::string_view from, std::string_view to) {
    std::string out(text);
    for (char& c : out) {
        if (c == '\r' || c == '\n') c = ' ';
        if (const std::size_t at = from.find(c); at != std::string_view::npos && at < to.size()) c = to[at];
    }
    return out;
}

std::string line_comment(std::string_view comment) { return line_field(comment, "[]", "()"); }

void append_crlf(TextBuffer& b, std::string_view piece) {
    b.append_line(piece);
    b.append_line("\r\n");
}

}  // namespace orlogix
