#pragma once
// The pilot's competition number and CIVL ID as waypoints: recognised among
// an instrument's waypoints in a competition download, and built for an
// upload so that the next download finds them.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/records.hpp"
#include "core/units.hpp"

namespace orlogix {

// -1 where not known.
struct PilotIds {
    int64_t comp_id = -1;
    int64_t civl_id = -1;
    bool any() const { return comp_id >= 0 || civl_id >= 0; }
};

// Fed one waypoint at a time. In normal mode an identifier beginning with
// "COMPID" gives the competition number and "CIVLID" the CIVL ID, each
// decoded from the position (a position that decodes to nothing is
// ignored); in dash mode only "-" and 1 to 9 digits count, giving the
// competition number. A later find never clears an earlier one.
class IdentityRecogniser {
public:
    explicit IdentityRecogniser(bool dash_mode) : dash_mode_(dash_mode) {}

    // True when the waypoint gave an ID.
    bool feed(std::string_view identifier, const GeoPosition& position);

    const PilotIds& found() const { return found_; }
    // "Comp ID = %d", "CIVL ID = %d" or "Comp ID = %d, CIVL ID = %d"; empty before a find.
    std::string product_text() const;

private:
    bool dash_mode_;
    PilotIds found_;
};

// The dash waypoint's identifier is "-" and the number, at most 6 characters.
inline constexpr int64_t kDashNumberMax = 99999;

// Appends the COMPID waypoint (a competition number given), the CIVLID one
// (a CIVL ID given) and, with dash, the dash waypoint (a competition number
// up to kDashNumberMax given), stamped now. 0, or -1 with nothing appended
// when a number is beyond what a position holds.
int append_identity_waypoints(std::vector<Waypoint>& list, const PilotIds& ids, bool dash, uint32_t now);

// Whether "Upload pilot ID" follows a competition download: it found no ID,
// the family can receive waypoints, and an ID is known now.
bool offer_pilot_id_upload_decision(const PilotIds& found, bool family_receives_waypoints, const PilotIds& known);

// The "No pilot ID" question: what the instrument lacked, the IDs, the pilot and the product.
inline constexpr const char* kNoPilotIdTitle = "No pilot ID";
std::string no_pilot_id_text(const PilotIds& known, std::string_view pilot, std::string_view product);

}  // namespace orlogix
