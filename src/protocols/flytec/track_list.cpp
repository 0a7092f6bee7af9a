#include "protocols/flytec/track_list.hpp"

#include <vector>

#include "protocols/flytec/fields.hpp"
#include "protocols/flytec/sentences.hpp"

namespace orlogix::flytec {

namespace {

// "DD.MM.YY" exactly.
bool parse_date(std::string_view f, uint32_t& midnight) {
    if (f.size() != 8 || f[2] != '.' || f[5] != '.') return false;
    int part[3];
    for (int i = 0; i < 3; ++i) {
        const char a = f[i * 3], b = f[i * 3 + 1];
        if (a < '0' || a > '9' || b < '0' || b > '9') return false;
        part[i] = (a - '0') * 10 + (b - '0');
    }
    return calendar_date(part[0], part[1], part[2], midnight);
}

}  // namespace

const char* track_list_error_text(TrackListError e) {
    switch (e) {
    case TrackListError::None: return "";
    case TrackListError::TooFewParameters: return "Too few parameters";
    case TrackListError::BadIdentifier: return "Bad NMEA identifier";
    case TrackListError::BadCount: return "Bad track count parameter";
    case TrackListError::BadIndex: return "Bad track index parameter";
    case TrackListError::BadDate: return "Bad track date parameter";
    case TrackListError::BadTime: return "Bad track time parameter";
    case TrackListError::BadDuration: return "Bad track duration parameter";
    }
    return "";
}

TrackListError parse_track_list_line(std::string_view line, TrackListLine& out, std::string_view address) {
    std::vector<std::string_view> f;
    if (check_sentence(line, 10, f) < 6) return TrackListError::TooFewParameters;
    if (f[0] != address) return TrackListError::BadIdentifier;
    TrackListLine r;
    if (!parse_unsigned(f[1], UINT32_MAX, r.count)) return TrackListError::BadCount;
    if (!parse_unsigned(f[2], UINT32_MAX, r.index)) return TrackListError::BadIndex;
    uint32_t midnight = 0, start = 0;
    if (!parse_date(f[3], midnight)) return TrackListError::BadDate;
    if (!parse_time_of_day(f[4], start)) return TrackListError::BadTime;
    if (!parse_time_of_day(f[5], r.duration)) return TrackListError::BadDuration;
    r.start = midnight + start;
    out = r;
    return TrackListError::None;
}

void TrackList::store(const TrackListLine& line) {
    if (line.index >= kTrackSlots) return;
    start[line.index] = line.start;
    duration[line.index] = line.duration;
}

int TrackList::count() const {
    int n = 0;
    for (uint32_t s : start) n += s != 0;
    return n;
}

uint32_t TrackList::mask() const {
    uint32_t m = 0;
    for (int i = 0; i < kTrackSlots; ++i)
        if (start[i] != 0) m |= 1u << i;
    return m;
}

}  // namespace orlogix::flytec
