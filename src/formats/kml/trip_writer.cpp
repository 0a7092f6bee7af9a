#include "formats/kml/trip_writer.hpp"

#include <charconv>
#include <cmath>
#include <string>

#include "core/coord_text.hpp"
#include "core/decimal_text.hpp"
#include "core/report.hpp"
#include "core/units.hpp"
#include "formats/kml/signature.hpp"
#include "formats/xml/escape.hpp"
#include "formats/xml/tokenizer.hpp"

namespace orlogix {

namespace {

int32_t kml_altitude(int32_t decimetres) { return static_cast<int32_t>((int64_t{decimetres} + 5) / 10); }

std::string iso_time(uint32_t t, bool zone) {
    const CalendarTime c = calendar_from_time(t);
    return strformat("%d-%02d-%02dT%02d:%02d:%02d%s", c.year, c.month, c.day, c.hour, c.minute, c.second,
                     zone ? "Z" : "");
}

// value + 0.5 truncated, kept inside int so odd statistics cannot overflow.
int rounded(double v) {
    if (!(v == v)) return 0;
    v += 0.5;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(v);
}

std::string version_text(int version) { return strformat("%d.%02d", version / 100, version % 100); }

// One optimisation result as the table and geometry need it.
struct Kind {
    const char* type;
    const char* name;
    std::string heading;
    std::vector<uint32_t> index;     // A, B, ...
    std::vector<double> distance;    // at B, C, ... (metres)
    double sum = 0.0;
    bool show_sum = true;            // every kind but the open distance
    const char* color = "FFFF0000";  // the open distance stands out in red
    bool loop = false;               // out-and-return or triangle: may be "not computed"
    const char* not_computed = "";
    enum class Geometry { Line, OutAndReturn, Triangle } geometry = Geometry::Line;
};

class FolderWriter {
public:
    FolderWriter(TextBuffer& out, const std::vector<TrackPosition>& positions, const TripTexts& texts)
        : out_(out), positions_(positions), version_(version_text(texts.program_version)) {}

    void line(std::string_view text) {
        out_.append_line(text);
        out_.append_line("\r\n");
    }

    void placemark(const Kind& k) {
        for (uint32_t i : k.index)
            if (i >= positions_.size()) return;
        if (k.loop && k.sum == 0.0) {
            out_.append_line(k.not_computed);
            return;
        }
        line("");
        line("    <Placemark>");
        line(strformat("      <Metadata src=\"Orlogix\" v=\"%s\" type=\"%s\">", version_.c_str(), k.type));
        std::string idx;
        for (uint32_t i : k.index) idx += (idx.empty() ? "" : " ") + std::to_string(i);
        line("        <FsInfo track_idx=\"" + idx + "\" />");
        line("      </Metadata>");
        line(strformat("      <name>%s</name>", k.name));
        line("      <description>");
        line("        <![CDATA[");
        line("<pre>");
        line(k.heading);
        line("");
        line("Pos.      Time      Latitude         Longitude         Distance");
        for (std::size_t n = 0; n < k.index.size(); ++n) {
            const TrackPosition& p = positions_[k.index[n]];
            const CalendarTime c = calendar_from_time(p.time);
            const SemicirclePair cs = semicircles_to_centi_arcsec(p.latitude, p.longitude);
            std::string row = strformat(" %c %5d  %02d:%02d:%02d  %s  %s", static_cast<char>('A' + n),
                                        static_cast<int>(k.index[n] + 1), c.hour, c.minute, c.second,
                                        format_dms(cs.latitude, Axis::Latitude).c_str(),
                                        format_dms(cs.longitude, Axis::Longitude).c_str());
            if (n > 0) row += strformat("  %.2f", k.distance[n - 1] * 0.001);
            line(row);
        }
        if (k.show_sum) line(std::string(50, ' ') + strformat("Sum  %.2f", k.sum * 0.001));
        line("</pre>]]>");
        line("      </description>");
        const auto& ix = k.index;
        switch (k.geometry) {
        case Kind::Geometry::Line: line_string(ix, ""); break;
        case Kind::Geometry::OutAndReturn: line_string({ix[2], ix[0], ix[1]}, ""); break;
        case Kind::Geometry::Triangle:
            line("      <MultiGeometry>");
            line_string({ix[1], ix[2], ix[3], ix[1]}, "  ");
            line_string({ix[0], ix[4]}, "  ");
            line("      </MultiGeometry>");
            break;
        }
        line("      <Style>");
        line("        <LineStyle>");
        line(strformat("          <color>%s</color>", k.color));
        line("        </LineStyle>");
        line("      </Style>");
        line("    </Placemark>");
    }

    void line_string(const std::vector<uint32_t>& points, const std::string& indent) {
        line(indent + "      <LineString>");
        line(indent + "        <tessellate>1</tessellate>");
        line(indent + "        <coordinates>");
        for (uint32_t i : points) line(indent + "          " + kml_coordinate(positions_[i]));
        line(indent + "        </coordinates>");
        line(indent + "      </LineString>");
    }

    // The value lists of the FsInfo block and the track: per_line values a
    // line, a blank after each but the last.
    void value_list(const std::vector<std::string>& values, std::size_t per_line) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            out_.append_line(values[i]);
            if (i + 1 < values.size()) out_.append_line(" ");
            if ((i + 1) % per_line == 0) out_.append_line("\r\n");
        }
        if (values.size() % per_line != 0) out_.append_line("\r\n");
    }

    const std::string& version() const { return version_; }

private:
    TextBuffer& out_;
    const std::vector<TrackPosition>& positions_;
    std::string version_;
};

std::vector<Kind> result_kinds(const OptimisationResults& r, uint32_t max_gap) {
    std::vector<Kind> kinds;
    auto path = [&](const char* type, const char* name, const char* heading, const PathResult& p, std::size_t points) {
        Kind k{type, name, heading, {}, {}, p.total};
        k.index.assign(p.index.begin(), p.index.begin() + static_cast<std::ptrdiff_t>(points));
        k.distance.assign(p.legs.begin(), p.legs.begin() + static_cast<std::ptrdiff_t>(points - 1));
        return k;
    };
    kinds.push_back(path("distance_5_point", "Distance over 5 points", "Greatest distance using 5 points", r.five, 5));
    kinds.push_back(path("distance_4_point", "Distance over 4 points", "Greatest distance using 4 points", r.four, 4));
    kinds.push_back(path("distance_3_point", "Distance over 3 points", "Greatest distance using 3 points", r.three, 3));
    Kind open = path("distance_open", "Open distance", "Greatest distance between any 2 points", r.two, 2);
    open.show_sum = false;
    open.color = "FF0000FF";
    kinds.push_back(open);

    const auto& o = r.out_and_return;
    Kind oar{"distance_out_and_return", "Out-and-return distance",
             strformat("Out-and-return distance (max allowable gap %u)", max_gap), {o.start, o.turn, o.end},
             {o.leg, o.gap}, o.score};
    oar.loop = true;
    // A comment may not end in "--->" or hold "--", so the markers keep one blank inside.
    oar.not_computed = "\r\n    <!-- Out-and-return not computed -->\r\n";
    oar.geometry = Kind::Geometry::OutAndReturn;
    kinds.push_back(oar);

    auto triangle = [&](const char* type, const char* name, const char* heading, const char* not_computed,
                        const TriangleResult& t) {
        Kind k{type, name, strformat("%s (max allowable gap %u)", heading, max_gap),
               {t.start, t.tp1, t.tp2, t.tp3, t.end}, {t.sides[0], t.sides[1], t.sides[2], t.gap}, t.score};
        k.loop = true;
        k.not_computed = not_computed;
        k.geometry = Kind::Geometry::Triangle;
        return k;
    };
    kinds.push_back(triangle("distance_flat_triangle", "Flat triangle", "Flat triangle",
                             "\r\n    <!-- Flat triangle not computed -->\r\n", r.flat));
    kinds.push_back(triangle("distance_fai_triangle", "FAI triangle", "FAI triangle",
                             "\r\n    <!-- FAI triangle not computed -->\r\n", r.fai));
    return kinds;
}

}  // namespace

std::string kml_coordinate(const TrackPosition& p) {
    const LatLonDegrees g = semicircles_to_degrees(p.latitude, p.longitude);
    // printf's "%.6f" digits at a fraction of its cost, which counts with one
    // coordinate per fix.
    char text[80];
    char* const end = text + sizeof text;
    char* at = write_fixed6(text, g.longitude);
    *at++ = ',';
    at = write_fixed6(at, g.latitude);
    *at++ = ',';
    at = std::to_chars(at, end, kml_altitude(p.gps_altitude)).ptr;
    return std::string(text, at);
}

std::string kml_instrument_attribute(std::optional<std::string_view> instrument) {
    std::string_view text = instrument ? *instrument : std::string_view("unknown");
    if (text.size() > 79) {
        // Back off to the start of a character so the cut never splits one.
        std::size_t cut = 79;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        text = text.substr(0, cut);
    }
    return xml_escape(normalise_whitespace(text));
}

int write_trip_folder(TextBuffer& out, std::vector<TrackPosition>& positions, TripStatistics& stats,
                      const TripTexts& texts) {
    if (positions.empty()) return kTripNoPositions;
    if (!valid_utf8(texts.description)) return kTripBadDescription;

    bool bad_time = false;
    bool any_altitude = false;
    for (const TrackPosition& p : positions) {
        bad_time = bad_time || is_invalid_time(p.time);
        any_altitude = any_altitude || p.gps_altitude != 0;
    }
    if (bad_time) {
        for (std::size_t i = 0; i < positions.size(); ++i) positions[i].time = static_cast<uint32_t>(i * 5);
        stats.times_in_utc = false;
    }

    FolderWriter w(out, positions, texts);
    w.line("  <Folder>");
    w.line("    <Metadata src=\"Orlogix\" v=\"" + w.version() + "\" type=\"trip\"/>");
    w.line("    <open>1</open>");
    w.line("    <name>Trip</name>");
    out.append_line("    <description><![CDATA[");
    out.append_line(xml_escape(texts.description));
    out.append_line("\r\n<pre>\r\n");
    w.line("Flight statistics");
    const CalendarTime start = calendar_from_time(stats.start_time);
    const CalendarTime end = calendar_from_time(stats.end_time);
    w.line(strformat("Date                 %4d-%02d-%02d", start.year, start.month, start.day));
    w.line(strformat("Start/finish         %02d:%02d:%02d - %02d:%02d:%02d", start.hour, start.minute, start.second,
                     end.hour, end.minute, end.second));
    w.line(strformat("Duration             %u : %02u : %02u", stats.duration / 3600, stats.duration / 60 % 60,
                     stats.duration % 60));
    w.line(strformat("Max./min. height     %d / %d m", stats.max_height, stats.min_height));
    w.line(strformat("Max. mean/top speed  %d km/h / %d km/h", rounded(stats.max_mean_speed), rounded(stats.top_speed)));
    w.line(strformat("Max/min climb rate   %.2f / %.2f m/s over 60s", stats.max_climb, stats.min_climb));
    w.line(strformat("Total distance       %.2f km", stats.total_distance * 0.001));
    w.line("</pre>]]>");
    w.line("    </description>");

    for (const Kind& k : result_kinds(stats.results, texts.max_gap)) w.placemark(k);

    // The signed values of the track, made first so the signature can go
    // straight into the FsInfo tag; each is fed as written, with its blank.
    const uint32_t first = positions.front().time;
    const std::string first_time = iso_time(first, stats.times_in_utc);
    const std::string instrument = kml_instrument_attribute(texts.instrument);
    const std::string downloaded =
        stats.download_time >= 0 ? iso_time(static_cast<uint32_t>(stats.download_time), true) : std::string();
    std::vector<std::string> seconds, pressure, coordinates;
    seconds.reserve(positions.size());
    coordinates.reserve(positions.size());
    for (const TrackPosition& p : positions) {
        seconds.push_back(std::to_string(static_cast<int32_t>(p.time - first)));
        if (stats.baro_present) pressure.push_back(std::to_string(p.baro_altitude));
        coordinates.push_back(kml_coordinate(p));
    }
    // Only a signed track carries the hash, so only then is it worked out.
    std::string digits;
    if (stats.download_flag) {
        KmlSigner signer;
        signer.feed(first_time);
        if (!instrument.empty()) signer.feed(instrument);
        if (!downloaded.empty()) signer.feed(downloaded);
        for (const auto* list : {&seconds, &pressure, &coordinates})
            for (std::size_t i = 0; i < list->size(); ++i) {
                signer.feed((*list)[i]);
                if (i + 1 < list->size()) signer.feed(" ");
            }
        digits = signer.digits();
    }

    w.line("");
    w.line("    <Placemark>");
    std::string tag = "      <Metadata src=\"Orlogix\" v=\"" + w.version() + "\" type=\"track\">\r\n";
    tag += "        <FsInfo time_of_first_point=\"" + first_time + "\"";
    if (stats.pilot_ids && (stats.civl_pilot_id >= 0 || stats.comp_pilot_id >= 0)) {
        tag += "\r\n                ";
        if (stats.civl_pilot_id >= 0) {
            tag += strformat("civl_pilot_id=\"%d\"", stats.civl_pilot_id);
            if (stats.comp_pilot_id >= 0) tag += strformat(" comp_pilot_id=\"%d\"", stats.comp_pilot_id);
        } else {
            tag += strformat("comp_pilot_id=\"%d\"", stats.comp_pilot_id);
        }
    }
    if (!instrument.empty()) tag += "\r\n                instrument=\"" + instrument + "\"";
    if (!downloaded.empty()) tag += "\r\n                downloaded=\"" + downloaded + "\"";
    if (stats.download_flag) tag += "\r\n                hash=\"" + digits + "\"";
    tag += ">";
    w.line(tag);

    w.line("          <SecondsFromTimeOfFirstPoint>");
    w.value_list(seconds, 25);
    w.line("          </SecondsFromTimeOfFirstPoint>");
    if (stats.baro_present) {
        w.line("          <PressureAltitude>");
        w.value_list(pressure, 25);
        w.line("          </PressureAltitude>");
    }
    w.line("        </FsInfo>");
    w.line("      </Metadata>");
    w.line("      <name>Tracklog</name>");
    w.line("      <LineString>");
    w.line(any_altitude ? "        <altitudeMode>absolute</altitudeMode>"
                        : "        <altitudeMode>clampedToGround</altitudeMode>");
    w.line("        <coordinates>");
    w.value_list(coordinates, 5);
    w.line("        </coordinates>");
    w.line("      </LineString>");
    w.line("    </Placemark>");
    w.line("  </Folder>");

    if (out.failed()) {
        out.take();
        return kTripNoMemory;
    }
    return 0;
}

namespace {

int32_t pilot_id(const std::string& text) {
    const std::string t = normalise_whitespace(text);
    if (t.empty() || t.size() > 9) return -1;
    int32_t v = 0;
    for (char c : t) {
        if (c < '0' || c > '9') return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

}  // namespace

TripStatistics trip_statistics(const FlightStatistics& record) {
    TripStatistics t;
    t.times_in_utc = record.times_in_utc != 0;
    t.baro_present = record.baro_present != 0;
    t.start_time = record.first_time;
    t.end_time = record.last_time;
    t.duration = record.duration;
    t.max_height = record.highest_altitude;
    t.min_height = record.lowest_altitude;
    t.max_mean_speed = record.best_mean_speed;
    t.top_speed = record.top_speed;
    t.max_climb = record.highest_climb;
    t.min_climb = record.lowest_climb;
    t.total_distance = record.total_distance;
    t.download_flag = record.has_download_time != 0;
    t.download_time = t.download_flag ? int64_t{time_from_calendar(record.download_time)} : -1;
    t.pilot_ids = record.has_pilot_ids != 0;
    t.comp_pilot_id = pilot_id(record.competition_id);
    t.civl_pilot_id = pilot_id(record.civl_id);
    t.results = record.results;
    return t;
}

int write_trip_folder(TextBuffer& out, FlightStatistics& record, const TripTexts& texts) {
    TripStatistics t = trip_statistics(record);
    const int rc = write_trip_folder(out, record.positions, t, texts);
    if (!t.times_in_utc) record.times_in_utc = 0;
    return rc;
}

}  // namespace orlogix
