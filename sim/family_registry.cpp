#include "sim/family_registry.hpp"

#include <algorithm>

#include "core/report.hpp"

namespace orlogix::sim {

void register_all_families(FamilyRegistry& registry) {
    register_echo_family(registry);
    register_garmin_family(registry);
}

int FamilyRegistry::add(std::string name, std::string summary, FamilyFactory make) {
    if (find(name)) return -1;
    entries_.push_back({std::move(name), std::move(summary), std::move(make)});
    return 0;
}

const FamilyEntry* FamilyRegistry::find(std::string_view name) const {
    auto it = std::find_if(entries_.begin(), entries_.end(), [&](const FamilyEntry& e) { return e.name == name; });
    return it == entries_.end() ? nullptr : &*it;
}

int check_setting_keys(Reporter& r, std::string_view family, const std::map<std::string, std::string>& settings,
                       const std::vector<std::string_view>& known) {
    for (const auto& [key, value] : settings) {
        if (std::find(known.begin(), known.end(), key) == known.end()) {
            r.error_box("orlogix-sim", "Unknown setting " + key + " for family " + std::string(family));
            return -1;
        }
    }
    return 0;
}

}  // namespace orlogix::sim
