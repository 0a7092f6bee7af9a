#include "formats/format_table.hpp"

#include <cctype>
#include <iterator>
#include <stdexcept>

#include "core/file_names.hpp"
#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "formats/airspace/ctr_gpx.hpp"
#include "formats/airspace/openair_reader.hpp"
#include "formats/airspace/openair_writer.hpp"
#include "formats/gpx/reader.hpp"
#include "formats/gpx/writer.hpp"
#include "formats/igc/reader.hpp"
#include "formats/kml/reader.hpp"
#include "formats/kml/waypoint_writer.hpp"
#include "formats/tracks/csv.hpp"
#include "formats/tracks/dat.hpp"
#include "formats/tracks/magellan.hpp"
#include "formats/tracks/mapsource.hpp"
#include "formats/tracks/ozi.hpp"
#include "formats/tracks/tnc.hpp"
#include "formats/waypoints/line_formats.hpp"
#include "formats/waypoints/mapsource.hpp"
#include "formats/xml/tokenizer.hpp"

namespace orlogix {

namespace {

// ---- Tracks: each reader brought to one shape ------------------------------

// Readers that answer 0 for a failure they reported (KML, GPX) are mapped
// to -1 here, so that every caller tells failure from an empty file alike.
int from_zero_failure(int count) { return count > 0 ? count : -1; }

int read_kml(Reporter& r, std::string_view bytes, bool silent, TrackFileRead& out) {
    KmlTrack track;
    const int count = from_zero_failure(read_kml_track(r, bytes, silent, track));
    out.positions = std::move(track.positions);
    out.signature_valid = track.signature_valid;
    out.times_in_utc = track.times_in_utc;
    out.baro_present = track.baro_present;
    return count;
}

template <int (*Read)(Reporter&, std::string_view, std::vector<TrackPosition>&)>
int read_positions(Reporter& r, std::string_view bytes, bool, TrackFileRead& out) {
    return Read(r, bytes, out.positions);
}

int read_gpx(Reporter& r, std::string_view bytes, bool, TrackFileRead& out) {
    return from_zero_failure(read_gpx_track(r, bytes, out.positions));
}

int read_topnav(Reporter& r, std::string_view bytes, bool, TrackFileRead& out) {
    TncRead log;
    const int count = read_tnc_log(r, bytes, log);
    out.positions = std::move(log.positions);
    out.baro_present = log.baro_present;
    return count;
}

int read_igc(Reporter& r, std::string_view bytes, bool, TrackFileRead& out) {
    const int count = read_igc_track(r, bytes, out.positions, out.raw_igc);
    out.baro_present = true;
    out.has_raw_igc = count > 0;
    return count;
}

int read_csv(Reporter& r, std::string_view bytes, bool, TrackFileRead& out) {
    CsvTrack track;
    const int count = read_csv_track(r, bytes, track);
    out.positions = std::move(track.positions);
    out.baro_present = track.baro_present;
    return count;
}

// The Ozi and CSV texts are empty only when memory ran out.
int write_ozi(Reporter& r, const TrackWriteSource& in, uint32_t now, std::string& out) {
    out = ozi_track_text(in.positions, now);
    if (!out.empty()) return 0;
    r.error_box(kSaveTrackTitle, "Memory allocation error");
    return -1;
}

int write_csv(Reporter& r, const TrackWriteSource& in, uint32_t, std::string& out) {
    out = csv_track_text(in.positions);
    if (!out.empty()) return 0;
    r.error_box(kCsvSaveTitle, "Memory allocation error");
    return -1;
}

int write_mapsource(Reporter&, const TrackWriteSource& in, uint32_t, std::string& out) {
    out = mapsource_track_bytes(in.positions);
    return 0;
}

int write_topnav(Reporter& r, const TrackWriteSource& in, uint32_t, std::string& out) {
    if (in.topnav.empty()) {
        r.error_box(kSaveTrackTitle, "No TopNav log downloaded");
        return -1;
    }
    out = in.topnav.bytes;
    return 0;
}

int write_gpx(Reporter&, const TrackWriteSource& in, uint32_t now, std::string& out) {
    out = gpx_track_text(in.positions, now);
    return 0;
}

// ---- Waypoints -------------------------------------------------------------

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool starts_with(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// The XML forms: a declaration first (only a byte order mark before it, and
// white space), then the root tag names the format.
bool looks_like_xml(std::string_view text) {
    if (starts_with(text, kUtf8Mark)) text.remove_prefix(kUtf8Mark.size());
    while (!text.empty() && xml_space(text.front())) text.remove_prefix(1);
    return !text.empty() && text.front() == '<';
}

std::string_view xml_root(std::string_view text) {
    if (!looks_like_xml(text)) return {};
    XmlTokenizer t(text);
    const XmlToken first = t.next();
    if (first.kind != XmlTokenKind::Tag && first.kind != XmlTokenKind::EmptyElement) return {};
    if (first.has_data && !first.data.empty() && first.data != kUtf8Mark) return {};
    if (first.name != "?xml") return {};
    const XmlToken second = t.next();
    if (second.kind != XmlTokenKind::Tag && second.kind != XmlTokenKind::EmptyElement) return {};
    return second.name;
}

bool is_ozi(std::string_view t) { return starts_with(t, kOziWaypointHeader); }
bool is_utm(std::string_view t) { return starts_with(t, kUtmWaypointHeader); }
bool is_geo(std::string_view t) { return starts_with(t, kGeoWaypointHeader); }
bool is_mapsource(std::string_view t) { return starts_with(t, "MsRcd"); }
bool is_seeyou(std::string_view t) { return starts_with(t, "Title") || starts_with(t, "name"); }
bool is_gpx(std::string_view t) { return xml_root(t) == "gpx"; }
bool is_kml(std::string_view t) { return xml_root(t) == "kml"; }
// Free text, but not XML of a kind no row reads.
bool is_free_text(std::string_view t) { return !looks_like_xml(t); }

template <std::string (*Write)(const std::vector<Waypoint>&)>
std::string without_time(const std::vector<Waypoint>& waypoints, uint32_t) {
    return Write(waypoints);
}

std::string gpx_waypoints(const std::vector<Waypoint>& waypoints, uint32_t now) {
    return gpx_waypoint_text(waypoints, now);
}

template <int (*Read)(Reporter&, std::string_view, uint32_t, std::vector<Waypoint>&)>
int read_stamped(Reporter& r, std::string_view text, bool, uint32_t now, std::vector<Waypoint>& out) {
    return Read(r, text, now, out);
}

template <int (*Read)(Reporter&, std::string_view, bool, std::vector<Waypoint>&)>
int read_asking(Reporter& r, std::string_view text, bool interactive, uint32_t, std::vector<Waypoint>& out) {
    return Read(r, text, interactive, out);
}

int read_mapsource(Reporter& r, std::string_view bytes, bool, uint32_t, std::vector<Waypoint>& out) {
    return read_mapsource_waypoints(r, bytes, out);
}

// ---- Airspaces -------------------------------------------------------------

int read_openair(Reporter& r, std::string_view text, CtrList& out) { return parse_openair(r, text, out); }
std::string write_openair_list(const CtrList& list, uint32_t) { return write_openair(list); }
std::string write_ctr_gpx(const CtrList& list, uint32_t now) { return ctr_gpx_text(list, now); }

// ---- The table ---------------------------------------------------------------

using K = FormatKind;
constexpr unsigned kTimedHeights = kCarriesTimes | kCarriesAltitudes;

// Waypoint rows are tried for recognition in this order; the last takes
// the free text no other row claims.
constexpr FileFormat kFormats[] = {
    {.kind = K::Track, .id = "kml", .extension = ".kml", .read_label = "DezuvaDar", .read_position = 1,
     .carries = kTimedHeights | kCarriesSignature, .read_track = read_kml},
    {.kind = K::Track, .id = "ozi", .extension = ".plt", .read_label = "Ozi", .save_label = "Ozi",
     .read_position = 2, .save_position = 1, .carries = kTimedHeights,
     .read_track = read_positions<read_ozi_track>, .write_track = write_ozi},
    {.kind = K::Track, .id = "dat", .extension = ".dat", .read_label = "DezuvaDar (old)", .read_position = 3,
     .carries = kTimedHeights, .read_track = read_positions<read_dat_track>},
    {.kind = K::Track, .id = "topnav", .extension = ".tnc", .read_label = "TopNavigator",
     .save_label = "TopNavigator", .read_position = 4, .save_position = 3,
     .carries = kTimedHeights | kCarriesBaroHeights | kCarriesRawLog, .read_track = read_topnav,
     .write_track = write_topnav},
    {.kind = K::Track, .id = "mapsource", .extension = ".mps", .read_label = "MapSource",
     .save_label = "MapSource", .read_position = 5, .save_position = 2, .carries = kTimedHeights,
     .read_track = read_positions<read_mapsource_track>, .write_track = write_mapsource},
    {.kind = K::Track, .id = "magellan", .extension = ".log", .read_label = "Magellan", .read_position = 6,
     .carries = kTimedHeights, .read_track = read_positions<read_magellan_log>},
    {.kind = K::Track, .id = "igc", .extension = ".igc", .read_label = "IGC", .read_position = 7,
     .carries = kTimedHeights | kCarriesUtcTimes | kCarriesBaroHeights | kCarriesSignature,
     .read_track = read_igc},
    {.kind = K::Track, .id = "gpx", .extension = ".gpx", .read_label = "GPX", .save_label = "GPX",
     .read_position = 8, .save_position = 4, .carries = kTimedHeights, .read_track = read_gpx,
     .write_track = write_gpx},
    {.kind = K::Track, .id = "csv", .extension = ".csv", .read_label = "CSV", .save_label = "CSV",
     .read_position = 9, .save_position = 5, .carries = kTimedHeights, .read_track = read_csv,
     .write_track = write_csv},

    {.kind = K::Waypoint, .id = "mapsource", .extension = ".mps", .read_label = "MapSource",
     .save_label = "MapSource", .read_position = 2, .save_position = 4, .carries = kCarriesAltitudes,
     .recognise = is_mapsource, .read_waypoints = read_mapsource,
     .write_waypoints = without_time<mapsource_waypoint_bytes>},
    {.kind = K::Waypoint, .id = "ozi", .extension = ".wpt", .read_label = "Ozi/Orlogix", .save_label = "Ozi",
     .read_position = 1, .save_position = 1, .carries = kTimedHeights, .recognise = is_ozi,
     .read_waypoints = read_ozi_waypoints, .write_waypoints = without_time<ozi_waypoint_text>,
     .ends_at_nul = true},
    {.kind = K::Waypoint, .id = "geo", .extension = ".wpt", .save_label = "Geographical", .save_position = 3,
     .carries = kCarriesAltitudes, .recognise = is_geo, .read_waypoints = read_geo_waypoints,
     .write_waypoints = without_time<geo_waypoint_text>, .ends_at_nul = true},
    {.kind = K::Waypoint, .id = "utm", .extension = ".wpt", .save_label = "UTM", .save_position = 2,
     .carries = kCarriesAltitudes, .recognise = is_utm, .read_waypoints = read_utm_waypoints,
     .write_waypoints = without_time<utm_waypoint_text>, .ends_at_nul = true},
    {.kind = K::Waypoint, .id = "seeyou", .extension = ".cup", .read_label = "SeeYou", .save_label = "SeeYou",
     .read_position = 3, .save_position = 5, .carries = kCarriesAltitudes, .recognise = is_seeyou,
     .read_waypoints = read_stamped<read_seeyou_waypoints>, .write_waypoints = without_time<seeyou_waypoint_text>,
     .ends_at_nul = true},
    {.kind = K::Waypoint, .id = "gpx", .extension = ".gpx", .read_label = "GPS exchange", .save_label = "GPX",
     .read_position = 4, .save_position = 6, .carries = kTimedHeights, .recognise = is_gpx,
     .read_waypoints = read_asking<read_gpx_waypoints>, .write_waypoints = gpx_waypoints, .ends_at_nul = true},
    {.kind = K::Waypoint, .id = "kml", .extension = ".kml", .read_label = "GoogleEarth",
     .save_label = "GoogleEarth", .read_position = 5, .save_position = 7, .carries = kCarriesAltitudes,
     .recognise = is_kml, .read_waypoints = read_asking<read_kml_waypoints>,
     .write_waypoints = without_time<kml_waypoint_text>, .ends_at_nul = true},
    {.kind = K::Waypoint, .id = "winpilot", .extension = ".dat", .read_label = "WinPilot", .save_label = "WinPilot",
     .read_position = 6, .save_position = 8, .carries = kCarriesAltitudes, .recognise = is_free_text,
     .read_waypoints = read_stamped<read_winpilot_waypoints>,
     .write_waypoints = without_time<winpilot_waypoint_text>, .ends_at_nul = true},

    {.kind = K::Airspace, .id = "openair", .extension = ".txt", .read_label = "OpenAir", .save_label = "CTR",
     .read_position = 1, .save_position = 1, .carries = kCarriesAltitudes, .read_airspace = read_openair,
     .write_airspace = write_openair_list},
    {.kind = K::Airspace, .id = "ctr-gpx", .extension = ".gpx", .save_label = "CTR", .save_position = 2,
     .write_airspace = write_ctr_gpx},
};

int position(const FileFormat& f, bool save) { return save ? f.save_position : f.read_position; }

const char* kind_name(FormatKind kind) {
    switch (kind) {
        case FormatKind::Track: return "track";
        case FormatKind::Waypoint: return "waypoint";
        case FormatKind::Airspace: return "airspace";
    }
    return "";
}

}  // namespace

std::span<const FileFormat> file_formats() { return kFormats; }

const FileFormat& file_format(FormatKind kind, std::string_view id) {
    for (const FileFormat& f : kFormats)
        if (f.kind == kind && id == f.id) return f;
    throw std::out_of_range("no " + std::string(kind_name(kind)) + " format \"" + std::string(id) + "\"");
}

std::vector<const FileFormat*> dialog_formats(FormatKind kind, bool save) {
    std::vector<const FileFormat*> out;
    for (const FileFormat& f : kFormats) {
        const int place = position(f, save);
        if (f.kind != kind || place < 1) continue;
        if (out.size() < static_cast<std::size_t>(place)) out.resize(static_cast<std::size_t>(place));
        out[static_cast<std::size_t>(place - 1)] = &f;
    }
    return out;
}

const FileFormat& format_for_filter(FormatKind kind, bool save, int filter) {
    const std::vector<const FileFormat*> formats = dialog_formats(kind, save);
    const int count = static_cast<int>(formats.size());
    const int n = filter < 1 || filter > 2 * count ? 1 : filter > count ? filter - count : filter;
    return *formats[static_cast<std::size_t>(n - 1)];
}

int complete_for_filter(Reporter& r, std::string& path, FormatKind kind, bool save, int filter) {
    const std::vector<const FileFormat*> formats = dialog_formats(kind, save);
    const bool typed = filter >= 1 && filter <= static_cast<int>(formats.size());
    return complete_file_name(r, path, typed ? formats[static_cast<std::size_t>(filter - 1)]->extension : nullptr);
}

std::string format_filter(const FileFormat& format, bool save) {
    return strformat("%s files (*%s)", save ? format.save_label : format.read_label, format.extension);
}

std::vector<std::string> dialog_filters(FormatKind kind, bool save, bool per_format_any) {
    const std::vector<const FileFormat*> formats = dialog_formats(kind, save);
    std::vector<std::string> out;
    for (const FileFormat* f : formats) out.push_back(format_filter(*f, save));
    if (per_format_any)
        for (const FileFormat* f : formats)
            out.push_back(strformat("%s files (*.*)", save ? f->save_label : f->read_label));
    return out;
}

const FileFormat* format_named_by_extension(FormatKind kind, bool save, std::string_view path,
                                            const FileFormat* preferred) {
    const std::string extension = lower_extension(path);
    if (extension.empty()) return nullptr;
    if (preferred && preferred->kind == kind && extension == preferred->extension) return preferred;
    for (const FileFormat& f : kFormats) {
        if (f.kind != kind || extension != f.extension) continue;
        if (save ? f.save_position > 0 : f.readable()) return &f;
    }
    return nullptr;
}

const FileFormat* recognise_waypoint_format(std::string_view bytes) {
    for (const FileFormat& f : kFormats)
        if (f.kind == FormatKind::Waypoint && f.recognise && f.recognise(reader_input(f, bytes))) return &f;
    return nullptr;
}

std::string_view reader_input(const FileFormat& format, std::string_view bytes) {
    return !format.ends_at_nul ? bytes : bytes.substr(0, bytes.find('\0'));
}

std::string format_list_text() {
    std::string out;
    for (const FileFormat& f : kFormats) {
        const char* label = f.read_label ? f.read_label : f.save_label;
        std::string how = f.readable() && f.writable() ? "read, write" : f.readable() ? "read" : "write";
        out += strformat("  %-9s %-5s %-9s %-12s %s\n", f.id, f.extension, kind_name(f.kind), how.c_str(), label);
    }
    return out;
}

}  // namespace orlogix
