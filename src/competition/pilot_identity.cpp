#include "competition/pilot_identity.hpp"

#include "competition/identity_position.hpp"
#include "core/report.hpp"

namespace orlogix {

namespace {

bool starts_with(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// "-" and 1 to 9 decimal digits: the number, else -1.
int64_t dash_number(std::string_view id) {
    if (id.size() < 2 || id.size() > 10 || id[0] != '-') return -1;
    int64_t n = 0;
    for (const char c : id.substr(1)) {
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

Waypoint identity_waypoint(const std::string& identifier, const std::string& comment, const SemicirclePair& p,
                           uint32_t now) {
    Waypoint w;
    w.identifier = identifier;
    w.comment = comment;
    w.latitude = p.latitude;
    w.longitude = p.longitude;
    w.height = 0;
    w.time = now;
    return w;
}

}  // namespace

bool IdentityRecogniser::feed(std::string_view identifier, const GeoPosition& position) {
    if (dash_mode_) {
        const int64_t n = dash_number(identifier);
        if (n < 0) return false;
        found_.comp_id = n;
        return true;
    }
    const bool comp = starts_with(identifier, "COMPID");
    if (!comp && !starts_with(identifier, "CIVLID")) return false;
    const int64_t n = decode_id_position(position);
    if (n < 0) return false;
    (comp ? found_.comp_id : found_.civl_id) = n;
    return true;
}

std::string IdentityRecogniser::product_text() const {
    const long long comp = found_.comp_id, civl = found_.civl_id;
    if (comp >= 0 && civl >= 0) return strformat("Comp ID = %lld, CIVL ID = %lld", comp, civl);
    if (comp >= 0) return strformat("Comp ID = %lld", comp);
    if (civl >= 0) return strformat("CIVL ID = %lld", civl);
    return {};
}

int append_identity_waypoints(std::vector<Waypoint>& list, const PilotIds& ids, bool dash, uint32_t now) {
    SemicirclePair comp{}, civl{};
    if (ids.comp_id >= 0 && encode_id_position(ids.comp_id, comp) != 0) return -1;
    if (ids.civl_id >= 0 && encode_id_position(ids.civl_id, civl) != 0) return -1;
    const long long c = ids.comp_id, v = ids.civl_id;
    if (ids.comp_id >= 0) list.push_back(identity_waypoint("COMPID", strformat("COMPID %lld", c), comp, now));
    if (ids.civl_id >= 0) list.push_back(identity_waypoint("CIVLID", strformat("CIVLID %lld", v), civl, now));
    if (dash && ids.comp_id >= 0 && ids.comp_id <= kDashNumberMax) {
        const std::string name = strformat("-%lld", c);
        list.push_back(identity_waypoint(name, name, SemicirclePair{}, now));
    }
    return 0;
}

bool offer_pilot_id_upload_decision(const PilotIds& found, bool family_receives_waypoints, const PilotIds& known) {
    return !found.any() && family_receives_waypoints && known.any();
}

std::string no_pilot_id_text(const PilotIds& known, std::string_view pilot, std::string_view product) {
    std::string text = "The GPS did not contain any COMPID or CIVLID.\nDo you want to upload the following ID(s) ?\n";
    if (known.comp_id >= 0) text += strformat("COMPID %lld\n", static_cast<long long>(known.comp_id));
    if (known.civl_id >= 0) text += strformat("CIVLID %lld\n", static_cast<long long>(known.civl_id));
    text += std::string(pilot) + "\n" + std::string(product);
    return text;
}

}  // namespace orlogix
