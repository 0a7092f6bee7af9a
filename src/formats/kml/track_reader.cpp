#include <new>
#include <string>

#include "core/coord_text.hpp"
#include "core/report.hpp"
#include "core/units.hpp"
#include "formats/kml/reader.hpp"
#include "formats/kml/signature.hpp"
#include "formats/xml/number.hpp"
#include "formats/xml/walker.hpp"

namespace orlogix {

namespace {

// The four texts of one track placemark, as views into the file text.
struct TrackTexts {
    bool has_fsinfo = false;
    std::string fsinfo;  // normalised attribute text
    std::string_view seconds;
    bool has_pressure = false;
    std::string_view pressure;
    std::string_view coordinates;
};

class TrackWalker : public XmlHandler {
public:
    TrackWalker(Reporter& r, bool silent) : r_(r), silent_(silent) {}
    std::vector<TrackTexts> tracks;

    int start_tag(const XmlToken& t, int depth) override {
        const std::string_view name = t.name;
        if (!folder_) {
            if (name != "Folder") return 0;
            if (tracks.size() >= static_cast<std::size_t>(kKmlMaxTracks)) {
                if (!silent_) r_.error_box(kKmlTrackReadTitle, strformat("Number of tracks limited to %d", kKmlMaxTracks));
                return 1;
            }
            folder_ = depth;
            folder_has_track_ = false;
            return 0;
        }
        if (!placemark_) {
            if (name == "Placemark") {
                placemark_ = depth;
                candidate_ = TrackTexts{};
                track_metadata_seen_ = false;
            }
            return 0;
        }
        if (metadata_) {
            if (fsinfo_) {
                if (depth == fsinfo_ + 1 && (name == "SecondsFromTimeOfFirstPoint" || name == "PressureAltitude"))
                    list_ = depth;
            } else if (depth == metadata_ + 1 && name == "FsInfo") {
                fsinfo_ = depth;
                candidate_.has_fsinfo = true;
                candidate_.fsinfo = t.has_attributes ? normalise_whitespace(t.attributes) : std::string();
            }
            return 0;
        }
        if (line_string_) {
            if (depth == line_string_ + 1 && name == "coordinates") coordinates_ = depth;
            return 0;
        }
        if (depth != placemark_ + 1) return 0;
        if (name == "Metadata") {
            std::string type;
            if (!t.has_attributes || xml_attribute(normalise_whitespace(t.attributes), "type", type, 29) != 0 ||
                type != "track")
                return 0;
            if (track_metadata_seen_) {
                error = "Multiple tracks in one <Placemark> element";
                return -1;
            }
            track_metadata_seen_ = true;
            metadata_ = depth;
        } else if (name == "LineString") {
            line_string_ = depth;
        }
        return 0;
    }

    int end_tag(std::string_view name, const XmlToken& t, int depth) override {
        const std::string_view data = t.has_data ? t.data : std::string_view();
        if (list_ && depth == list_) {
            if (name == "SecondsFromTimeOfFirstPoint") {
                candidate_.seconds = data;
            } else {
                candidate_.pressure = data;
                candidate_.has_pressure = true;
            }
            list_ = 0;
        } else if (coordinates_ && depth == coordinates_) {
            candidate_.coordinates = data;
            coordinates_ = 0;
        } else if (fsinfo_ && depth == fsinfo_) {
            fsinfo_ = 0;
        } else if (metadata_ && depth == metadata_) {
            metadata_ = 0;
        } else if (line_string_ && depth == line_string_) {
            line_string_ = 0;
        } else if (placemark_ && depth == placemark_) {
            placemark_ = 0;
            if (track_metadata_seen_) {
                if (folder_has_track_) {
                    error = "Multiple tracks in one <Folder> element";
                    return -1;
                }
                folder_has_track_ = true;
                folder_track_ = candidate_;
            }
        } else if (folder_ && depth == folder_) {
            folder_ = 0;
            if (folder_has_track_) tracks.push_back(folder_track_);
        }
        return 0;
    }

private:
    Reporter& r_;
    bool silent_;
    // Depth of each open element of interest, 0 when not inside one.
    int folder_ = 0, placemark_ = 0, metadata_ = 0, fsinfo_ = 0, list_ = 0, line_string_ = 0, coordinates_ = 0;
    bool folder_has_track_ = false;
    bool track_metadata_seen_ = false;
    TrackTexts candidate_;
    TrackTexts folder_track_;
};

std::string track_list_entry(const TrackTexts& t) {
    std::string value;
    if (!t.has_fsinfo || xml_attribute(t.fsinfo, "time_of_first_point", value, 78) != 0) return "Missing track time";
    uint32_t time = 0;
    bool zoned = false;
    if (parse_iso_time(value, time, zoned) != 0) return "Bad track time";
    const CalendarTime c = calendar_from_time(time);
    return strformat("%d-%02d-%02d   %02d:%02d:%02d", c.year, c.month, c.day, c.hour, c.minute, c.second);
}

// Splits normalised text at its single blanks.
std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string_view::npos) end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

struct Triple {
    double longitude = 0.0, latitude = 0.0;
    int32_t altitude = 0;  // whole metres
};

int parse_triple(std::string_view text, bool last, Triple& out) {
    const std::size_t c1 = text.find(',');
    if (c1 == std::string_view::npos) return -1;
    const std::size_t c2 = text.find(',', c1 + 1);
    if (c2 == std::string_view::npos && !last) return -1;
    if (parse_decimal(text.substr(0, c1), out.longitude) != 0) return -1;
    const std::string_view lat = c2 == std::string_view::npos ? text.substr(c1 + 1) : text.substr(c1 + 1, c2 - c1 - 1);
    if (parse_decimal(lat, out.latitude) != 0) return -1;
    if (!(out.longitude >= -180.0 && out.longitude <= 180.0 && out.latitude >= -90.0 && out.latitude <= 90.0))
        return -1;
    out.altitude = 0;
    if (c2 != std::string_view::npos) {
        double altitude = 0.0;
        // Beyond a million metres the value is no altitude, and x 10 would not fit.
        if (parse_decimal(text.substr(c2 + 1), altitude) != 0 || altitude > 1e6 || altitude < -1e6) return -1;
        out.altitude = static_cast<int32_t>(round_half_away(altitude));  // -1 must read back as -1
    }
    return 0;
}

// Turns the chosen texts into positions; 0, or -1 with the message in error.
int parse_track(const TrackTexts& t, KmlTrack& out, std::string& error) {
    if (!t.has_fsinfo) {
        error = "No track log information found";
        return -1;
    }
    const std::string seconds = normalise_whitespace(t.seconds);
    if (seconds.empty()) {
        error = "No track log time offsets found";
        return -1;
    }
    const std::string coordinates = normalise_whitespace(t.coordinates);
    if (coordinates.empty()) {
        error = "No track log positions found";
        return -1;
    }
    const std::string pressure = t.has_pressure ? normalise_whitespace(t.pressure) : std::string();

    // Without time_of_first_point the offsets have no base: refused like a bad one.
    std::string first_time;
    uint32_t base = 0;
    bool zoned = false;
    if (xml_attribute(t.fsinfo, "time_of_first_point", first_time, 78) != 0 ||
        parse_iso_time(first_time, base, zoned) != 0) {
        error = "Bad time_of_first_point";
        return -1;
    }

    std::vector<TrackPosition> positions;
    positions.reserve(1000);
    for (std::string_view v : words(seconds)) {
        int32_t offset = 0;
        if (parse_int32(v, offset, false) != 0) {
            error = "Bad <SecondsFromTimeOfFirstPoint> data";
            return -1;
        }
        TrackPosition p;
        p.time = base + static_cast<uint32_t>(offset);
        positions.push_back(p);
    }
    positions.front().flags |= kSegmentStart;

    std::vector<int32_t> pressures;
    if (t.has_pressure) {
        for (std::string_view v : words(pressure)) {
            int32_t value = 0;
            if (parse_int32(v, value) != 0) {
                error = "Bad <PressureAltitude> data";
                return -1;
            }
            pressures.push_back(value);
        }
        if (pressures.size() != positions.size()) {
            error = "Bad number of positions in <PressureAltitude>";
            return -1;
        }
        for (std::size_t i = 0; i < positions.size(); ++i) positions[i].baro_altitude = pressures[i];
    }

    const std::vector<std::string_view> triples = words(coordinates);
    std::vector<Triple> parsed(triples.size());
    for (std::size_t i = 0; i < triples.size(); ++i) {
        SemicirclePair s;
        if (parse_triple(triples[i], i + 1 == triples.size(), parsed[i]) != 0 ||
            radians_to_semicircles({parsed[i].latitude * 0.0174532925199399995,
                                    parsed[i].longitude * 0.0174532925199399995},
                                   s) != 0) {
            error = "Bad <coordinates> data";
            return -1;
        }
        if (i < positions.size()) {
            positions[i].latitude = s.latitude;
            positions[i].longitude = s.longitude;
            positions[i].gps_altitude = parsed[i].altitude * 10;
        }
    }
    if (triples.size() != positions.size()) {
        error = "Bad number of positions in <coordinates>";
        return -1;
    }

    // The signature, over the same bytes the writer fed.
    KmlSigner signer;
    signer.feed(first_time);
    for (const char* name : {"instrument", "downloaded"}) {
        std::string value;
        if (xml_attribute(t.fsinfo, name, value, 4096) == 0 && !value.empty()) signer.feed(value);
    }
    signer.feed(seconds);
    for (std::size_t i = 0; i < pressures.size(); ++i)
        signer.feed(strformat(i + 1 < pressures.size() ? "%d " : "%d", pressures[i]));
    for (std::size_t i = 0; i < parsed.size(); ++i)
        signer.feed(strformat(i + 1 < parsed.size() ? "%.6f,%.6f,%d " : "%.6f,%.6f,%d", parsed[i].longitude,
                              parsed[i].latitude, parsed[i].altitude));
    std::string hash;
    const bool valid = xml_attribute(t.fsinfo, "hash", hash, 64) == 0 && hash == signer.digits();

    out.positions = std::move(positions);
    out.signature_valid = valid;
    out.times_in_utc = valid && zoned;
    out.baro_present = t.has_pressure;
    return 0;
}

int read_track(Reporter& r, std::string_view text, bool silent, KmlTrack& out) {
    auto fail = [&](std::string_view message, const char* title = kKmlTrackReadTitle) {
        if (!silent) r.error_box(title, message);
        return 0;
    };
    TrackWalker walker(r, silent);
    std::string error;
    XmlWalkOptions options;
    if (xml_walk(text, options, walker, error) != kXmlOk) return fail(error);
    if (walker.tracks.empty()) return fail("No track log found");

    std::size_t chosen = 0;
    if (walker.tracks.size() > 1 && !silent) {
        std::vector<std::string> items;
        for (const TrackTexts& t : walker.tracks) items.push_back(track_list_entry(t));
        const int answer = r.choose("Track List", items, 0);
        if (answer == -1) return 0;
        if (answer < 0 || static_cast<std::size_t>(answer) >= items.size())
            return fail("Dialog box error", "Select track");
        chosen = static_cast<std::size_t>(answer);
    }
    KmlTrack track;
    if (parse_track(walker.tracks[chosen], track, error) != 0) return fail(error);
    out = std::move(track);
    return static_cast<int>(out.positions.size());
}

}  // namespace

int read_kml_track(Reporter& r, std::string_view text, bool silent, KmlTrack& out) {
    try {
        return read_track(r, text, silent, out);
    } catch (const std::bad_alloc&) {
        if (!silent) r.error_box(kKmlTrackReadTitle, "Track log memory allocation");
        return 0;
    }
}

}  // namespace orlogix
