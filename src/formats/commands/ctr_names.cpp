#include "formats/commands/ctr_names.hpp"

#include <string>

#include "core/report.hpp"

namespace orlogix {

int fix_equal_ctr_names(Reporter& r, CtrList& list) {
    bool asked = false;
    int renamed = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        int number = 0;
        for (std::size_t j = i + 1; j < list.size(); ++j) {
            if (list[j].name != list[i].name) continue;
            if (!asked) {
                asked = true;
                if (r.yes_no_box("Equal CTR name(s)", "Fix name by appending number ?") != kBoxYes) return 0;
            }
            const std::string suffix = "(" + std::to_string(++number) + ")";
            std::string& name = list[j].name;
            if (name.size() + suffix.size() > kCtrTextMax) name.resize(kCtrTextMax - suffix.size());
            name += suffix;
            ++renamed;
        }
    }
    return renamed;
}

int check_ctr_upload_names(Reporter& r, const CtrList& list) {
    std::vector<const Ctr*> chosen;
    for (const Ctr& c : list)
        if (c.selected) chosen.push_back(&c);
    if (chosen.empty()) {
        r.error_box("Upload CTR", "No CTR(s) selected");
        return -1;
    }
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        for (std::size_t j = i + 1; j < chosen.size(); ++j) {
            const std::string& a = chosen[i]->name;
            const std::string& b = chosen[j]->name;
            if (a.substr(0, kInstrumentCtrNameMax) != b.substr(0, kInstrumentCtrNameMax)) continue;
            const bool cut = a.size() > kInstrumentCtrNameMax || b.size() > kInstrumentCtrNameMax;
            r.error_box("Upload CTR", cut ? "One or more of the selected CTRs have equal\r\n"
                                            "names after limiting the length to fit the GPS"
                                          : "One or more of the selected CTRs have equal names");
            return -1;
        }
    }
    return 0;
}

}  // namespace orlogix
