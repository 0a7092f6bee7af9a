#pragma once
// The flight analysis a KML file of the command line carries: statistics
// and the distance optimisation with the remembered loop gap and NOLOOPOPT.
#include "formats/commands/kml_google_earth.hpp"

namespace orlogix {

TripAnalysis make_trip_analysis(uint32_t loop_flight_gap, bool no_loop_opt);

// Google Earth file options for a track log with this header.
GoogleEarthOptions google_earth_options(const TrackLogHeader& header, uint32_t loop_flight_gap);

}  // namespace orlogix
