#include "protocols/flytec/iq_basic_lines.hpp"

#include <cmath>
#include <vector>

#include "core/names.hpp"
#include "core/units.hpp"
#include "protocols/flytec/fields.hpp"

namespace orlogix::flytec {

namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<std::string_view> split(std::string_view line) {
    std::vector<std::string_view> f;
    for (;;) {
        const std::size_t at = line.find(';');
        f.push_back(line.substr(0, at));
        if (at == std::string_view::npos) return f;
        line.remove_prefix(at + 1);
    }
}

void skip_blanks(std::string_view& s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
}

// Digits with an optional fraction; false when there are no digits before
// it or the value passes max.
bool decimal(std::string_view& s, double max, double& value) {
    double v = 0;
    std::size_t i = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        v = v * 10 + (s[i] - '0');
        if (v > max) return false;
    }
    if (i == 0) return false;
    if (i < s.size() && s[i] == '.') {
        double scale = 0.1;
        for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, scale *= 0.1) v += (s[i] - '0') * scale;
    }
    s.remove_prefix(i);
    value = v;
    return true;
}

bool equals_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if ((a[i] | 0x20) != (b[i] | 0x20)) return false;
    return true;
}

// "N 47'12.345": hemisphere letter, degrees below limit, "'", minutes below 60.
bool angle(std::string_view s, char positive, char negative, double limit, double& radians) {
    skip_blanks(s);
    if (s.empty()) return false;
    const char letter = static_cast<char>(s[0] & ~0x20);
    if (letter != positive && letter != negative) return false;
    s.remove_prefix(1);
    skip_blanks(s);
    double degrees = 0, minutes = 0;
    if (!decimal(s, limit, degrees) || degrees >= limit || degrees != std::floor(degrees)) return false;
    if (s.empty() || s[0] != '\'') return false;
    s.remove_prefix(1);
    skip_blanks(s);
    if (!decimal(s, 60, minutes) || minutes >= 60) return false;
    skip_blanks(s);
    if (!s.empty()) return false;
    const double v = (degrees + minutes / 60) * kPi / 180;
    radians = letter == negative ? -v : v;
    return true;
}

}  // namespace

bool IqLineAssembler::feed(char byte) {
    if (done_) {
        line_.clear();
        done_ = after_cr_ = false;
    }
    if (byte == '\n') return done_ = true;
    if (byte == '\r') after_cr_ = true;
    else if (!after_cr_ && line_.size() < max_kept_) line_ += byte;
    return false;
}

bool parse_iq_track_entry(std::string_view line, IqTrackEntry& out) {
    const std::vector<std::string_view> f = split(line);
    IqTrackEntry e;
    if (f.size() < 5 || !parse_unsigned(f[0], 255, e.number) || !parse_time_of_day(f[4], e.duration)) return false;
    const std::string_view texts[3] = {f[1], f[2], f[4]};
    for (int i = 0; i < 3; ++i) {
        std::string_view t = texts[i];
        skip_blanks(t);
        e.text[i] = std::string(t.substr(0, 15));
    }
    out = std::move(e);
    return true;
}

IqWaypointLine parse_iq_waypoint(std::string_view line, uint32_t time, Waypoint& out, int& error) {
    const std::vector<std::string_view> f = split(line);
    auto fail = [&](int e) {
        error = e;
        return IqWaypointLine::Error;
    };
    const std::string name = collapse_blanks(f[0]);
    if (name.empty()) return fail(1);
    if (equals_ignoring_case(name, "No Data") || equals_ignoring_case(name, "Done")) return IqWaypointLine::End;
    if (f.size() < 3) return fail(2);
    Waypoint w;
    if (f.size() > 3) {
        std::string_view a = f[3];
        skip_blanks(a);
        const bool negative = !a.empty() && a[0] == '-';
        if (negative) a.remove_prefix(1);
        double metres = 0;
        if (!decimal(a, 1e6, metres)) return fail(3);
        skip_blanks(a);
        if (!a.empty()) return fail(3);
        // Rounded to the nearest metre: adding a half and cutting toward
        // zero would lift every whole negative altitude by one.
        w.height = static_cast<int32_t>(std::floor((negative ? -metres : metres) + 0.5));
    }
    GeoPosition g;
    if (!angle(f[1], 'N', 'S', 90, g.latitude)) return fail(4);
    if (!angle(f[2], 'E', 'W', 180, g.longitude)) return fail(5);
    SemicirclePair sc;
    radians_to_semicircles(g, sc);
    w.latitude = sc.latitude;
    w.longitude = sc.longitude;
    normalise_id(name, IdMode::Lenient, w.identifier);
    w.comment = name.substr(0, kCommentMax);
    w.time = time;
    out = std::move(w);
    return IqWaypointLine::Waypoint;
}

}  // namespace orlogix::flytec
