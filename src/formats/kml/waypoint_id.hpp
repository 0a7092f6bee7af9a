#pragma once
// The identifier rule shared by the KML and GPX waypoint readers: a name that
// is not already a clean identifier is refused unless the user allows it to
// be cleaned ("Modify waypoint ID").
#include <string>
#include <string_view>

namespace orlogix {

class Reporter;

struct WaypointIdState {
    bool interactive = false;
    bool lenient = false;  // "Yes to &All" was chosen
};

enum class WaypointIdOutcome { Take, Skip, Cancel, Bad };

// Cleans name into id. Bad when the result is empty, or when the name needs a
// change and nobody can be asked; Skip and Cancel follow the user's answer.
WaypointIdOutcome waypoint_id_from_name(Reporter& r, std::string_view name, WaypointIdState& state, std::string& id);

}  // namespace orlogix
