#include <new>
#include <optional>
#include <string>

#include "core/coord_text.hpp"
#include "core/report.hpp"
#include "core/units.hpp"
#include "formats/gpx/reader.hpp"
#include "formats/xml/number.hpp"
#include "formats/xml/walker.hpp"

namespace orlogix {

namespace {

class GpxTrackWalker : public XmlHandler {
public:
    std::vector<std::vector<TrackPosition>> segments;

    int start_tag(const XmlToken& t, int depth) override {
        const std::string_view name = t.name;
        if (depth == 1) {
            gpx_ = name == "gpx";
            trk_ = trkseg_ = false;
        } else if (name == "trk") {
            trk_ = gpx_ && depth == 2;
            trkseg_ = false;
        } else if (name == "trkseg") {
            trkseg_ = trk_ && depth == 3;
            if (!trkseg_) trk_ = false;
            segment_.clear();
        } else if (name == "trkpt" && trkseg_ && depth == 4) {
            trkpt_ = true;
            attributes_ = t.has_attributes ? std::optional<std::string>(std::string(t.attributes)) : std::nullopt;
            ele_.reset();
            time_.reset();
        }
        return 0;
    }

    int end_tag(std::string_view name, const XmlToken& t, int depth) override {
        const std::string_view data = t.has_data ? t.data : std::string_view();
        if (trkpt_) {
            if (depth == 4 && name == "trkpt") {
                trkpt_ = false;
                return position();
            }
            if (name == "ele") ele_ = std::string(data);
            if (name == "time") time_ = std::string(data);
        } else if (trkseg_ && depth == 3 && name == "trkseg") {
            trkseg_ = false;
            if (!segment_.empty()) {
                if (segments.size() >= static_cast<std::size_t>(kGpxMaxSegments)) {
                    error = "Too many track segments";
                    return -1;
                }
                segments.push_back(std::move(segment_));
                segment_.clear();
            }
        } else if (trk_ && depth == 2 && name == "trk") {
            trk_ = false;
        }
        return 0;
    }

private:
    int fail(const char* format, int number) {
        error = strformat(format, number);
        return -1;
    }

    int position() {
        const int number = static_cast<int>(segment_.size()) + 1;
        if (!attributes_ || !time_) return fail("Missing tag(s) for position %d", number);
        const std::string attributes = normalise_whitespace(*attributes_);
        const std::string time = normalise_whitespace(*time_);
        if (attributes.empty() || time.empty()) return fail("Missing data for position %d", number);
        TrackPosition p;
        bool zoned = false;
        if (parse_iso_time(time, p.time, zoned) != 0) return fail("Bad time data for position %d", number);
        if (ele_) {
            double metres = 0.0;
            if (parse_decimal(normalise_whitespace(*ele_), metres) != 0 || metres > 1e6 || metres < -1e6 ||
                !metres_to_decimetres(metres, DecimetreRounding::TruncatedTolerant, p.gps_altitude))
                return fail("Bad height data for position %d", number);
        }
        if (!gpx_attribute_semicircles(attributes, "lat", true, p.latitude))
            return fail("Missing/bad latitude data in position %d", number);
        if (!gpx_attribute_semicircles(attributes, "lon", false, p.longitude))
            return fail("Missing/bad longitude data in position %d", number);
        segment_.push_back(p);
        return 0;
    }

    bool gpx_ = false, trk_ = false, trkseg_ = false, trkpt_ = false;
    std::optional<std::string> attributes_, ele_, time_;
    std::vector<TrackPosition> segment_;
};

int read_track(Reporter& r, std::string_view text, std::vector<TrackPosition>& positions) {
    GpxTrackWalker walker;
    std::string error;
    XmlWalkOptions options;
    options.require_declaration = true;
    options.bom_message = "Unknown BOM before opening tag '<?xml>'";
    if (xml_walk(text, options, walker, error) != kXmlOk) {
        r.error_box(kGpxTrackReadTitle, error);
        return 0;
    }
    if (walker.segments.empty()) {
        r.error_box(kGpxTrackReadTitle, "No tracks found");
        return 0;
    }
    std::size_t chosen = 0;
    if (walker.segments.size() > 1) {
        std::vector<std::string> items;
        for (const auto& s : walker.segments) {
            const CalendarTime c = calendar_from_time(s.front().time);
            items.push_back(
                strformat("%d-%02d-%02d   %02d:%02d:%02d", c.year, c.month, c.day, c.hour, c.minute, c.second));
        }
        const int answer = r.choose("Track List", items, 0);
        if (answer == -1) return 0;
        if (answer < 0 || static_cast<std::size_t>(answer) >= items.size()) {
            r.error_box("Select track", "Dialog box error");
            return 0;
        }
        chosen = static_cast<std::size_t>(answer);
    }
    positions = std::move(walker.segments[chosen]);
    return static_cast<int>(positions.size());
}

}  // namespace

bool gpx_attribute_semicircles(std::string_view attributes, const char* name, bool latitude, int32_t& out) {
    std::string text;
    double degrees = 0.0;
    if (xml_attribute(attributes, name, text) != 0 || parse_decimal(normalise_whitespace(text), degrees) != 0)
        return false;
    if (latitude ? !(degrees >= -90.0 && degrees <= 90.0) : !(degrees >= -180.0 && degrees <= 180.0)) return false;
    return radians_to_semicircle(degrees * 0.0174532925199399995, out) == 0;
}

int read_gpx_track(Reporter& r, std::string_view text, std::vector<TrackPosition>& positions) {
    try {
        return read_track(r, text, positions);
    } catch (const std::bad_alloc&) {
        r.error_box(kGpxTrackReadTitle, "Track log memory allocation");
        return 0;
    }
}

}  // namespace orlogix
