#include <new>
#include <optional>
#include <string>

#include "core/names.hpp"
#include "core/report.hpp"
#include "core/time.hpp"
#include "core/units.hpp"
#include "formats/kml/reader.hpp"
#include "formats/kml/waypoint_id.hpp"
#include "formats/xml/escape.hpp"
#include "formats/xml/number.hpp"
#include "formats/xml/walker.hpp"

namespace orlogix {

namespace {

// Recognises kml / Document / Folder / Placemark / (name, description,
// Point / coordinates) and takes the placemarks of folders named "Waypoints".
class WaypointWalker : public XmlHandler {
public:
    WaypointWalker(Reporter& r, bool interactive, std::vector<Waypoint>& out) : r_(r), out_(out) {
        ids_.interactive = interactive;
    }
    bool cancelled = false;

    int start_tag(const XmlToken& t, int depth) override {
        path_.resize(static_cast<std::size_t>(depth - 1));
        path_.push_back(t.name);
        if (on_path({"kml", "Document", "Folder"}) && depth == 3) waypoint_folder_ = false;
        if (on_path({"kml", "Document", "Folder", "Placemark"}) && depth == 4) {
            name_.reset();
            description_.reset();
            coordinates_.reset();
        }
        return 0;
    }

    int end_tag(std::string_view, const XmlToken& t, int depth) override {
        const std::string_view data = t.has_data ? t.data : std::string_view();
        int rc = 0;
        if (depth == 4 && on_path({"kml", "Document", "Folder", "name"})) {
            waypoint_folder_ = data == "Waypoints";
        } else if (depth == 5 && on_path({"kml", "Document", "Folder", "Placemark", "name"})) {
            name_ = std::string(data);
        } else if (depth == 5 && on_path({"kml", "Document", "Folder", "Placemark", "description"})) {
            description_ = std::string(data);
        } else if (depth == 6 && on_path({"kml", "Document", "Folder", "Placemark", "Point", "coordinates"})) {
            coordinates_ = std::string(data);
        } else if (depth == 4 && waypoint_folder_ && on_path({"kml", "Document", "Folder", "Placemark"})) {
            rc = placemark();
        }
        path_.resize(static_cast<std::size_t>(depth - 1));
        return rc;
    }

private:
    bool on_path(std::initializer_list<std::string_view> names) const {
        if (path_.size() != names.size()) return false;
        std::size_t i = 0;
        for (std::string_view n : names)
            if (path_[i++] != n) return false;
        return true;
    }

    int placemark() {
        const int number = ++number_;
        if (!name_ || !coordinates_) {
            error = strformat("Missing tag(s) for waypoint %d", number);
            return -1;
        }
        const std::string name = xml_unescape(normalise_whitespace(*name_));
        const std::string coordinates = normalise_whitespace(*coordinates_);
        if (name.empty() || coordinates.empty()) {
            error = strformat("Missing data for waypoint %d", number);
            return -1;
        }
        Waypoint w;
        switch (waypoint_id_from_name(r_, name, ids_, w.identifier)) {
        case WaypointIdOutcome::Take: break;
        case WaypointIdOutcome::Skip: return 0;
        case WaypointIdOutcome::Cancel: cancelled = true; return 1;
        case WaypointIdOutcome::Bad: error = strformat("Bad ID for waypoint %d", number); return -1;
        }
        if (description_) w.comment = normalise_comment(xml_unescape(*description_));

        // One triple: longitude, latitude and (optionally, as on a last triple) the height.
        double values[3] = {0, 0, 0};
        std::size_t start = 0;
        int count = 0;
        bool bad = false;
        const std::string_view text = coordinates;
        for (; !bad && start <= text.size(); ++count) {
            std::size_t comma = text.find(',', start);
            if (comma == std::string_view::npos) comma = text.size();
            bad = count >= 3 || parse_decimal(text.substr(start, comma - start), values[count]) != 0;
            start = comma + 1;
        }
        SemicirclePair s;
        bad = bad || count < 2 ||
              !(values[0] >= -180.0 && values[0] <= 180.0 && values[1] >= -90.0 && values[1] <= 90.0) ||
              values[2] > 1e6 || values[2] < -1e6 ||
              radians_to_semicircles({values[1] * 0.0174532925199399995, values[0] * 0.0174532925199399995}, s) != 0;
        if (bad) {
            error = "Bad <coordinates> in waypoint " + w.identifier;
            return -1;
        }
        w.latitude = s.latitude;
        w.longitude = s.longitude;
        w.height = static_cast<int32_t>(round_half_away(values[2]));
        w.time = time_now();
        w.airfield = 0;
        out_.push_back(std::move(w));
        return 0;
    }

    Reporter& r_;
    std::vector<Waypoint>& out_;
    WaypointIdState ids_;
    std::vector<std::string_view> path_;
    bool waypoint_folder_ = false;
    int number_ = 0;
    std::optional<std::string> name_, description_, coordinates_;
};

}  // namespace

int read_kml_waypoints(Reporter& r, std::string_view text, bool interactive, std::vector<Waypoint>& out) {
    try {
        std::vector<Waypoint> read;
        WaypointWalker walker(r, interactive, read);
        std::string error;
        if (xml_walk(text, XmlWalkOptions{}, walker, error) != kXmlOk) {
            r.error_box(kKmlWaypointReadTitle, error);
            return -1;
        }
        if (walker.cancelled) return -1;
        out = std::move(read);
        return static_cast<int>(out.size());
    } catch (const std::bad_alloc&) {
        r.error_box(kKmlWaypointReadTitle, "Memory allocation error");
        return -1;
    }
}

}  // namespace orlogix
