#pragma once
// A family that is not shipped: one catalogue row and one registration of
// its job routine, and nothing else outside a family's own folders. The
// command line, the window and the simulator tool must take it from there.
#include "access/dispatch.hpp"
#include "access/instrument_catalogue.hpp"
#include "access/job_context.hpp"

namespace orlogix::test {

inline constexpr ProtocolType kToyProtocol = static_cast<ProtocolType>(40);
inline constexpr Routine kToyRoutine = static_cast<Routine>(400);
inline constexpr int kToyLogEntry = 49001;
inline constexpr int kToyWaypointEntry = 49002;  // in the row, never registered
inline constexpr uint32_t kToyFixTime = 1'000'000'000;

// Its track download hands over one fix, without any link.
inline int toy_read_track_log(JobContext& ctx) {
    TrackPosition p;
    p.time = kToyFixTime;
    p.gps_altitude = 12340;
    ctx.result.track_log.header.track_log_source = 1;
    ctx.result.track_log.positions = {p};
    return 0;
}

// Adds the row and registers the routine once per test program.
inline const InstrumentKind& add_toy_family() {
    static const bool once = [] {
        constexpr Routine N = Routine::None;
        add_instrument_kind({.protocol = kToyProtocol,
                             .title = "Toy box",
                             .gps_name = "TOYBOX",
                             .routines = {kToyRoutine, kToyRoutine, N, N, N, N, N, N, N},
                             .connect_baud = 9600,
                             .command_uses = kUseTrackLog,
                             .sim_family = "toy",
                             .entries = {{kToyLogEntry, "&Logs", 235, "Read T&oy box", AccessType::ReadTrackLog},
                                         {kToyWaypointEntry, "W&pts", 305, "Read T&oy box", AccessType::ReadWaypoints}},
                             .buttons = {{kToyLogEntry, "Toy box", 288, 45, 47, 14}}});
        register_job_routine(AccessType::ReadTrackLog, kToyRoutine, toy_read_track_log);
        return true;
    }();
    (void)once;
    return *find_instrument(kToyProtocol);
}

}  // namespace orlogix::test
