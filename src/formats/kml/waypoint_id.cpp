#include "formats/kml/waypoint_id.hpp"

#include "core/names.hpp"
#include "core/report.hpp"

namespace orlogix {

WaypointIdOutcome waypoint_id_from_name(Reporter& r, std::string_view name, WaypointIdState& state, std::string& id) {
    if (normalise_id(name, state.lenient ? IdMode::Lenient : IdMode::Strict, id) == 0)
        return id.empty() ? WaypointIdOutcome::Bad : WaypointIdOutcome::Take;
    if (!state.interactive) return WaypointIdOutcome::Bad;
    // The four buttons of the question, asked as a choice; nobody to ask means "No (skip)".
    const std::string title =
        "Modify waypoint ID: " + std::string(name) + " - Modify (-> uppercase or truncate) this ID ?";
    const int answer = r.choose(title, {"&Yes", "Yes to &All", "&No (skip)", "&Cancel"}, 2);
    switch (answer) {
    case 0:
    case 1:
        if (answer == 1) state.lenient = true;
        normalise_id(name, IdMode::Lenient, id);
        return id.empty() ? WaypointIdOutcome::Bad : WaypointIdOutcome::Take;
    case 2: return WaypointIdOutcome::Skip;
    default: return WaypointIdOutcome::Cancel;
    }
}

}  // namespace orlogix
