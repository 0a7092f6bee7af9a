#include "access/dispatch.hpp"

#include <mutex>
#include <vector>

#include "access/instrument_catalogue.hpp"

namespace orlogix {

namespace {

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
    if (access_type < 0 || access_type >= kAccessTypeCount) return Routine::None;
    const InstrumentKind* kind = find_instrument(static_cast<ProtocolType>(protocol_type));
    return kind ? instrument_routine(*kind, static_cast<AccessType>(access_type)) : Routine::None;
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
