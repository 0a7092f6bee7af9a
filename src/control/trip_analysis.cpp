#include "control/trip_analysis.hpp"

#include <system_error>
#include <thread>

#include "analysis/flight_statistics.hpp"
#include "analysis/optimise.hpp"

namespace orlogix {

TripAnalysis make_trip_analysis(uint32_t loop_flight_gap, bool no_loop_opt) {
    return [loop_flight_gap, no_loop_opt](FlightStatistics& record) {
        // The statistics and the optimisation only read the positions and
        // write fields of their own, so the statistics fill the gaps the
        // optimisation leaves on the cores.
        std::thread statistics;
        try {
            statistics = std::thread([&record] { compute_statistics(record); });
        } catch (const std::system_error&) {
            compute_statistics(record);
        }
        OptimisationSettings settings;
        settings.loop_flight_gap = loop_flight_gap;
        settings.no_loop_opt = no_loop_opt;
        const int rc = optimise_track(record.positions, settings, record.results);
        if (statistics.joinable()) statistics.join();
        return rc;
    };
}

GoogleEarthOptions google_earth_options(const TrackLogHeader& header, uint32_t loop_flight_gap) {
    GoogleEarthOptions o;
    o.download_flag = header.track_log_source == 1;
    o.times_in_utc = header.times_in_utc != 0;
    o.baro_present = header.baro_present != 0;
    if (!header.instrument_description.empty()) o.instrument = header.instrument_description;
    o.max_gap = loop_flight_gap;
    o.overwrite = true;  // the existing-file rules were applied before
    return o;
}

}  // namespace orlogix
