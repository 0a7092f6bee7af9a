#include "sim/family_registry.hpp"

#include <algorithm>

#include "access/instrument_catalogue.hpp"
#include "core/report.hpp"

namespace orlogix::sim {

void register_all_families(FamilyRegistry& registry) {
    register_echo_family(registry);
    register_garmin_family(registry);
    register_flytec_family(registry);
    register_flymaster_family(registry);
    register_iq_basic_family(registry);
    register_mtk_family(registry);
    register_mlr_family(registry);
    register_logit_family(registry);
    register_garmin_usb_family(registry);
    register_magellan_family(registry);
    register_topnav_families(registry);
    register_graviter_family(registry);
    register_dsx_family(registry);
}

int FamilyRegistry::add(std::string name, std::string summary, FamilyFactory make) {
    if (find(name)) return -1;
    entries_.push_back({std::move(name), std::move(summary), std::move(make), nullptr});
    return 0;
}

int FamilyRegistry::add_host(std::string name, std::string summary, FamilyHost host) {
    if (find(name)) return -1;
    entries_.push_back({std::move(name), std::move(summary), nullptr, std::move(host)});
    return 0;
}

const FamilyEntry* FamilyRegistry::find(std::string_view name) const {
    auto it = std::find_if(entries_.begin(), entries_.end(), [&](const FamilyEntry& e) { return e.name == name; });
    return it == entries_.end() ? nullptr : &*it;
}

std::string family_list(const FamilyRegistry& registry) {
    std::vector<std::string> names;
    for (const InstrumentKind& kind : instrument_catalogue())
        if (kind.sim_family && std::find(names.begin(), names.end(), kind.sim_family) == names.end())
            names.emplace_back(kind.sim_family);
    for (const FamilyEntry& e : registry.entries())
        if (std::find(names.begin(), names.end(), e.name) == names.end()) names.push_back(e.name);
    std::string out;
    for (const std::string& name : names) {
        const FamilyEntry* e = registry.find(name);
        std::string padded = name;
        if (padded.size() < 10) padded.resize(10, ' ');
        out += "  " + padded + " " + (e ? e->summary : std::string("(not built yet)")) + "\n";
    }
    return out;
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
