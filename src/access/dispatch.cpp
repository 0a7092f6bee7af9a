#include "access/dispatch.hpp"

#include <mutex>
#include <vector>

namespace orlogix {

namespace {

using R = Routine;
constexpr R N = R::None;

// Rows: access types 0..8; columns: protocol types 0..16.
constexpr R kTable[kAccessTypeCount][kProtocolTypeCount] = {
    // read waypoints
    {R::Garmin, R::Mlr, R::TopNav, N, R::Iq, N, R::Magellan, R::Xct, R::GarminUsb, N, N, N, R::Flymaster, N, R::Mlr,
     N, R::IqBasic},
    // read track log (XC Trainer shares the Top Navigator routine, protocol 14 the MLR one)
    {R::Garmin, R::Mlr, R::TopNav, R::LogIt, R::Iq, R::Graviter, R::Magellan, R::TopNav, R::GarminUsb, R::Mxp, R::Mxp,
     R::IqAllTracks, R::Flymaster, R::Dsx, R::Mlr, R::Mtk, R::IqBasic},
    // read product data
    {N, N, N, R::LogIt, N, N, N, N, N, N, N, N, N, N, N, N, N},
    // write waypoints
    {R::Garmin, R::Mlr, R::TopNav, N, R::Iq, N, R::Magellan, R::TopNav, R::GarminUsb, N, N, N, R::Flymaster, N, R::Mlr,
     N, R::IqBasic},
    // erase track log
    {N, N, N, R::LogIt, N, N, N, N, N, N, N, N, N, N, N, R::Mtk, N},
    // write pilot data
    {N, N, N, R::LogItName, N, R::Graviter, N, N, N, N, N, N, R::Flymaster, R::Dsx, N, N, N},
    // write track log
    {R::Garmin, N, N, N, N, N, N, N, R::GarminUsb, N, N, N, N, N, N, N, N},
    // write CTR (Garmin receivers take them as track logs)
    {R::Garmin, N, N, N, R::Iq, N, N, N, R::GarminUsb, N, N, N, N, N, N, N, N},
    // read CTR
    {N, N, N, N, R::Iq, N, N, N, N, N, N, N, N, N, N, N, N},
};

struct FamilyList {
    std::mutex mutex;
    std::vector<FamilyRegistration> pending;
};

FamilyList& family_list() {
    static FamilyList list;
    return list;
}

}  // namespace

Routine dispatch_routine(int access_type, int protocol_type) {
    if (access_type < 0 || access_type >= kAccessTypeCount) return R::None;
    if (protocol_type < 0 || protocol_type >= kProtocolTypeCount) return R::None;
    return kTable[access_type][protocol_type];
}

void RoutineRegistry::add(AccessType access, Routine routine, JobRoutine fn) {
    std::unique_lock lock(mutex_);
    routines_[{static_cast<int>(access), static_cast<int>(routine)}] = std::move(fn);
}

JobRoutine RoutineRegistry::find(AccessType access, Routine routine) const {
    std::shared_lock lock(mutex_);
    auto it = routines_.find({static_cast<int>(access), static_cast<int>(routine)});
    if (it == routines_.end()) return {};
    return it->second;
}

void RoutineRegistry::clear() {
    std::unique_lock lock(mutex_);
    routines_.clear();
}

RoutineRegistry& job_routines() {
    static RoutineRegistry registry;
    return registry;
}

void add_family_registration(FamilyRegistration fn) {
    auto& list = family_list();
    std::lock_guard lock(list.mutex);
    list.pending.push_back(fn);
}

void register_all_families() {
    std::vector<FamilyRegistration> run;
    {
        auto& list = family_list();
        std::lock_guard lock(list.mutex);
        run.swap(list.pending);
    }
    for (auto fn : run) fn(job_routines());
}

}  // namespace orlogix
