#pragma once
// The access dispatch table: one cell per (access type, protocol type) naming
// the job routine that carries it out (the cells live in the instrument
// catalogue's rows), and the registry where each instrument family puts its
// routines at start-up.
#include <functional>
#include <map>
#include <shared_mutex>
#include <utility>

#include "access/types.hpp"

namespace orlogix {

class JobContext;

// Routine identities of the table. Equal identities within a row share one
// routine; a family registers one function per (access type, routine).
enum class Routine : int {
    None = 0,
    Garmin,
    Mlr,
    TopNav,
    LogIt,
    LogItName,
    Iq,
    Graviter,
    Magellan,
    Xct,
    GarminUsb,
    Mxp,
    IqAllTracks,
    Flymaster,
    Dsx,
    Mtk,
    IqBasic,
};

// The table cell, or Routine::None for an unsupported pair, an access type
// out of range or a protocol type without a catalogue row.
Routine dispatch_routine(int access_type, int protocol_type);
inline Routine dispatch_routine(AccessType a, ProtocolType p) {
    return dispatch_routine(static_cast<int>(a), static_cast<int>(p));
}

// A job routine: runs on the job thread, fills the context's result and
// returns 0 (or a count) on success, negative after reporting the failure.
using JobRoutine = std::function<int(JobContext&)>;

// Filled once at start-up, read by every job thread afterwards.
class RoutineRegistry {
public:
    void add(AccessType access, Routine routine, JobRoutine fn);
    // Empty function when the family has not registered the routine.
    JobRoutine find(AccessType access, Routine routine) const;
    void clear();

private:
    mutable std::shared_mutex mutex_;
    std::map<std::pair<int, int>, JobRoutine> routines_;
};

// The process-wide registry the application fills.
RoutineRegistry& job_routines();
inline void register_job_routine(AccessType access, Routine routine, JobRoutine fn) {
    job_routines().add(access, routine, std::move(fn));
}

// Families hand a registration function to this list; the program (or a
// test) then calls register_all_families() once, before the first job.
using FamilyRegistration = void (*)(RoutineRegistry&);
void add_family_registration(FamilyRegistration fn);
// Runs every registration not yet run against the process-wide registry.
void register_all_families();

}  // namespace orlogix
