#include <new>
#include <optional>
#include <string>

#include "core/coord_text.hpp"
#include "core/names.hpp"
#include "core/report.hpp"
#include "core/time.hpp"
#include "core/units.hpp"
#include "formats/gpx/reader.hpp"
#include "formats/kml/waypoint_id.hpp"
#include "formats/xml/escape.hpp"
#include "formats/xml/number.hpp"
#include "formats/xml/walker.hpp"

namespace orlogix {

namespace {

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

class GpxWaypointWalker : public XmlHandler {
public:
    GpxWaypointWalker(Reporter& r, bool interactive, std::vector<Waypoint>& out) : r_(r), out_(out) {
        ids_.interactive = interactive;
    }
    bool cancelled = false;

    int start_tag(const XmlToken& t, int depth) override {
        if (depth == 1) gpx_ = t.name == "gpx";
        if (depth == 2 && gpx_ && t.name == "wpt") {
            wpt_ = true;
            attributes_ = t.has_attributes ? std::string(t.attributes) : std::string();
            for (auto* f : {&ele_, &time_, &name_, &cmt_, &desc_, &type_}) f->reset();
        }
        return 0;
    }

    int end_tag(std::string_view name, const XmlToken& t, int depth) override {
        if (!wpt_) return 0;
        if (depth == 2) {
            wpt_ = false;
            return waypoint();
        }
        const std::string data(t.has_data ? t.data : std::string_view());
        if (name == "ele") ele_ = data;
        else if (name == "time") time_ = data;
        else if (name == "name") name_ = data;
        else if (name == "cmt") cmt_ = data;
        else if (name == "desc") desc_ = data;
        else if (name == "type") type_ = data;
        return 0;
    }

private:
    int fail(const char* format, int number) {
        error = strformat(format, number);
        return -1;
    }

    int waypoint() {
        const int number = ++number_;
        const std::string attributes = normalise_whitespace(attributes_);
        if (attributes.empty()) return fail("Missing position data for waypoint %d", number);
        const std::string name = name_ ? xml_unescape(normalise_whitespace(*name_)) : std::string();
        if (name.empty()) return fail("Missing name data for waypoint %d", number);

        Waypoint w;
        switch (waypoint_id_from_name(r_, name, ids_, w.identifier)) {
        case WaypointIdOutcome::Take: break;
        case WaypointIdOutcome::Skip: return 0;
        case WaypointIdOutcome::Cancel: cancelled = true; return 1;
        case WaypointIdOutcome::Bad: return fail("Bad ID for waypoint %d", number);
        }
        if (desc_) w.comment = normalise_comment(xml_unescape(*desc_));
        else if (cmt_) w.comment = normalise_comment(xml_unescape(*cmt_));
        w.airfield = type_ && iequals(normalise_whitespace(xml_unescape(*type_)), "AIRPORT") ? 1 : 0;
        if (time_) {
            bool zoned = false;
            if (parse_iso_time(normalise_whitespace(*time_), w.time, zoned) != 0)
                return fail("Bad time data for waypoint %d", number);
        } else {
            w.time = time_now();
        }
        if (ele_) {
            double metres = 0.0;
            if (parse_decimal(normalise_whitespace(*ele_), metres) != 0 || metres > 1e6 || metres < -1e6)
                return fail("Bad height data for waypoint %d", number);
            w.height = static_cast<int32_t>(round_half_away(metres));  // halves away from zero: -3 stays -3
        }
        if (!gpx_attribute_semicircles(attributes, "lat", true, w.latitude))
            return fail("Missing/bad latitude data in waypoint %d", number);
        if (!gpx_attribute_semicircles(attributes, "lon", false, w.longitude))
            return fail("Missing/bad longitude data in waypoint %d", number);
        out_.push_back(std::move(w));
        return 0;
    }

    Reporter& r_;
    std::vector<Waypoint>& out_;
    WaypointIdState ids_;
    bool gpx_ = false, wpt_ = false;
    int number_ = 0;
    std::string attributes_;
    std::optional<std::string> ele_, time_, name_, cmt_, desc_, type_;
};

}  // namespace

int read_gpx_waypoints(Reporter& r, std::string_view text, bool interactive, std::vector<Waypoint>& out) {
    try {
        std::vector<Waypoint> read;
        GpxWaypointWalker walker(r, interactive, read);
        XmlWalkOptions options;
        options.require_declaration = true;
        options.bom_message = "Unknown BOM before opening tag '<?xml>'";
        std::string error;
        if (xml_walk(text, options, walker, error) != kXmlOk) {
            r.error_box(kGpxWaypointReadTitle, error);
            return -1;
        }
        if (walker.cancelled) return -1;
        out = std::move(read);
        return static_cast<int>(out.size());
    } catch (const std::bad_alloc&) {
        r.error_box(kGpxWaypointReadTitle, "Memory allocation error");
        return -1;
    }
}

}  // namespace orlogix
