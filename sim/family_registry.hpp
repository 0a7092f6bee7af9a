#pragma once
// The simulated instrument families by name. Each family registers a factory
// from its own file; register_all_families() lists them, one line each.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/records.hpp"
#include "sim/instrument.hpp"

namespace orlogix {
class Reporter;
}

namespace orlogix::sim {

// What a family is given to serve: the loaded track and waypoints (empty
// when none was named) and the product options as key=value strings.
struct FamilyOptions {
    std::string track_file;                // the first --track
    std::vector<std::string> track_files;  // every --track, in order
    std::string waypoint_file;
    TrackLog track;
    std::vector<Waypoint> waypoints;
    std::map<std::string, std::string> settings;
};

// Makes the instrument, or reports the problem (e.g. an unknown setting)
// through the reporter and returns null.
using FamilyFactory = std::function<std::unique_ptr<Instrument>(const FamilyOptions&, Reporter&)>;

// A family that is not served on a pseudo-terminal runs the program given
// after "--" with the instrument where that program looks for it (the USB
// receiver in a umockdev test bed); the program's exit status, or -1 after
// a report.
using FamilyHost = std::function<int(const FamilyOptions&, const std::vector<std::string>& command, Reporter&,
                                     const ReportSink& uploads)>;

struct FamilyEntry {
    std::string name;
    std::string summary;  // one line for the usage text
    FamilyFactory make;
    FamilyHost host;      // set instead of make
};

class FamilyRegistry {
public:
    // A name registered twice keeps the first factory. 0, or -1 for a duplicate.
    int add(std::string name, std::string summary, FamilyFactory make);
    int add_host(std::string name, std::string summary, FamilyHost host);
    const FamilyEntry* find(std::string_view name) const;
    const std::vector<FamilyEntry>& entries() const { return entries_; }

private:
    std::vector<FamilyEntry> entries_;
};

// The registration function of each family, defined in its own file.
void register_echo_family(FamilyRegistry& registry);
void register_garmin_family(FamilyRegistry& registry);
void register_flytec_family(FamilyRegistry& registry);
void register_flymaster_family(FamilyRegistry& registry);
void register_iq_basic_family(FamilyRegistry& registry);
void register_mtk_family(FamilyRegistry& registry);
void register_mlr_family(FamilyRegistry& registry);
void register_logit_family(FamilyRegistry& registry);
void register_garmin_usb_family(FamilyRegistry& registry);
void register_magellan_family(FamilyRegistry& registry);
void register_topnav_families(FamilyRegistry& registry);   // topnav and xctrainer
void register_graviter_family(FamilyRegistry& registry);
void register_dsx_family(FamilyRegistry& registry);

// Every family the tool knows.
void register_all_families(FamilyRegistry& registry);

// The --family list of the usage text, one line each: the instrument
// catalogue's simulator families in its order (those without a registered
// factory marked as not built yet), then the registered tool families that
// stand for no instrument.
std::string family_list(const FamilyRegistry& registry);

// Checks that every key in `settings` is one of `known`; otherwise reports
// "Unknown setting KEY for family NAME" and returns -1.
int check_setting_keys(Reporter& r, std::string_view family, const std::map<std::string, std::string>& settings,
                       const std::vector<std::string_view>& known);

}  // namespace orlogix::sim
